// Looking sprites up once and drawing them in the world.
/*
import sprites
*/
#include "gameobj/sprites.h"

#include <cstring>

#include "engine/render/sprite.h"

namespace {

// One lookup per name and atlas; names that are not there are remembered too.
struct CachedSprite {
  char name[48];
  Sprite* sprite;
};
constexpr int CACHE_SIZE = 256;
CachedSprite cache[CACHE_SIZE];

uint32_t name_hash(const char* s) {
  uint32_t h = 2166136261u;
  for (; *s; s++)
    h = (h ^ uint8_t(*s)) * 16777619u;
  return h;
}

}  // namespace

Sprite* sprite_named(const char* name) {
  if (!name || strlen(name) >= sizeof(cache[0].name))
    return get_sprite(name, false);
  uint32_t h = name_hash(name) % CACHE_SIZE;
  for (int i = 0; i < CACHE_SIZE; i++) {
    CachedSprite& c = cache[(h + i) % CACHE_SIZE];
    if (!c.name[0]) {
      strcpy(c.name, name);
      c.sprite = get_sprite(name, false);
      return c.sprite;
    }
    if (strcmp(c.name, name) == 0)
      return c.sprite;
  }
  return get_sprite(name, false);
}

Sprite* sprite_frame(const char* name, int frame) {
  Sprite* s = sprite_named(name);
  if (!s || s->frames.isEmpty())
    return s;
  int n = s->frames.size();
  return s->frames[((frame % n) + n) % n];
}

void forget_sprites() { memset(cache, 0, sizeof(cache)); }

void draw_sprite(Sprite* s, float x, float y, float z, bool mirror, uint32_t tint, uint32_t flash) {
  if (s)
    s->draw(_mm_setr_ps(x, y, z, 1), mirror, false, tint, flash);
}

void draw_sprite_turned(Sprite* s, float x, float y, float z, float dx, float dy, uint32_t tint, uint32_t flash) {
  if (s)
    s->draw(_mm_setr_ps(x, y, z, 1), _mm_setr_ps(dx, dy, 0, 0), dx < 0, tint, flash);
}

uint32_t hit_flash(float flash_time) { return flash_time > 0 ? 0xB0FFFFFF : NO_FLASH; }
