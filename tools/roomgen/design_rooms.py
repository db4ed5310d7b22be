#!/usr/bin/env python3
"""Draws the room-template pictures of data/rooms/ from the template catalogue.

Every template's statement groups (engine/gen/room_catalogue.cpp) get a key character
and exactly as many slots as the catalogue gives them, so that the picture covers the
template once. The layout follows one plan for all rooms: a frame of solid slots (floor
first, then the side walls, then the ceiling) with openings where the room's cell
pattern connects (H: the left and right sides at rows 1-3, U: the ceiling at columns
3-6, D: the floor at columns 3-6); sub-pieces go on the floor (ground pieces) or in the
air (air pieces); the hero, the exit, enemies and bonuses stand on the floor; windows
form a band through the middle of the room and background fills the rest.

Run from the repository root: python3 tools/roomgen/design_rooms.py
"""
import os
import re
import sys

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
CATALOGUE = os.path.join(ROOT, "engine", "gen", "room_catalogue.cpp")
OUT_DIR = os.path.join(ROOT, "data", "rooms")

SUB_SIZES = {"subG1": (5, 3), "subA1": (5, 3), "subG2": (5, 3), "subA2": (5, 3),
             "boss2Lift": (5, 3), "well2Top": (10, 7), "well2Mid": (10, 6), "well2Btm": (10, 7)}
SOLID_SETS = {"wall", "z2wall", "mach", "hfloor"}
# Groups whose slots are (or may turn out) solid. A plank hangs at the top of its slot,
# 12 cells over the slot below: over anything solid it leaves a gap lower than the
# hero, who could neither pass under it nor jump onto it.
MAYBE_SOLID = {"solid_floor", "solid_chance", "solid", "maybe", "hfloor", "plat", "stairR", "stairL",
               "liftU", "liftD", "exit", "sub"}


def read_catalogue():
    text = open(CATALOGUE).read()
    entries = re.findall(r'\{"([^"]+)", (\d+), (\d+), (\d+), (\d+), (\d), "([^"]*)",\s*"([^"]*)"\}', text)
    out = []
    for name, cw, ch, tw, th, nm, pat, st in entries:
        out.append(dict(name=name, cw=int(cw), ch=int(ch), tw=int(tw), th=int(th), nomirror=int(nm),
                        pattern=[[int(c) for c in row] for row in pat.split("/")] if pat else None,
                        groups=[parse_group(g.strip()) for g in st.split(";")],
                        cls=name.split(".")[1]))
    return out


def parse_group(text):
    m = re.match(r"each \[(\d+)\]: (.*)$", text)
    if m:
        n, body = int(m.group(1)), m.group(2)
        if body.startswith("sub "):
            return dict(n=n, cat="sub", sub=body[4:], text=text)
        alts = body.split("? ", 1)[1].split(" else ")
        words = set(w for a in alts for w in re.split(r",\s*", a))
        if "mach" in words:
            cat = "solid_chance"     # wall or machine: always solid
        else:
            cat = "maybe"            # background or wall, or nothing or wall
        return dict(n=n, cat=cat, text=text)
    m = re.match(r"(.*) \[(\d+)\]$", text)
    stmts, n = [s.strip() for s in m.group(1).split(",")], int(m.group(2))
    words = set(stmts)
    if "hero" in words:
        cat = "hero"
    elif "exit" in words or any(s.startswith("exit from") for s in stmts):
        cat = "exit"
    elif "liftU" in words:
        cat = "liftU"
    elif "liftD" in words:
        cat = "liftD"
    elif "hfloor" in words:
        cat = "hfloor"
    elif words & SOLID_SETS:
        cat = "solid_floor" if "list 0" in words else "solid"
    elif "plat" in words:
        cat = "plat"
    elif "z2stairR" in words or "stairR" in words:
        cat = "stairR"
    elif "z2stairL" in words or "stairL" in words:
        cat = "stairL"
    elif any(s.startswith("enemies") for s in stmts):
        cat = "enemy"
    elif "list 19" in words:
        cat = "bonus"
    elif "list 23" in words:
        cat = "pipe"
    elif words == {"list 22"}:
        cat = "window"
    else:
        cat = "bg"
    return dict(n=n, cat=cat, text=text)


KEY_CHOICES = {
    "window": "wvu", "bg": "bcd", "solid_floor": "WXY", "solid_chance": "MNO", "solid": "mno",
    "maybe": "?!%", "hfloor": "F", "plat": "pq", "stairR": "/", "stairL": "\\", "liftU": "^",
    "liftD": "v'", "hero": "H", "exit": "E", "enemy": "e", "bonus": "$", "pipe": "=+",
    "sub": "SABCDTU",
}


def assign_keys(groups):
    used = set()
    keys = []
    for g in groups:
        cat = g["cat"]
        if cat == "bg" and "wellbg" in g["text"]:
            pool = "g" + KEY_CHOICES["bg"]
        else:
            pool = KEY_CHOICES[cat]
        k = next((c for c in pool if c not in used), None)
        if k is None:
            k = next(c for c in "123456789jklrstxyz" if c not in used)
        used.add(k)
        keys.append(k)
    return keys


class Room:
    """Slot preferences of one template: which slots the frame wants solid, which must
    stay open for connections."""

    def __init__(self, t):
        self.t = t
        self.w, self.h = t["tw"], t["th"]
        self.rank = {}        # solid preference: lower first
        self.passage = set()  # slots kept open for connections
        self.holes = set()    # the U and D openings: nothing may stand in them
        self.footprint = set()
        self.harmless = set()  # footprint slots where the piece itself is solid anyway
        self.under_air = set()  # slots just under an air piece, whose planks hang over them
        self.plan_frame()

    def cell_attr(self, x, y):
        t = self.t
        if not t["pattern"]:
            return 0
        c, r = x // 10, y // 8
        return t["pattern"][t["ch"] - 1 - r][c]

    def plan_frame(self):
        t, w, h = self.t, self.w, self.h
        cls = t["cls"]
        if t["pattern"] is None:
            self.plan_piece()
            return
        # Only pieces that are never mirrored may close a side: the start room against
        # the level's left end, the exit and boss rooms against its right end.
        left_closed = cls.startswith("start") and t["nomirror"]
        right_closed = (cls.startswith("exit") or cls.startswith("boss")) and t["nomirror"]
        for y in range(h):
            for x in range(w):
                a = self.cell_attr(x, y)
                lx, ly = x % 10, y % 8
                if y == 0 and not (a & 4 and 3 <= lx <= 6):
                    self.rank[(x, y)] = (0, abs(x - w / 2))
                elif (x == 0 or x == w - 1) and y < h - 1:
                    gap = a & 1 and 1 <= ly <= 3
                    if (x == 0 and left_closed) or (x == w - 1 and right_closed):
                        gap = False
                    self.rank[(x, y)] = (9,) if gap else (1, y)
                elif y == h - 1 and not (a & 2 and 3 <= lx <= 6):
                    self.rank[(x, y)] = (2, abs(x - w / 2))
                else:
                    self.rank[(x, y)] = (4, -y, x)
                # openings and the slots just inside them
                if a & 1 and 1 <= ly <= 3 and (lx <= 1 or lx >= 8):
                    if not ((x <= 1 and left_closed) or (x >= w - 2 and right_closed)):
                        self.passage.add((x, y))
                if a & 2 and ly >= 6 and 3 <= lx <= 6:
                    self.passage.add((x, y))
                    self.holes.add((x, y))
                if a & 4 and ly <= 1 and 3 <= lx <= 6:
                    self.passage.add((x, y))
                    self.holes.add((x, y))
                if a & 4 and ly == 0 and 3 <= lx <= 6 and y > 0:
                    pass
        for p in self.passage:
            self.rank[p] = (9,) + self.rank[p][1:]

    def plan_piece(self):
        """Sub-pieces: ground pieces sit on their bottom row, air pieces are ledges; the
        well pieces keep the shaft (columns 3-6) and their side openings clear."""
        cls, w, h = self.t["cls"], self.w, self.h
        for y in range(h):
            for x in range(w):
                if cls.startswith("well2"):
                    shaft = 3 <= x <= 6
                    side = x in (0, 1, 8, 9)
                    if cls == "well2Top":
                        open_side = side and y <= 2
                        if y == h - 1:
                            r = (0, abs(x - 4.5))
                        elif side and not open_side:
                            r = (1, -y)
                        else:
                            r = (4, -y, x)
                        if shaft and y < h - 1:
                            self.passage.add((x, y))
                        if open_side:
                            self.passage.add((x, y))
                    elif cls == "well2Btm":
                        open_side = side and 1 <= y <= 3
                        if y == 0:
                            r = (0, abs(x - 4.5))
                        elif side and not open_side:
                            r = (1, y)
                        else:
                            r = (4, -y, x)
                        if shaft and y > 0:
                            self.passage.add((x, y))
                        if open_side:
                            self.passage.add((x, y))
                    else:  # well2Mid: sides open all the way, ledges inside
                        if side or shaft:
                            self.passage.add((x, y))
                        r = (3, abs(y - 2), x)
                    self.rank[(x, y)] = r
                elif "A" in cls:  # air piece: a ledge through the middle row
                    self.rank[(x, y)] = (0 if y == 1 else 3, abs(x - 2))
                else:  # ground piece: a low block on the bottom row
                    self.rank[(x, y)] = (0 if y == 0 else 2 + y, abs(x - 2))
        for p in self.passage:
            self.rank[p] = (9,) + tuple(self.rank[p][1:])


# Pictures drawn by hand, top row first.
FIXED = {
    # a window pair over a plank, the reference layout of the air pieces
    "_175_zone2_ls .subA2": ("LBP", ["BLBLP", "BLPLB", "PBBBB"]),
}


def design(t):
    if t["name"] in FIXED:
        keys, rows = FIXED[t["name"]]
        grid = {(x, t["th"] - 1 - y): ch for y, row in enumerate(rows) for x, ch in enumerate(row)}
        return list(keys), grid
    room = Room(t)
    w, h = room.w, room.h
    groups = t["groups"]
    keys = assign_keys(groups)
    grid = {}
    cls = t["cls"]

    def free(p):
        return p not in grid

    def take(gi, n, key_fn):
        slots = sorted((p for p in room.rank if free(p)), key=key_fn)
        if len(slots) < n:
            sys.exit("%s: not enough slots for group %d" % (t["name"], gi))
        for p in slots[:n]:
            grid[p] = keys[gi]

    # End pieces: the inner column solid, the outer one sometimes walled.
    if cls.startswith("leftEnd") or cls.startswith("rightEnd"):
        inner, outer = (w - 1, w - 2) if cls.startswith("leftEnd") else (0, 1)
        solid_g = next(i for i, g in enumerate(groups) if g["cat"] == "solid_chance")
        maybe_g = next(i for i, g in enumerate(groups) if g["cat"] == "maybe")
        for y in range(h):
            grid[(inner, y)] = keys[solid_g]
            grid[(outer, y)] = keys[maybe_g]
        return keys, grid

    # Sub-pieces first: their footprints must stay free of the parent's solid slots.
    subs = [(gi, g["sub"]) for gi, g in enumerate(groups) if g["cat"] == "sub" for _ in range(g["n"])]
    anchors = place_pieces(room, subs)
    for (a, gi), (_, sub) in zip(anchors, subs):
        room.footprint |= piece_cells(a, *SUB_SIZES[sub])
    for a, gi in anchors:
        sub = groups[gi]["sub"]
        if SUB_SIZES[sub] == (5, 3):  # the rows where ground and air pieces are solid
            row = 0 if ("G" in sub or sub == "boss2Lift") else 1
            room.harmless |= {(a[0] + dx, a[1] + row) for dx in range(5)}

    for a, gi in anchors:
        sub = groups[gi]["sub"]
        if "A" in sub:
            room.under_air |= {(a[0] + dx, a[1] - 1) for dx in range(SUB_SIZES[sub][0])}

    def solid_cost(p):
        """Where a solid slot does least harm: anywhere free, then under a piece's own
        solid row, then in a side opening, then under an air piece, then elsewhere in a
        piece, last in a hole."""
        if p in room.holes:
            return 5
        if p in room.footprint:
            return 1 if p in room.harmless else 4
        if p in room.under_air:
            return 3
        return 2 if p in room.passage else 0
    for a, gi in anchors:
        grid[a] = keys[gi]

    def pen(p):  # open slots a special should avoid
        return (p in room.footprint) * 2 + (p in room.passage)

    floor_y = 1
    order = ["exit", "stairR", "stairL", "hero", "liftU", "liftD", "hfloor", "solid_floor", "solid_chance",
             "solid", "maybe", "plat", "enemy", "bonus", "pipe", "window", "bg"]
    exit_spot = [None]
    solid_keys = {keys[gi] for gi, g in enumerate(groups) if g["cat"] in MAYBE_SOLID}

    def low_plank(p):
        """A plank here would hang low over something solid below. Under a piece's
        bottom row lies the parent room, which keeps those slots open; under a room's
        bottom row lies another room's ceiling."""
        below, above = (p[0], p[1] - 1), (p[0], p[1] + 1)
        if grid.get(above) in plank_keys(t, keys) and grid.get(p) is None:
            return True
        if p in room.under_air:
            return True
        if p[1] == 0:
            return t["pattern"] is not None
        if "A" in cls and t["pattern"] is None:
            return True  # the parent may fill an air piece's middle row with wall
        return grid.get(below) in solid_keys or below in room.footprint
    for cat in order:
        for gi, g in enumerate(groups):
            if g["cat"] != cat:
                continue
            n = g["n"]
            if cat == "exit":
                ex = w - 4 if cls.startswith("boss") else 5
                take(gi, n, lambda p: (pen(p), p[1] != floor_y, abs(p[0] - ex)))
                exit_spot[0] = next(p for p, k in grid.items() if k == keys[gi])
            elif cat in ("stairR", "stairL"):
                ex = exit_spot[0][0] if exit_spot[0] else w // 2
                side = -1 if cat == "stairR" else 1
                take(gi, n, lambda p: (p in room.under_air, pen(p), p[1] != floor_y, (p[0] - ex) * side <= 0,
                                       abs(p[0] - ex)))
            elif cat == "hero":
                take(gi, n, lambda p: (pen(p), p[1] != floor_y, abs(p[0] - 3)))
            elif cat == "liftU":
                take(gi, n, lambda p: (p in room.footprint, p[1] != 0 or p in room.passage,
                                       abs(p[0] % 10 - 4.5), p[0]))
            elif cat == "liftD":
                take(gi, n, lambda p: (p in room.footprint, p in room.passage, p[1] != 0,
                                       abs(p[0] % 10 - 4.5) < 2, abs(p[0] % 10 - 4.5), p[0]))
            elif cat in ("hfloor", "solid_floor", "solid_chance", "solid"):
                take(gi, n, lambda p: (solid_cost(p), room.rank[p]))
            elif cat == "maybe" and "G" in cls:  # ground piece: widen the low block
                take(gi, n, lambda p: (p[1], abs(p[0] - 2)))
            elif cat == "maybe" and "A" in cls:  # air piece: widen the ledge
                take(gi, n, lambda p: (p[1] != 1, p[1] != 2, abs(p[0] - 2)))
            elif cat == "maybe":
                take(gi, n, lambda p: (solid_cost(p), room.rank[p][0] < 3, abs(p[1] % 8 - 3), p[0]))
            elif cat == "plat":
                # A staircase of ledges, each a short jump above the last.
                steps = [(7, 2), (4, 3), (1, 4), (4, 5), (7, 6), (2, 2), (6, 4), (2, 6), (8, 4), (5, 2)]
                def plat_key(p):
                    local = (p[0] % 10, p[1] % 8)
                    return (low_plank(p), pen(p), steps.index(local) if local in steps else 99, p[1], p[0])
                for _ in range(n):  # one at a time: a plank never hangs over another
                    take(gi, 1, plat_key)
            elif cat in ("enemy", "bonus"):
                prefer = w - 3 if cat == "bonus" else w // 2
                take(gi, n, lambda p: (pen(p), not stands(grid, room, p), abs(p[0] - prefer), p[1]))
            elif cat == "pipe":
                take(gi, n, lambda p: (p in room.footprint, abs(p[1] % 8 - 6), p[1], p[0]))
            elif cat == "window":
                take(gi, n, lambda p: (abs((p[1] % 8) - 4.5), p in room.footprint, p[1], p[0]))
            elif "wellbg" in g["text"]:  # the well's shaft
                take(gi, n, lambda p: (not 3 <= p[0] % 10 <= 6, p[1], p[0]))
            else:
                take(gi, n, lambda p: (p[1], p[0]))
    bad = [p for p, k in grid.items() if k in plank_keys(t, keys) and low_plank(p)]
    if bad:
        sys.exit("%s: a plank hangs low over a solid slot at %s" % (t["name"], bad))
    return keys, grid


def plank_keys(t, keys):
    return {keys[gi] for gi, g in enumerate(t["groups"]) if g["cat"] == "plat"}


def stands(grid, room, p):
    """The slot below is (or will likely be) solid."""
    below = (p[0], p[1] - 1)
    if p[1] == 0:
        return False
    k = grid.get(below)
    if k is None:
        return room.rank.get(below, (9,))[0] == 0
    return k in "WXYMNOmnoF^v'"


def anchor_cost(room, sub, a, index):
    """How badly a piece at anchor a fits: over the frame, in openings, away from the
    height where it belongs (ground pieces low, air pieces high)."""
    sw, sh = SUB_SIZES[sub]
    cells = piece_cells(a, sw, sh)
    frame = sum(1 for c in cells if room.rank[c][0] in (0, 1, 2))
    passage = sum(1 for c in cells if c in room.passage)
    holes = sum(1 for c in cells if c in room.holes)
    ground = "G" in sub or sub == "boss2Lift"
    want_y = 1 if ground else 4
    if sub == "boss2Lift":
        want_y = 1 + 6 * (index % 2)
    # The piece's solid row must not cut a side opening in the middle: at the opening's
    # bottom or top row it leaves two rows free, in the middle row only one and one.
    solid_row = a[1] + (0 if ground else 1)
    splits = passage and solid_row % 8 == 2
    return frame * 10 + passage * 5 + holes * 100 + abs(a[1] % 8 - want_y) * 3 + splits * 300


def place_pieces(room, subs):
    """Anchors for the sub-pieces of a room: the well's pieces stack; the others are
    placed without overlapping, at the least total cost (a small exhaustive search)."""
    w, h = room.w, room.h
    if any(sub.startswith("well2") for _, sub in subs):
        mids = iter((19, 13, 7))
        out = []
        for gi, sub in subs:
            y = h - 7 if sub == "well2Top" else 0 if sub == "well2Btm" else next(mids)
            out.append(((0, y), gi))
        return out
    options = []
    for index, (gi, sub) in enumerate(subs):
        sw, sh = SUB_SIZES[sub]
        opts = [(anchor_cost(room, sub, (x, y), index), (x, y))
                for y in range(h - sh + 1) for x in range(w - sw + 1)]
        opts.sort()
        options.append(opts[:40] if len(subs) > 3 else opts)
    best = [None, None]

    def search(i, taken, cost, chosen, kept_clear):
        if best[0] is not None and cost >= best[0]:
            return
        if i == len(subs):
            best[0], best[1] = cost, list(chosen)
            return
        sub = subs[i][1]
        sw, sh = SUB_SIZES[sub]
        for c, a in options[i]:
            if best[0] is not None and cost + c >= best[0]:
                break
            cells = piece_cells(a, sw, sh)
            # An air piece's planks hang over the row under it: no other piece there.
            # On a room's bottom row that row is the ceiling of the room below.
            under = piece_cells((a[0], a[1] - 1), sw, 1) if "A" in sub else set()
            if cells & (taken | kept_clear) or under & taken or (under and a[1] == 0):
                continue
            chosen.append(a)
            search(i + 1, taken | cells, cost + c, chosen, kept_clear | under)
            chosen.pop()

    search(0, set(), 0, [], set())
    if best[1] is None:
        sys.exit("%s: no room for its sub-pieces" % room.t["name"])
    return [(a, gi) for a, (gi, _) in zip(best[1], subs)]


def piece_cells(a, sw, sh):
    return {(a[0] + dx, a[1] + dy) for dx in range(sw) for dy in range(sh)}


def render(t, keys, grid):
    lines = ["== " + t["name"], "keys: " + "".join(keys)]
    for y in range(t["th"] - 1, -1, -1):
        lines.append("".join(grid.get((x, y), ".") for x in range(t["tw"])))
    return "\n".join(lines)


def main():
    cat = read_catalogue()
    files = {"gen_levels": [], "zone1": [], "zone2": []}
    for t in cat:
        keys, grid = design(t)
        src = t["name"].split("_ls")[0].split("_", 2)[2]
        files[src].append(render(t, keys, grid))
    os.makedirs(OUT_DIR, exist_ok=True)
    legend = ("# Room template pictures, one block per template: \"== name\", the keys of its\n"
              "# statement groups in running order, then the rows from the top down, one character\n"
              "# per tile slot. Drawn by tools/roomgen/design_rooms.py.\n"
              "# w v u windows, b c d background, g well background, W X Y wall with floor spot,\n"
              "# M N O wall or machine, m n o machine, ? ! % background or wall, F hard floor,\n"
              "# p q platform, / \\ stairs, ^ lift up, v ' lift down, H hero, E exit, e enemies,\n"
              "# $ bonus place, = + pipes, S A B C D T U sub-pieces (anchor, bottom-left corner).\n")
    for name, blocks in files.items():
        with open(os.path.join(OUT_DIR, name + ".txt"), "w") as f:
            f.write(legend + "\n" + "\n\n".join(blocks) + "\n")


if __name__ == "__main__":
    main()
