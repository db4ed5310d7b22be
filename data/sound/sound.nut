// The game's sounds. Loads the samples and the music, and binds every sound event by
// name in `events` to a function (volume, pan) that starts its voices and returns a
// voice handle. Effects play on the effects bus, interface sounds and jingles on the
// interface bus, music on the music bus. Edit and save: the game reloads this file.

local function sample(name, volume = 1.0) {
  return load_sample("sound/sfx/" + name + ".ogg", volume)
}

// An event that plays one sample on the effects bus where it happens.
local function sfx(snd) {
  return function(volume, pan) { return play_sfx(snd, volume, pan) }
}

// An event that plays one of several samples, picked at random.
local function sfx_any(sounds) {
  return function(volume, pan) { return play_sfx(sounds[game_rnd() % sounds.len()], volume, pan) }
}

// An event that plays one sample on the interface bus.
local function ui(snd) {
  return function(volume, pan) { return play_ui(snd, volume) }
}

local theme = load_music("sound/music/theme.ogg", 0.0)
local music = { voice = 0 }

local function start_music() {
  music.voice = play_music(theme)
  return music.voice
}

local function stop_music(ms) {
  fade_out_and_stop(music.voice, ms)
  music.voice = 0
}

// A jingle over the start of the music.
local function level_start(jingle) {
  return function(volume, pan) {
    start_music()
    return play_ui(jingle, volume)
  }
}

local explosion_small = sample("boss_part_explode", 0.9)
local boss_alarm = sample("boss_alarm", 0.8)
local boss_dying = sample("boss_dying")
local jingle_zone = sample("jingle_zone", 0.8)
local jingle_boss = sample("jingle_boss", 0.8)
local new_game_sound = sample("new_game", 0.8)
local hero_dead_sound = sample("hero_dead")

events <- {
  pistol_shot = sfx(sample("pistol_shot", 0.7))
  plasma_shot = sfx(sample("plasma_shot", 0.7))
  plasma_misfire = sfx(sample("plasma_misfire", 0.6))
  punch_swing = sfx(sample("punch_swing", 0.6))
  punch_hit = sfx_any([sample("punch_hit"), sample("punch_hit2")])
  hero_jump = sfx(sample("hero_jump", 0.4))
  hero_hurt = sfx(sample("hero_hurt", 0.8))
  hero_dead = function(volume, pan) {
    stop_music(1500.0)
    return play_ui(hero_dead_sound, volume)
  }
  game_over = ui(sample("game_over"))
  enemy_spots_hero = sfx(sample("enemy_spots_hero", 0.5))
  enemy_hurt = sfx(sample("enemy_hurt", 0.6))
  enemy_dead = sfx(sample("enemy_dead", 0.7))
  enemy_magnet_jump = sfx(sample("enemy_magnet_jump", 0.6))
  enemy_jump = sfx(sample("enemy_jump", 0.4))
  enemy_shoot = sfx(sample("enemy_shoot", 0.6))
  enemy_shoot_burst = sfx(sample("enemy_shoot_burst", 0.6))
  enemy_charge_gun = sfx(sample("enemy_charge_gun", 0.6))
  enemy_flyer_change_dir = sfx(sample("enemy_flyer_change_dir", 0.3))
  bullet_destroys_wall = sfx(sample("bullet_destroys_wall", 0.7))
  bullet_hits_indestructible = sfx(sample("bullet_hits_indestructible", 0.5))
  torvane_elevator = ui(sample("torvane_elevator", 0.7))
  upgrade_screen = ui(sample("upgrade_screen", 0.7))
  upgrade_plus = ui(sample("upgrade_plus", 0.6))
  upgrade_minus = ui(sample("upgrade_minus", 0.6))
  upgrade_accept = ui(sample("upgrade_accept", 0.7))
  start_level_z1 = level_start(jingle_zone)
  start_level_b1 = level_start(jingle_boss)
  start_level_z2 = level_start(jingle_zone)
  start_level_b2 = level_start(jingle_boss)
  start_level_z3 = level_start(jingle_zone)
  start_level_b3 = level_start(jingle_boss)
  start_level_z4 = level_start(jingle_zone)
  start_level_b4 = level_start(jingle_boss)
  title_screen = function(volume, pan) { return start_music() }
  new_game = function(volume, pan) {
    stop_music(800.0)
    return play_ui(new_game_sound, volume)
  }
  barrel_explode = sfx(sample("barrel_explode"))
  bonus_heart = sfx(sample("bonus_heart", 0.7))
  bonus_up = sfx(sample("bonus_up", 0.7))
  ui_hover = ui(sample("ui_hover", 0.4))
  ui_click = ui(sample("ui_click", 0.6))
  ui_release = ui(sample("ui_release", 0.5))
  ui_back = ui(sample("ui_back", 0.6))
  boss_part_damaged = sfx(sample("boss_part_damaged", 0.7))
  boss_part_explode = sfx(explosion_small)
  boss_dead = sfx(sample("boss_dead"))
  boss1_activated = ui(boss_alarm)
  boss1_shoot = sfx(sample("boss1_shoot", 0.7))
  boss1_drop_bomb = sfx(sample("boss1_drop_bomb", 0.6))
  boss1_dying = sfx(boss_dying)
  boss2_activated = ui(boss_alarm)
  boss2_reassemble = sfx(sample("boss2_reassemble", 0.7))
  boss2_shoot = sfx(sample("boss2_shoot", 0.7))
  boss2_dying = sfx(boss_dying)
}
