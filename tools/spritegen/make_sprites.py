#!/usr/bin/env python3
"""Writes the sprites of data/sprites/: the hero, the enemies, the bosses, shots,
muzzle flashes, bonuses, the lift, explosions, the crosshair, the interface pieces
and the background layers, as PNG images in the game palette with ".cfg" files for
pivots ("ox", "oy"), frame widths ("fw") and nine-patch margins ("npl" ...).

Pictures are drawn procedurally from simple shapes on a canvas of palette indices
(y grows upwards, as in the world); a dark outline is traced around each figure so
that it reads against any background.

Run from the repository root: python3 tools/spritegen/make_sprites.py
"""
import math
import os
import sys

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
sys.path.insert(0, os.path.join(ROOT, "tools", "common"))
from palette_png import palette_colour, write_png  # noqa: E402

OUT = os.path.join(ROOT, "data", "sprites")


# Colour names -> palette index.
RUST, ORANGE2, CREAM, TAN, BROWN, DBROWN, DDBROWN, DRED = 1, 2, 3, 4, 5, 6, 7, 8
RED, ORANGE, AMBER, YELLOW, GREEN, DGREEN, FOREST, DEEP = 9, 10, 11, 12, 13, 14, 15, 16
BLUE, SKY, CYAN, WHITE, SILVER, LGREY, GREY, SLATE = 17, 18, 19, 20, 21, 22, 23, 24
NAVY, HOT, BLACK, PLUM, PINK, ROSE, SKIN, TAN2 = 25, 26, 27, 28, 29, 30, 31, 32


class Pic:
    """A canvas of palette indices, p[y][x] with y = 0 the bottom row; 0 is empty."""

    def __init__(self, w, h):
        self.w, self.h = w, h
        self.p = [[0] * w for _ in range(h)]

    def put(self, x, y, c):
        x, y = int(round(x)), int(round(y))
        if 0 <= x < self.w and 0 <= y < self.h:
            self.p[y][x] = c

    def get(self, x, y):
        return self.p[y][x] if 0 <= x < self.w and 0 <= y < self.h else 0

    def rect(self, x0, y0, x1, y1, c):
        for y in range(int(y0), int(y1) + 1):
            for x in range(int(x0), int(x1) + 1):
                self.put(x, y, c)

    def ellipse(self, cx, cy, rx, ry, c):
        for y in range(self.h):
            for x in range(self.w):
                dx, dy = (x - cx) / rx, (y - cy) / ry
                if dx * dx + dy * dy <= 1.0:
                    self.p[y][x] = c

    def disc(self, cx, cy, r, c):
        self.ellipse(cx, cy, r, r, c)

    def line(self, x0, y0, x1, y1, c, thick=1):
        n = int(max(abs(x1 - x0), abs(y1 - y0)) * 2) + 1
        for i in range(n + 1):
            t = i / n
            x, y = x0 + (x1 - x0) * t, y0 + (y1 - y0) * t
            for ox in range(thick):
                for oy in range(thick):
                    self.put(x + ox - (thick - 1) / 2, y + oy - (thick - 1) / 2, c)

    def outline(self, c=BLACK):
        """Every empty pixel touching a figure's pixel (4 neighbours) gets c."""
        edge = []
        for y in range(self.h):
            for x in range(self.w):
                if self.p[y][x] == 0 and any(self.get(x + dx, y + dy) not in (0, c)
                                            for dx, dy in ((1, 0), (-1, 0), (0, 1), (0, -1))):
                    edge.append((x, y))
        for x, y in edge:
            self.p[y][x] = c
        return self

    def map(self, fn):
        for y in range(self.h):
            for x in range(self.w):
                self.p[y][x] = fn(x, y, self.p[y][x])
        return self

    def blit(self, other, dx, dy):
        for y in range(other.h):
            for x in range(other.w):
                if other.p[y][x]:
                    self.put(x + dx, y + dy, other.p[y][x])


def strip(frames):
    """Frames side by side, left to right."""
    w, h = frames[0].w, frames[0].h
    out = Pic(w * len(frames), h)
    for i, f in enumerate(frames):
        out.blit(f, i * w, 0)
    return out


sprites = {}   # name -> (Pic, cfg text)


def sprite(name, pic, ox=None, oy=None, fw=None, nine=None):
    cfg = []
    if fw:
        cfg.append("fw=%d" % fw)
    if ox is not None:
        cfg.append("ox=%g" % ox)
    if oy is not None:
        cfg.append("oy=%g" % oy)
    if nine:
        cfg += ["npl=%d" % nine[0], "npt=%d" % nine[1], "npr=%d" % nine[2], "npb=%d" % nine[3]]
    sprites[name] = (pic, "\n".join(cfg) + "\n" if cfg else None)


def write_sprite_png(path, pic):
    # The PNG's top row first; y = 0 is the canvas's bottom row.
    write_png(path, [[palette_colour(i) for i in pic.p[y]] for y in range(pic.h - 1, -1, -1)])


# ---- the hero ------------------------------------------------------------------------
# 16 x 20 frames, facing right, the feet's centre at (8, 0). The arm and gun are a
# sprite of their own, turned towards the crosshair around the shoulder at (9, 11).

HERO_W, HERO_H = 16, 20


def hero_frame(feet, bob=0, lean=0, visor=CYAN, tuck=False):
    """feet: ((x, y), (x, y)) of the back and the front foot."""
    p = Pic(HERO_W, HERO_H)
    hip_y = 7 + bob - (1 if tuck else 0)
    # Back leg darker than the front one.
    for (fx, fy), col in zip(feet, (GREY, LGREY)):
        p.line(8, hip_y, fx, fy + 1, col, 2)
        p.rect(fx - 1, fy, fx + 1, fy, BLUE)
    # Backpack, body, belt and chest light.
    p.rect(3 + lean, hip_y + 2, 4 + lean, hip_y + 5, ORANGE)
    p.rect(3 + lean, hip_y + 2, 3 + lean, hip_y + 5, RUST)
    p.rect(5 + lean, hip_y, 10 + lean, hip_y + 5, SILVER)
    p.rect(5 + lean, hip_y + 1, 5 + lean, hip_y + 5, LGREY)
    p.rect(5 + lean, hip_y, 10 + lean, hip_y, SLATE)
    p.rect(8 + lean, hip_y + 3, 9 + lean, hip_y + 3, CYAN)
    # Helmet with the visor towards the front.
    hx = 8 + lean
    p.disc(hx, hip_y + 8.5, 3.3, WHITE)
    p.rect(hx - 3, hip_y + 6, hx - 2, hip_y + 8, LGREY)
    p.rect(hx + 1, hip_y + 7, hx + 3, hip_y + 9, visor)
    p.put(hx + 2, hip_y + 9, WHITE)
    return p.outline()


def hero_sprites():
    stand = ((6, 0), (10, 0))
    sprite("hero/idle", strip([hero_frame(stand), hero_frame(stand, bob=-1)]), ox=8, oy=0, fw=HERO_W)
    run = []
    for i in range(6):
        a = i / 6 * 2 * math.pi
        back = (8 - 4 * math.cos(a), max(0, 2 * math.sin(a)))
        front = (8 + 4 * math.cos(a), max(0, -2 * math.sin(a)))
        run.append(hero_frame((back, front), bob=-1 if i % 3 == 1 else 0, lean=1 if i % 3 != 1 else 0))
    sprite("hero/run", strip(run), ox=8, oy=0, fw=HERO_W)
    sprite("hero/jump", strip([hero_frame(((6, 3), (11, 2)), tuck=True)]), ox=8, oy=0, fw=HERO_W)
    sprite("hero/fall", strip([hero_frame(((5, 0), (11, 1)))]), ox=8, oy=0, fw=HERO_W)
    sprite("hero/hurt", strip([hero_frame(((5, 0), (10, 1)), lean=-1, visor=RED)]), ox=8, oy=0, fw=HERO_W)
    sprite("hero/shoot", strip([hero_frame(stand, lean=1), hero_frame(stand)]), ox=8, oy=0, fw=HERO_W)


# ---- weapons ------------------------------------------------------------------------
# Drawn from the shoulder, pointing right; the pivot is the shoulder.

def weapon_sprites():
    p = Pic(12, 5)
    p.rect(0, 2, 3, 2, LGREY)           # arm
    p.rect(4, 1, 5, 3, SKIN)            # hand
    p.rect(5, 2, 10, 3, GREY)           # gun
    p.rect(6, 0, 7, 1, SLATE)           # grip
    p.put(10, 3, LGREY)
    sprite("weapon/pistol", p.outline(), ox=0.5, oy=2.5)
    p = Pic(14, 7)
    p.rect(0, 3, 3, 3, LGREY)
    p.rect(4, 2, 5, 4, SKIN)
    p.rect(5, 2, 11, 5, NAVY)
    p.rect(6, 3, 12, 4, SKY)
    p.rect(9, 3, 10, 4, CYAN)
    p.rect(7, 1, 8, 1, SLATE)
    sprite("weapon/plasma", p.outline(), ox=0.5, oy=3.5)
    p = Pic(8, 5)
    p.rect(0, 2, 4, 2, LGREY)
    p.rect(4, 1, 6, 3, SKIN)
    p.put(6, 3, TAN2)
    sprite("weapon/fist", p.outline(), ox=0.5, oy=2.5)


# ---- shots and flashes ----------------------------------------------------------------

def shot_sprites():
    p = Pic(6, 3)
    p.rect(0, 1, 3, 1, AMBER)
    p.rect(3, 0, 4, 2, YELLOW)
    p.put(5, 1, WHITE)
    sprite("bullet/pistol", p, ox=3, oy=1.5)
    frames = []
    for i in range(2):
        p = Pic(9, 9)
        p.disc(4, 4, 4.2 - i * 0.4, BLUE if i else SKY)
        p.disc(4, 4, 2.8, CYAN)
        p.disc(4 + i * 0.5, 4.5, 1.3, WHITE)
        frames.append(p)
    sprite("bullet/plasma", strip(frames), ox=4.5, oy=4.5, fw=9)
    p = Pic(5, 5)
    p.disc(2, 2, 2.3, HOT)
    p.disc(2, 2, 1.2, ROSE)
    p.put(2, 3, WHITE)
    sprite("bullet/enemy", p, ox=2.5, oy=2.5)
    p = Pic(7, 7)
    p.disc(3, 3, 3.2, ORANGE)
    p.disc(3, 3, 2.0, YELLOW)
    p.put(3, 4, WHITE)
    sprite("bullet/boss", p, ox=3.5, oy=3.5)
    frames = []
    for i in range(2):
        p = Pic(8, 7)
        p.ellipse(2, 3, 3 - i, 2.6 - i, AMBER)
        p.ellipse(1.5, 3, 1.6, 1.2, YELLOW)
        p.line(2, 3, 7 - i * 2, 3, WHITE)
        p.line(2, 3, 5, 6 - i, YELLOW)
        p.line(2, 3, 5, 0 + i, YELLOW)
        frames.append(p)
    sprite("fx/muzzle", strip(frames), ox=0.5, oy=3.5, fw=8)
    frames = []
    for i in range(2):
        p = Pic(9, 9)
        p.disc(3, 4, 3.6 - i, SKY)
        p.disc(3, 4, 2.2 - i * 0.5, CYAN)
        p.disc(3, 4, 1, WHITE)
        frames.append(p)
    sprite("fx/plasma_muzzle", strip(frames), ox=0.5, oy=4.5, fw=9)


# ---- enemies ------------------------------------------------------------------------
# Facing right; feet (or the bottom of the wheels) at y = 0.

def wheel(p, cx, cy, r, spin):
    p.disc(cx, cy, r, SLATE)
    p.disc(cx, cy, r - 1, GREY)
    a = spin * math.pi / 4
    p.line(cx - math.cos(a) * (r - 1), cy - math.sin(a) * (r - 1),
           cx + math.cos(a) * (r - 1), cy + math.sin(a) * (r - 1), BLACK)
    p.put(cx, cy, LGREY)


def enemy_sprites():
    # The walker: a squat red crawler on two wheels, one big eye.
    frames = []
    for i in range(2):
        p = Pic(14, 11)
        p.ellipse(7, 5.5, 5.5, 3.5, RED)
        p.rect(2, 3, 12, 4, DRED)
        p.disc(9.5, 6, 1.8, WHITE)
        p.put(10.3, 6, BLACK)
        p.put(10.3, 5, BLACK)
        p.line(4, 8, 3, 10, DRED)
        wheel(p, 3.5, 2.2, 2.2, i)
        wheel(p, 10.5, 2.2, 2.2, i + 1)
        frames.append(p.outline())
    sprite("enemy/hwheels", strip(frames), ox=7, oy=0, fw=14)
    # The gun on wheels: a grey cart with a barrel and a red sensor.
    frames = []
    for i in range(2):
        p = Pic(15, 13)
        p.rect(2, 3, 11, 7, GREY)
        p.rect(2, 7, 11, 7, LGREY)
        p.rect(4, 8, 9, 10, SLATE)
        p.rect(9, 9, 14, 10, SLATE if i == 0 else LGREY)
        p.put(6, 9, HOT)
        p.put(7, 9, RED)
        wheel(p, 4, 2, 2, i)
        wheel(p, 10, 2, 2, i + 1)
        frames.append(p.outline())
    sprite("enemy/twheels", strip(frames), ox=7, oy=0, fw=15)
    # The horizontal flyer: a purple bug with beating wings.
    frames = []
    for i in range(2):
        p = Pic(14, 11)
        p.ellipse(7, 4, 5, 2.8, PLUM)
        p.ellipse(6, 4.5, 3, 1.5, PINK)
        p.disc(10.5, 4.5, 1.5, YELLOW)
        p.put(11, 4.5, BLACK)
        if i == 0:
            p.ellipse(5, 8, 3.5, 1.6, SILVER)
            p.ellipse(8, 8.5, 2.6, 1.4, LGREY)
        else:
            p.ellipse(5, 1.5, 3.5, 1.3, SILVER)
            p.ellipse(8, 1.2, 2.5, 1.1, LGREY)
        frames.append(p.outline())
    sprite("enemy/hfly", strip(frames), ox=7, oy=0, fw=14)
    # The hovering drone: a round body under a spinning rotor, a green eye.
    frames = []
    for i in range(2):
        p = Pic(12, 12)
        p.disc(6, 4, 3.8, SLATE)
        p.disc(6, 4.3, 2.8, GREY)
        p.disc(7, 4, 1.4, GREEN)
        p.put(7.5, 4.5, WHITE)
        p.rect(5.5, 8, 6.5, 9, LGREY)
        if i == 0:
            p.rect(1, 10, 11, 10, SILVER)
        else:
            p.rect(3, 10, 9, 10, LGREY)
        frames.append(p.outline())
    sprite("enemy/vfly", strip(frames), ox=6, oy=0, fw=12)
    # The jumper: a green blob that crouches before it leaps.
    frames = []
    for i in range(2):
        p = Pic(12, 11)
        if i == 0:
            p.ellipse(6, 3, 5, 3, GREEN)
            p.ellipse(6, 2.2, 4, 1.6, DGREEN)
            eye_y = 4
        else:
            p.ellipse(6, 4.5, 3.8, 4.5, GREEN)
            p.rect(3, 0, 4, 1, DGREEN)
            p.rect(8, 0, 9, 1, DGREEN)
            eye_y = 6
        p.disc(8, eye_y, 1.4, WHITE)
        p.put(8.6, eye_y, BLACK)
        frames.append(p.outline())
    sprite("enemy/jumper", strip(frames), ox=6, oy=0, fw=12)
    # The spiked turret: a dome with spikes and a glowing gun slit.
    frames = []
    for i in range(2):
        p = Pic(14, 12)
        p.rect(2, 0, 11, 2, SLATE)
        p.ellipse(6.5, 3, 4.5, 4.5, BROWN)
        p.rect(2, 0, 11, 2, SLATE)
        for a in range(5):
            ang = math.pi * (0.1 + 0.2 * a)
            p.line(6.5 + math.cos(ang) * 4, 3 + math.sin(ang) * 4, 6.5 + math.cos(ang) * 6.5,
                   3 + math.sin(ang) * 6.5, LGREY)
        p.rect(6, 4, 11, 5, RED if i else DRED)
        frames.append(p.outline())
    sprite("enemy/spike", strip(frames), ox=7, oy=0, fw=14)
    # The ceiling dropper: a spiked ball under a magnet.
    frames = []
    for i in range(2):
        p = Pic(14, 12)
        p.disc(7, 4.5, 3.6, ROSE if i else PINK)
        p.disc(7, 4.5, 2, HOT)
        for a in range(8):
            ang = a * math.pi / 4 + i * math.pi / 8
            p.put(7 + math.cos(ang) * 5, 4.5 + math.sin(ang) * 5, SILVER)
        p.rect(5, 9, 9, 10, RED)
        p.rect(5, 9, 5, 11, SILVER)
        p.rect(9, 9, 9, 11, SILVER)
        frames.append(p.outline())
    sprite("enemy/magnet", strip(frames), ox=7, oy=0, fw=14)


# ---- bosses ---------------------------------------------------------------------------

def boss_sprites():
    # Boss1: a gunship hull; its two gun pods are separate sprites.
    p = Pic(40, 18)
    p.ellipse(20, 8, 18, 6, GREY)
    p.ellipse(20, 9.5, 16, 3.5, LGREY)
    p.rect(4, 3, 36, 5, SLATE)
    p.ellipse(27, 9, 5, 3, DRED)
    p.ellipse(28, 9.5, 3, 1.6, RED)
    p.put(29, 10, WHITE)
    for x in range(8, 20, 3):
        p.rect(x, 7, x + 1, 8, AMBER)
    p.rect(16, 14, 24, 15, SLATE)
    p.rect(19, 15, 21, 17, LGREY)
    sprite("boss1/body", p.outline(), ox=20, oy=0)
    p = Pic(12, 10)
    p.ellipse(6, 5, 5, 4, RUST)
    p.ellipse(6, 5.5, 3.5, 2.5, ORANGE2)
    p.rect(4, 0, 8, 2, SLATE)
    p.disc(6, 5, 1.2, YELLOW)
    sprite("boss1/pod", p.outline(), ox=6, oy=5)
    p = Pic(6, 8)
    p.ellipse(3, 3, 2.3, 3, BLACK)
    p.ellipse(2.5, 3.5, 1.2, 1.8, SLATE)
    p.rect(2, 6, 3, 7, HOT)
    sprite("boss1/bomb", p, ox=3, oy=0)
    # Boss2: the armour plates that orbit its core (the core itself is a mesh).
    p = Pic(12, 12)
    for y in range(12):
        for x in range(12):
            if abs(x - 5.5) + abs(y - 5.5) <= 7:
                p.p[y][x] = ORANGE
    p.ellipse(5.5, 5.5, 3.5, 3.5, AMBER)
    p.disc(5.5, 5.5, 1.5, YELLOW)
    p.put(4.5, 7, WHITE)
    sprite("boss2/plate", p.outline(), ox=6, oy=6)
    # A flat picture of the core, for the level viewer's map and when no mesh exists.
    p = Pic(30, 28)
    p.rect(3, 0, 26, 4, SLATE)
    p.ellipse(14.5, 12, 11, 10, GREY)
    p.ellipse(14.5, 13, 8, 7, LGREY)
    p.disc(14.5, 13, 4, HOT)
    p.disc(14.5, 13, 2, YELLOW)
    p.rect(13, 22, 16, 27, SLATE)
    sprite("boss2/core", p.outline(), ox=15, oy=0)


# ---- bonuses, lift, exit ---------------------------------------------------------------

def heart(p, cx, cy, c, s=1.0):
    p.disc(cx - 1.8 * s, cy + 1 * s, 2.2 * s, c)
    p.disc(cx + 1.8 * s, cy + 1 * s, 2.2 * s, c)
    for y in range(p.h):
        for x in range(p.w):
            if y <= cy + 1 * s and abs(x - cx) <= (y - (cy - 3.6 * s)) * 1.1 and y >= cy - 3.6 * s:
                p.p[y][x] = c


def pickup_sprites():
    frames = []
    for i in range(2):
        p = Pic(11, 10)
        heart(p, 5, 5, RED)
        heart(p, 5, 5.3, HOT, 0.6)
        p.put(3 + i, 7, WHITE)
        frames.append(p.outline())
    sprite("bonus/heart", strip(frames), ox=5.5, oy=0, fw=11)
    frames = []
    for i in range(2):
        p = Pic(11, 11)
        pts = []
        for k in range(10):
            r = 5 if k % 2 == 0 else 2.2
            a = math.pi / 2 + k * math.pi / 5
            pts.append((5 + r * math.cos(a), 5 + r * math.sin(a)))
        for y in range(11):
            for x in range(11):
                inside = False
                for k in range(10):
                    (x0, y0), (x1, y1) = pts[k], pts[(k + 1) % 10]
                    if (y0 > y) != (y1 > y) and x < x0 + (y - y0) * (x1 - x0) / (y1 - y0):
                        inside = not inside
                if inside:
                    p.p[y][x] = YELLOW if i == 0 else AMBER
        p.put(5, 5, WHITE)
        p.put(4, 6, WHITE if i == 0 else YELLOW)
        frames.append(p.outline())
    sprite("bonus/up", strip(frames), ox=5.5, oy=0, fw=11)
    # The lift's platform: a hazard-striped top on a steel beam.
    p = Pic(16, 4)
    p.rect(0, 0, 15, 1, GREY)
    p.rect(0, 0, 15, 0, SLATE)
    for x in range(16):
        p.put(x, 2, YELLOW if (x // 2) % 2 == 0 else BLACK)
        p.put(x, 3, AMBER if (x // 2) % 2 == 0 else BLACK)
    sprite("lift/platform", p, ox=8, oy=4)
    # The exit's glow: arrows rising over the elevator door.
    frames = []
    for i in range(4):
        p = Pic(12, 16)
        for k in range(2):
            y = (i * 4 + k * 8) % 16
            for d in range(4):
                p.put(6 - d, y - d, CYAN if k == 0 else SKY)
                p.put(5 + d, y - d, CYAN if k == 0 else SKY)
        frames.append(p)
    sprite("fx/exit", strip(frames), ox=6, oy=0, fw=12)


# ---- explosions --------------------------------------------------------------------------

def explosion_strip(size, n=8):
    frames = []
    c = size / 2 - 0.5
    for i in range(n):
        t = i / (n - 1)
        p = Pic(size, size)
        r = size * (0.18 + 0.32 * t)
        if t < 0.85:
            p.disc(c, c, r, ORANGE if t < 0.5 else RED)
            p.disc(c, c, r * (0.75 - 0.4 * t), AMBER)
            if t < 0.45:
                p.disc(c, c, r * (0.5 - 0.5 * t), YELLOW)
            if t < 0.2:
                p.disc(c, c, r * 0.3, WHITE)
        if t > 0.35:
            # Smoke puffs drifting outwards and thinning.
            for k in range(5):
                a = k * 2 * math.pi / 5 + 0.6
                d = r * (0.5 + 0.6 * t)
                p.disc(c + math.cos(a) * d, c + math.sin(a) * d + t * 2, max(0.6, r * 0.35 * (1.2 - t)),
                       GREY if t < 0.75 else SLATE)
        frames.append(p)
    return strip(frames)


def explosion_sprites():
    sprite("fx/explosion", explosion_strip(16), ox=8, oy=8, fw=16)
    sprite("fx/explosion_big", explosion_strip(32), ox=16, oy=16, fw=32)
    p = Pic(3, 3)
    p.put(1, 1, WHITE)
    p.put(0, 1, YELLOW)
    p.put(2, 1, YELLOW)
    p.put(1, 0, YELLOW)
    p.put(1, 2, YELLOW)
    sprite("fx/spark", p, ox=1.5, oy=1.5)


# ---- interface ---------------------------------------------------------------------------

def ui_sprites():
    # The crosshair: a ring with four gaps and a dot.
    p = Pic(15, 15)
    for y in range(15):
        for x in range(15):
            d = math.hypot(x - 7, y - 7)
            if 4.6 <= d <= 6.2 and min(abs(x - 7), abs(y - 7)) > 1:
                p.p[y][x] = CYAN
    p.put(7, 7, WHITE)
    for d in (2, 3):
        for dx, dy in ((1, 0), (-1, 0), (0, 1), (0, -1)):
            p.put(7 + dx * (d + 5), 7 + dy * (d + 5), CYAN)
    sprite("ui/crosshair", p.outline(), ox=7.5, oy=7.5)
    # The menus' pointer: an arrow whose tip is the pointer's spot.
    arrow = ["X........",
             "XX.......",
             "XWX......",
             "XWWX.....",
             "XWWWX....",
             "XWWWWX...",
             "XWWWWWX..",
             "XWWWWWWX.",
             "XWWWWXXXX",
             "XWXWWX...",
             "XX.XWWX..",
             "X...XWWX.",
             ".....XX.."]
    p = Pic(9, 13)
    for row, line in enumerate(arrow):
        for x, ch in enumerate(line):
            if ch != ".":
                p.p[12 - row][x] = BLACK if ch == "X" else WHITE
    sprite("ui/pointer", p, ox=0.5, oy=12.5)

    def box(w, h, fill, edge, light, corner=2):
        p = Pic(w, h)
        for y in range(h):
            for x in range(w):
                cx = min(x, w - 1 - x)
                cy = min(y, h - 1 - y)
                if cx + cy < corner - 1:
                    continue
                on_edge = cx == 0 or cy == 0 or cx + cy == corner - 1
                p.p[y][x] = edge if on_edge else (light if cy == 1 and y > h // 2 else fill)
        return p

    sprite("ui/panel", box(24, 24, BLACK, GREY, NAVY, 4), nine=(6, 6, 6, 6))
    sprite("ui/button", box(16, 16, NAVY, SLATE, SLATE, 3), nine=(4, 4, 4, 4))
    sprite("ui/button_focus", box(16, 16, BLUE, CYAN, SKY, 3), nine=(4, 4, 4, 4))
    sprite("ui/button_pressed", box(16, 16, SKY, CYAN, CYAN, 3), nine=(4, 4, 4, 4))
    sprite("ui/bar_frame", box(12, 8, BLACK, LGREY, BLACK, 2), nine=(3, 3, 3, 3))
    for name, fill, light in (("health", RED, ROSE), ("boss", ORANGE, AMBER), ("points", AMBER, YELLOW)):
        p = Pic(4, 4)
        p.rect(0, 0, 3, 3, fill)
        p.rect(0, 2, 3, 2, light)
        sprite("ui/bar_" + name, p, nine=(1, 1, 1, 1))


# ---- backgrounds --------------------------------------------------------------------------
# Layers scroll slower the farther they are; the level's generator places them. Each is
# 256 wide and repeats across; heights leave room for the parallax.

def hash2(x, y, seed=0):
    h = (x * 374761393 + y * 668265263 + seed * 2147483647) & 0xFFFFFFFF
    h = ((h ^ (h >> 13)) * 1274126177) & 0xFFFFFFFF
    return (h ^ (h >> 16)) / 4294967296.0


def sky_band(w, h, bands):
    """Horizontal bands of colour from the bottom up, dithered at the seams."""
    p = Pic(w, h)
    step = h / len(bands)
    for y in range(h):
        for x in range(w):
            f = y / step
            i = int(f)
            frac = f - i
            if i + 1 < len(bands) and frac > 0.6 and (x + y) % 2 == 0 and frac > 0.8 - ((x * 7 + y * 3) % 4) * 0.05:
                i += 1
            p.p[y][x] = bands[min(i, len(bands) - 1)]
    return p


def skyline(w, h, body, lit, seed, min_h, max_h, bw=(10, 26), roofs=True):
    p = Pic(w, h)
    x = 0
    k = 0
    while x < w:
        bwid = int(bw[0] + hash2(k, 1, seed) * (bw[1] - bw[0]))
        bh = int(min_h + hash2(k, 2, seed) * (max_h - min_h))
        for yy in range(bh):
            for xx in range(x, min(x + bwid, w)):
                p.p[yy][xx] = body
        # Lit windows in a grid.
        for yy in range(3, bh - 2, 4):
            for xx in range(x + 2, min(x + bwid - 1, w), 3):
                if hash2(xx, yy, seed + 7) < 0.35:
                    p.p[yy][xx] = lit
        if roofs and hash2(k, 3, seed) < 0.4 and bh + 4 < h:
            ax = x + bwid // 2
            for yy in range(bh, bh + 4):
                if ax < w:
                    p.p[yy][ax] = body
        x += bwid + int(hash2(k, 4, seed) * 4)
        k += 1
    return p


def mountains(w, h, c, c2, seed):
    p = Pic(w, h)
    for x in range(w):
        t = x / w * 2 * math.pi
        y = h * (0.55 + 0.2 * math.sin(t * 2 + seed) + 0.12 * math.sin(t * 5 + seed * 2) + 0.06 * math.sin(t * 11))
        for yy in range(int(y)):
            p.p[yy][x] = c2 if yy > y - 3 and (x + yy) % 3 == 0 else c
    return p


def background_sprites():
    # The layers the level composition asks for in pairs of nearly the same depth are
    # painted as one picture: the nearer of a pair (and the mountains, into the
    # horizon) is left empty. Every layer costs the sprite pass a pass over its area.
    W = 256
    empty = Pic(1, 1)

    def horizon_with_mountains(bands, mountain):
        # The mountains' foot stood 25 rows under the horizon's: what lies below the
        # horizon's foot is left to the band under it.
        p = sky_band(W, 100, bands)
        p.blit(mountain, 0, -25)
        return p

    def paired(far, near):
        far.blit(near, 0, 0)
        return far

    def zone(prefix, horizon, mountain, below, stars, city1, city2):
        """A zone's layers: horizon (with the mountains), the band under it, the starry
        sky, and two cities of two skylines each (the pairs' nearer layers left empty)."""
        sprite(prefix + "/horizon", horizon_with_mountains(horizon, mountain), ox=0, oy=0)
        sprite(prefix + "/mountains", empty, ox=0, oy=0)
        sprite(prefix + "/horizon_below", sky_band(W, 64, below), ox=0, oy=0)
        sprite(prefix + "/sky_tile", stars, ox=0, oy=0)
        sprite(prefix + "/city1a", paired(*city1), ox=0, oy=0)
        sprite(prefix + "/city1b", empty, ox=0, oy=0)
        sprite(prefix + "/city2a", paired(*city2), ox=0, oy=0)
        sprite(prefix + "/city2b", empty, ox=0, oy=0)

    # Zone 1: a dusk over the city.
    stars = sky_band(W, 96, [NAVY] * 4 + [BLACK] * 4)
    for i in range(60):
        stars.put(int(hash2(i, 1, 3) * W), int(hash2(i, 2, 3) * 96), WHITE if i % 3 else SILVER)
    zone("bg1", [ORANGE, AMBER, ROSE, PINK, PLUM, PLUM, NAVY, NAVY], mountains(W, 120, PLUM, PINK, 1.0),
         [BLACK, DDBROWN, DDBROWN, BLACK], stars,
         (skyline(W, 200, NAVY, AMBER, 11, 90, 170), skyline(W, 200, NAVY, YELLOW, 12, 70, 150)),
         (skyline(W, 280, BLACK, ORANGE, 21, 160, 250, (16, 34)), skyline(W, 280, BLACK, AMBER, 22, 140, 240, (16, 34))))
    p = Pic(24, 64)
    p.rect(4, 0, 19, 63, SLATE)
    p.rect(6, 0, 17, 63, GREY)
    p.rect(9, 0, 10, 63, LGREY)
    for y in range(0, 64, 16):
        p.rect(2, y, 21, y + 2, SLATE)
        p.rect(3, y + 1, 20, y + 1, LGREY)
    sprite("bg1/pillar1v", p, ox=12, oy=0)
    # Zone 2: a cold industrial night.
    stars = sky_band(W, 96, [BLACK] * 8)
    for i in range(80):
        stars.put(int(hash2(i, 5, 9) * W), int(hash2(i, 6, 9) * 96), CYAN if i % 4 == 0 else LGREY)
    zone("bg2", [CYAN, SKY, BLUE, BLUE, DEEP, DEEP, NAVY, BLACK], mountains(W, 120, FOREST, DEEP, 2.5),
         [BLACK, DEEP, DEEP, BLACK], stars,
         (skyline(W, 200, DEEP, CYAN, 31, 60, 150), skyline(W, 200, DEEP, SKY, 32, 50, 140)),
         (skyline(W, 240, NAVY, GREEN, 41, 100, 220, (14, 30)), skyline(W, 240, NAVY, CYAN, 42, 90, 210, (14, 30))))
    sprite("bg2/city3", skyline(W, 340, BLACK, SKY, 51, 200, 330, (20, 40)), ox=0, oy=0)
    for i, (w, h) in enumerate(((24, 8), (40, 12), (64, 18)), start=1):
        p = Pic(w, h)
        p.ellipse(w / 2, h / 2, w / 2 - 1, h / 2 - 1.5, GREY)
        p.ellipse(w / 2, h / 2 + 1, w / 2 - 3, h / 4, LGREY)
        for x in range(3, w - 3, 4):
            p.put(x, h // 2, CYAN)
        p.rect(1, h // 2 - 1, 2, h // 2 + 1, ORANGE)
        sprite("bg2/ship%d" % i, p.outline(NAVY), ox=w / 2, oy=0)


def main():
    hero_sprites()
    weapon_sprites()
    shot_sprites()
    enemy_sprites()
    boss_sprites()
    pickup_sprites()
    explosion_sprites()
    ui_sprites()
    background_sprites()
    # Everything this generator writes goes; other files stay.
    for root, dirs, files in os.walk(OUT):
        for name in files:
            if name.endswith(".png") or name.endswith(".cfg"):
                os.remove(os.path.join(root, name))
    for name, (pic, cfg) in sorted(sprites.items()):
        path = os.path.join(OUT, name)
        os.makedirs(os.path.dirname(path), exist_ok=True)
        write_sprite_png(path + ".png", pic)
        if cfg:
            with open(path + ".cfg", "w") as f:
                f.write(cfg)
    print("%d sprites" % len(sprites))


if __name__ == "__main__":
    main()
