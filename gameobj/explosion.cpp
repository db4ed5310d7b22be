// Explosions: flashes, debris thrown through the engine's junk, sound and shake.
/*
import effects
import sound
import sprites
*/
#include "gameobj/effects.h"
#include "gameobj/sound.h"
#include "gameobj/sprites.h"

namespace {
// Fire colours of the palette: red, orange, amber, yellow, and smoke.
const uint32_t fire_colors[] = {0xFFE43B44, 0xFFF77622, 0xFFFEAE34, 0xFFFEE761, 0xFF3A4466};
}

ExplosionParticle::ExplosionParticle() {
  category = CAT_EFFECT;
  ext[0] = ext[1] = -4;
  ext[2] = ext[3] = 4;
}

void ExplosionParticle::update(float dt) {
  age += dt;
  life -= dt;
  if (life <= 0)
    destroy();
}

void throw_debris(float x, float y, int count, uint32_t color, float speed) {
  for (int i = 0; i < count; i++) {
    float a = game_randf(0, 6.2831853f), s = game_randf(0.3f, 1.0f) * speed;
    add_junk(_mm_setr_ps(x, y, -2, 1), _mm_setr_ps(std::cos(a) * s, std::sin(a) * s + speed * 0.4f, 0, 0), color,
             game_randf(0.4f, 1.1f), 180);
  }
}

void spawn_explosion(float x, float y, float size, int sound_event) {
  int flashes = size >= 2 ? 3 : 1;
  for (int i = 0; i < flashes; i++) {
    float ox = i ? game_randf(-5, 5) * size : 0, oy = i ? game_randf(-4, 4) * size : 0;
    ExplosionParticle* p = spawn(ExplosionParticle_list, x + ox, y + oy);
    p->size = size;
    p->life = 0.45f + 0.1f * i;
  }
  int pieces = int(10 * size);
  for (int i = 0; i < pieces; i++)
    throw_debris(x, y, 1, fire_colors[game_rand() % 5], 60 * size);
  shell::shake(1.5f * size, 1.5f * size);
  if (sound_event >= 0)
    play_event_at(sound_event, x, y);
}

void ExplosionParticle::render(float t) {
  constexpr int FRAMES = 8;
  float total = 0.45f;
  int frame = int((1 - (life - t) / total) * FRAMES);
  if (frame >= FRAMES)
    return;
  draw_sprite(sprite_frame(size >= 2 ? "fx/explosion_big" : "fx/explosion", frame < 0 ? 0 : frame), drawX(t),
              drawY(t), -6, false);
}
