#pragma once
// The sound events the module plays, by their fixed ids, and playing them where
// they happen: quieter far from the camera, panned to the side they come from.

enum SoundEvent : int {
  SND_PISTOL_SHOT = 0,
  SND_PLASMA_SHOT = 1,
  SND_PLASMA_MISFIRE = 2,
  SND_PUNCH_SWING = 3,
  SND_PUNCH_HIT = 4,
  SND_HERO_JUMP = 5,
  SND_HERO_HURT = 6,
  SND_ENEMY_SPOTS_HERO = 9,
  SND_ENEMY_HURT = 10,
  SND_ENEMY_DEAD = 11,
  SND_ENEMY_MAGNET_JUMP = 12,
  SND_ENEMY_JUMP = 13,
  SND_ENEMY_SHOOT = 14,
  SND_ENEMY_SHOOT_BURST = 15,
  SND_ENEMY_CHARGE_GUN = 16,
  SND_ENEMY_FLYER_CHANGE_DIR = 17,
  SND_BULLET_DESTROYS_WALL = 18,
  SND_BULLET_HITS_INDESTRUCTIBLE = 19,
  SND_UPGRADE_PLUS = 22,
  SND_UPGRADE_MINUS = 23,
  SND_TITLE_SCREEN = 33,
  SND_BARREL_EXPLODE = 36,
  SND_BONUS_HEART = 37,
  SND_BONUS_UP = 38,
  SND_UI_HOVER = 39,
  SND_UI_CLICK = 40,
  SND_UI_RELEASE = 41,
  SND_UI_BACK = 42,
  SND_BOSS_PART_DAMAGED = 43,
  SND_BOSS_PART_EXPLODE = 44,
  SND_BOSS_DEAD = 45,
  SND_BOSS1_ACTIVATED = 46,
  SND_BOSS1_SHOOT = 47,
  SND_BOSS1_DROP_BOMB = 48,
  SND_BOSS1_DYING = 49,
  SND_BOSS2_ACTIVATED = 50,
  SND_BOSS2_REASSEMBLE = 51,
  SND_BOSS2_SHOOT = 52,
  SND_BOSS2_DYING = 53,
};

// Plays an event without a place (interface, jingles).
void play_event(int id);
// Plays an event that happens at (x, y) in the world.
void play_event_at(int id, float x, float y);
// The events played since the last call, oldest first; at most 64 are kept. For
// the game's tests, which find it by name.
extern "C" int take_played_events(int* ids, int capacity);
