#!/usr/bin/env python3
"""Writes the level tiles of data/tiles/: every tile the tile sets bind, as PNG layers
("_b" background, "_f" foreground, "_c" collision) and ".cfg" descriptions, coloured
from the game palette.

Run from the repository root: python3 tools/tilegen/make_tiles.py
"""
import os
import sys

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
sys.path.insert(0, os.path.join(ROOT, "tools", "common"))
from palette_png import palette_colour, write_png  # noqa: E402

OUT = os.path.join(ROOT, "data", "tiles")

# Collision image colours by class.
COLL = {0: None, 2: 0xFFFFFF, 3: 0x0000FF, 6: 0x00FF00, 7: 0xFF0000}


def layer(w, h, fn):
    """A layer image from fn(x, y) -> palette index (0 = transparent); y = 0 is the top."""
    return [[palette_colour(fn(x, y)) for x in range(w)] for y in range(h)]


def coll(w, h, fn):
    return [[(0xFF000000 | COLL[k]) if COLL.get(k) else 0 for k in (fn(x, y) for x in range(w))]
            for y in range(h)]


tiles = {}   # name -> dict(b=..., f=..., c=..., cfg=text)


def tile(name, b=None, f=None, c=None, cfg=None):
    tiles[name] = dict(b=b, f=f, c=c, cfg=cfg)


def mirror(img):
    return [list(reversed(row)) for row in img] if img else None


def twin(name, of):
    t = tiles[of]
    tile(name, mirror(t["b"]), mirror(t["f"]), mirror(t["c"]), None)
    tiles[name]["cfg"] = "flipped=%s\n" % of
    tiles[of]["cfg"] = (t["cfg"] or "") + "flipped=%s\n" % name


S = 16

# Walls: zone 1 bricks in four shades, zone 2 riveted plates.
for i, (face, mortar) in enumerate([(5, 6), (1, 6), (32, 6), (2, 7)]):
    tile("wall%d" % i, f=layer(S, S, lambda x, y, face=face, mortar=mortar, i=i:
                               mortar if y % 4 == 3 or (x + (4 if (y // 4) % 2 else 0) + i) % 8 == 7 else face))
for i, (face, edge) in enumerate([(22, 23), (23, 24), (21, 22), (22, 24)]):
    tile("z2wall%d" % i, f=layer(S, S, lambda x, y, face=face, edge=edge, i=i:
                                 edge if x in (0, 15) or y in (0, 15) else
                                 (25 if (x, y) in ((2, 2), (13, 2), (2, 13), (13, 13)) else
                                  (face if (x + y + i) % 7 else edge))))

# Machines: dark panels with lights and vents; mach3 and mach4 are mirror images.
LIGHTS = [9, 13, 18, 12, 19, 10, 29]


def machine(i):
    def fn(x, y):
        if x in (0, 15) or y in (0, 15):
            return 27
        if 3 <= y <= 5 and 2 <= x <= 13:
            return LIGHTS[i - 1] if (x - 2) % 3 == 0 else 25
        if 8 <= y <= 13 and (x * (i + 1) + y) % 5 == 0:
            return 22
        if i == 3 and 9 <= y <= 12 and x <= 5:
            return 11
        return 24
    return layer(S, S, fn)


for i in range(1, 8):
    if i == 4:
        continue
    tile("mach%d" % i, f=machine(i), b=layer(S, S, lambda x, y: 25))
twin("mach4", "mach3")

# Room backgrounds: plain dark walls with faint patterns; three rarer special ones.
BACKS = [(24, 25), (25, 24), (24, 23), (16, 25), (28, 25), (24, 16), (25, 27)]
for i, (a, b) in enumerate(BACKS):
    tile("back%d" % i, b=layer(S, S, lambda x, y, a=a, b=b, i=i: b if (x + 2 * y + i) % (5 + i) == 0 else a))
tile("backS1", b=layer(S, S, lambda x, y: 29 if 3 <= x <= 12 and 2 <= y <= 9 and (x + y) % 3 else 24))
tile("backS2", b=layer(S, S, lambda x, y: 12 if 5 <= x <= 10 and 4 <= y <= 12 else 24))
tile("backS3", b=layer(S, S, lambda x, y: 13 if (x - 8) ** 2 + (y - 8) ** 2 < 20 else 24))

# Lifts: striped platforms marked as lift cells (collision class 3) with an arrow.
def lift(up):
    def fn(x, y):
        arrow_y = y if up else 15 - y
        if 4 <= arrow_y <= 11 and abs(x - 7.5) <= (arrow_y - 3) / 2 and arrow_y <= 7:
            return 20
        if 8 <= arrow_y <= 11 and 6 <= x <= 9:
            return 20
        return 12 if (x + y) % 6 < 3 else 27
    return layer(S, S, fn)


tile("liftU", f=lift(True), c=coll(S, S, lambda x, y: 3))
tile("liftD", f=lift(False), c=coll(S, S, lambda x, y: 3))

# Hard floors: steel blocks with a hazard edge on top.
for i in range(3):
    tile("hfloor%d" % i, f=layer(S, S, lambda x, y, i=i:
                                 (12 if (x + i) % 4 < 2 else 27) if y < 3 else (23 if (x + y) % 8 else 24)))

# Floor coverings: two rows of decoration on top of the slot below (offset 16 cells
# up); they do not collide, so the walking surface stays the top of the slot.
for i, (top, under) in enumerate([(13, 14), (14, 15), (13, 15), (12, 14)]):
    tile("floor%d" % i, f=layer(S, 2, lambda x, y, top=top, under=under, i=i:
                                top if y == 0 and (x + i) % 5 else under), cfg="dy=16\ncollType=0\n")
for i, (top, under) in enumerate([(21, 22), (22, 23), (21, 23), (19, 22)]):
    tile("z2floor%d" % i, f=layer(S, 2, lambda x, y, top=top, under=under, i=i:
                                  top if y == 0 and (x + i) % 4 else under), cfg="dy=16\ncollType=0\n")

# Windows: sky with a frame on the sides the shape names (T, L, R, B).
SHAPES = ["TLRB", "TLR", "TLB", "TL", "TRB", "TR", "TB", "T", "LRB", "LR", "LB", "L", "RB", "R", "B"]
for shape in SHAPES:
    def fn(x, y, shape=shape):
        if ("T" in shape and y < 2) or ("B" in shape and y > 13) or ("L" in shape and x < 2) or \
           ("R" in shape and x > 13):
            return 7
        return 19 if (min(x, 15 - x) + y) % 11 == 0 else (18 if y < 8 else 17)
    tile("window" + shape, b=layer(S, S, fn))
for a, b in (("windowTR", "windowTL"), ("windowTRB", "windowTLB"), ("windowR", "windowL"),
             ("windowRB", "windowLB")):
    tiles[a]["cfg"] = "flipped=%s\n" % b
    tiles[b]["cfg"] = "flipped=%s\n" % a

# Pipes, drawn on the background: straight runs and junctions by connected sides.
def pipe(sides, stripe=0):
    def fn(x, y):
        horiz = 6 <= y <= 9 and ((x <= 9 and "L" in sides) or (x >= 6 and "R" in sides))
        vert = 6 <= x <= 9 and ((y <= 9 and "T" in sides) or (y >= 6 and "B" in sides))
        if horiz or vert:
            edge = (horiz and y in (6, 9)) or (vert and x in (6, 9))
            return 23 if edge else (21 if (min(x, 15 - x) + y + stripe) % 6 else 10)
        return 0
    return layer(S, S, fn)


tile("pipeH0", b=pipe("LR"))
tile("pipeH1", b=pipe("LR", 3))
tile("pipeV0", b=pipe("TB"))
tile("pipeV1", b=pipe("TB", 3))
for sides in ("TLRB", "TLR", "TLB", "TL", "TRB", "TR", "LRB", "LB", "RB"):
    tile("pipe" + sides, b=pipe(sides))
for a, b in (("pipeTR", "pipeTL"), ("pipeTRB", "pipeTLB"), ("pipeRB", "pipeLB")):
    tiles[a]["cfg"] = "flipped=%s\n" % b
    tiles[b]["cfg"] = "flipped=%s\n" % a

# Platforms: planks four cells thick at the top of the slot.
for i, (top, body) in enumerate([(4, 5), (3, 5), (4, 6), (31, 5), (32, 6)]):
    tile("plat%d" % i, f=layer(S, 4, lambda x, y, top=top, body=body, i=i:
                               top if y == 0 else (6 if (x + i) % 8 == 0 else body)), cfg="dy=12\n")

# Stairs rising to the right; the L forms are their mirror images.
tile("stairR", f=layer(S, S, lambda x, y: (4 if y % 4 == 0 else 5) if 15 - y <= x + (x % 4 == 3) * 0 and
                        (15 - y) // 4 <= x // 4 else 0))
twin("stairL", "stairR")
tile("z2stairR", f=layer(S, S, lambda x, y: (21 if y % 4 == 0 else 22) if (15 - y) // 4 <= x // 4 else 0))
twin("z2stairL", "z2stairR")

# Well shaft walls.
for i in range(7):
    tile("wellbg%d" % i, b=layer(S, S, lambda x, y, i=i: 23 if (x + i) % 8 == 0 else (25 if y % 8 else 24)))

# The exit: an elevator door, lift cells (collision class 3) inside a frame.
tile("exit", f=layer(S, S, lambda x, y: 22 if x < 2 or x > 13 or y < 2 else (19 if x in (7, 8) else 18)),
     c=coll(S, S, lambda x, y: 2 if x < 2 or x > 13 or y < 2 else 3))


def main():
    os.makedirs(OUT, exist_ok=True)
    for name in os.listdir(OUT):
        if name.endswith(".png") or name.endswith(".cfg"):
            os.remove(os.path.join(OUT, name))
    for name, t in sorted(tiles.items()):
        for key in ("b", "f", "c"):
            if t[key]:
                write_png(os.path.join(OUT, "%s_%s.png" % (name, key)), t[key])
        if t["cfg"]:
            with open(os.path.join(OUT, name + ".cfg"), "w") as f:
                f.write(t["cfg"])
    print("%d tiles" % len(tiles))


if __name__ == "__main__":
    main()
