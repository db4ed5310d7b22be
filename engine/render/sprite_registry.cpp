// The sprite registry: scanning "sprites/", reading configurations, cutting animation
// strips into frames, and building the atlas texture.
//
// A reload is all or nothing: the scan only collects what changed, and a file that
// cannot be read leaves every sprite and the atlas as they were (reported on screen).
// At start-up the same failures are fatal.
#include <physfs.h>

#include <algorithm>
#include <cstring>
#include <initializer_list>

#include "engine/core/error_message.h"
#include "engine/core/fatal.h"
#include "engine/core/log.h"
#include "engine/core/vfs.h"
#include "engine/core/watch.h"
#include "engine/render/background.h"
#include "engine/render/d3d_shaders.h"
#include "engine/render/d3d_states.h"
#include "engine/render/d3d_textures.h"
#include "engine/render/image.h"
#include "engine/render/sprite.h"
#include "engine/render/sprite_atlas.h"
#include "engine/render/sprite_pass.h"

int spriteTexSize = 0;
DynArray<Sprite*> sprite_list;
RenderBatch sprite_batch(32768);
StdRenderBatchState sprite_state(nullptr, nullptr, sizeof(SpriteVertex), nullptr);

static Texture* sprites_tex = nullptr;
// The sprite shader's builds: [PLAIN_COLORS][TILE_SHADES], [0][0] the plain build.
static Shader* sprite_shaders[2][2] = {};

namespace {

// What one scan found, applied only when the whole scan succeeded.
struct ImageLoad {
  Sprite* sprite;
  int wd, ht;
  DynArray<uint32_t> pixels;
  int64_t time;
};

struct ConfigLoad {
  Sprite* sprite;
  ConfigNode* node;
  int64_t time;
};

struct SpriteScan {
  bool reload;
  int firstNew;  // sprites from here on were created by this scan
  DynArray<ImageLoad*> images;
  DynArray<ConfigLoad> configs;
  TempString<512> error;  // set when a reload met a file it cannot read

  bool failed() const { return error.str[0] != 0; }
};

Sprite* find_sprite(const char* name) {
  for (Sprite* s : sprite_list)
    if (strcmp(s->name.c_str(), name) == 0)
      return s;
  return nullptr;
}

Sprite* add_sprite(const char* name) {
  Sprite* s = new Sprite();
  s->name.assign(name);
  s->state = &sprite_state;
  sprite_list.push() = s;
  return s;
}

// At start-up a bad file is fatal; a reload reports it and stops.
void scan_error(SpriteScan& scan, const char* fmt, const char* path) {
  if (!scan.reload)
    fatal(fmt, path);
  scan.error.format(fmt, path);
}

const ImageLoad* pending_image(const SpriteScan& scan, const Sprite* s) {
  for (const ImageLoad* l : scan.images)
    if (l->sprite == s)
      return l;
  return nullptr;
}

bool has_pending_config(const SpriteScan& scan, const Sprite* s) {
  for (const ConfigLoad& l : scan.configs)
    if (l.sprite == s)
      return true;
  return false;
}

// The size a sprite will have once this scan is applied.
void current_size(const SpriteScan& scan, const Sprite* s, int* wd, int* ht) {
  const ImageLoad* l = pending_image(scan, s);
  *wd = l ? l->wd : s->wd;
  *ht = l ? l->ht : s->ht;
}

void scan_image(SpriteScan& scan, const char* path, const char* name) {
  Sprite* s = find_sprite(name);
  int64_t time = vfs_last_mod_time(path);
  if (scan.reload && s && s->pngTime == time)
    return;
  ImageLoad* load = new ImageLoad{nullptr, 0, 0, {}, time};
  if (!load_png(path, &load->wd, &load->ht, load->pixels)) {
    delete load;
    scan_error(scan, "Error loading sprite image %s", path);
    return;
  }
  if (load->pixels.size() != load->wd * load->ht)
    assert_failed("pixels.size()==wd*ht", "loadSprite.cpp", 120);
  if (!s)
    s = add_sprite(name);
  int wd, ht;
  current_size(scan, s, &wd, &ht);
  if (!(wd == 0 && ht == 0) && !scan.reload && (wd != load->wd || ht != load->ht))
    fatal("Expected %dx%d sprite image %s, got %dx%d", wd, ht, path, load->wd, load->ht);
  load->sprite = s;
  scan.images.push() = load;
}

void scan_config(SpriteScan& scan, const char* path, const char* name) {
  Sprite* s = find_sprite(name);
  int64_t time = vfs_last_mod_time(path);
  if (scan.reload && s && s->cfgTime == time)
    return;
  if (!s)
    s = add_sprite(name);
  if ((s->config || has_pending_config(scan, s)) && !scan.reload)
    fatal("Duplicate sprite config %s", path);
  ConfigNode* node = ConfigNode::fromFile(path);
  if (!node) {
    scan_error(scan, "Error loading sprite config %s", path);
    return;
  }
  scan.configs.push() = ConfigLoad{s, node, time};
}

bool ends_with(const char* text, const char* tail) {
  size_t l = strlen(text), t = strlen(tail);
  return l > t && memcmp(text + l - t, tail, t) == 0;
}

void scan_sprite_dir(SpriteScan& scan, const char* prefix) {
  TempString<260> dir;
  dir.format("sprites/%s", prefix);
  char** entries = vfs_enumerate_files(dir.c_str());
  for (char** e = entries; e && *e && !scan.failed(); e++) {
    TempString<260> path, name;
    path.format("sprites/%s%s", prefix, *e);
    if (vfs_is_directory(path.c_str())) {
      if ((*e)[0] == '.')
        continue;
      TempString<260> sub;
      sub.format("%s%s/", prefix, *e);
      scan_sprite_dir(scan, sub.c_str());
      continue;
    }
    bool png = ends_with(*e, ".png"), cfg = ends_with(*e, ".cfg");
    if (!png && !cfg)
      continue;
    name.format("%s%s", prefix, *e);
    name.str[strlen(name.str) - 4] = 0;
    if (png)
      scan_image(scan, path.c_str(), name.c_str());
    else
      scan_config(scan, path.c_str(), name.c_str());
  }
  PHYSFS_freeList(entries);
}

void free_scan(SpriteScan& scan) {
  for (ImageLoad* l : scan.images)
    delete l;
  scan.images.clearAndFree();
  scan.configs.clearAndFree();
}

// A failed reload: the sprites it created go, and what it read is dropped.
void discard_scan(SpriteScan& scan) {
  for (ConfigLoad& l : scan.configs)
    delete l.node;
  while (sprite_list.size() > scan.firstNew) {
    delete sprite_list.last();
    sprite_list.remove(sprite_list.size() - 1, 1);
  }
  free_scan(scan);
}

void apply_scan(SpriteScan& scan) {
  for (ImageLoad* l : scan.images) {
    Sprite* s = l->sprite;
    s->wd = l->wd;
    s->ht = l->ht;
    s->pixels = static_cast<DynArray<uint32_t>&&>(l->pixels);
    s->pngTime = l->time;
  }
  for (ConfigLoad& l : scan.configs) {
    delete l.sprite->config;
    l.sprite->config = l.node;
    l.sprite->cfgTime = l.time;
  }
  free_scan(scan);
}

void cut_frames(Sprite* anim, int fw) {
  anim->frames.clear();
  int n = anim->wd / fw;
  if (n * fw != anim->wd)
    debug("WARNING: frame width mismatch for animation %s", anim->name.c_str());
  for (int i = 0; i < n; i++) {
    TempString<260> name;
    name.format("%s%04d", anim->name.c_str(), i);
    Sprite* f = find_sprite(name.c_str());
    if (!f)
      f = add_sprite(name.c_str());
    f->anim = anim;
    f->frames.clear();
    f->wd = fw;
    f->ht = anim->ht;
    f->ox = anim->ox;
    f->oy = anim->oy;
    f->npl = anim->npl;
    f->npt = anim->npt;
    f->npr = anim->npr;
    f->npb = anim->npb;
    delete f->config;
    f->config = new ConfigNode(*anim->config);
    f->pixels.resize(fw * anim->ht);
    if (anim->pixels.size() == anim->wd * anim->ht)
      for (int r = 0; r < anim->ht; r++)
        memcpy(&f->pixels[r * fw], &anim->pixels[r * anim->wd + i * fw], size_t(fw) * 4);
    anim->frames.push() = f;
  }
  debug("loaded %d frames for %s", n, anim->name.c_str());
}

void read_configs() {
  // Frames appended by cut_frames are visited too and skipped: they have an animation.
  for (int i = 0; i < sprite_list.size(); i++) {
    Sprite* s = sprite_list[i];
    if (s->anim)
      continue;
    if (!s->config)
      s->config = new ConfigNode();
    const ConfigNode& c = *s->config;
    int fw = c.getInt("fw", 0);
    // A strip's default pivot is the middle of one frame, where its frames need it.
    s->ox = float(c.getFloat("ox", (fw > 0 ? fw : s->wd) * 0.5));
    s->oy = float(c.getFloat("oy", 0));
    s->npl = c.getInt("npl", 0);
    s->npt = c.getInt("npt", 0);
    s->npr = c.getInt("npr", 0);
    s->npb = c.getInt("npb", 0);
    if (fw > 0)
      cut_frames(s, fw);
    else
      s->frames.clear();
  }
}

void upload_atlas(int side) {
  DynArray<uint32_t> pixels;
  fill_sprite_atlas(sprite_list, side, pixels);
  Texture* t = create_texture(side, side, 1, 1);
  if (!t)
    fatal("Can't create sprites atlas texture");
  spriteTexSize = side;
  if (sprites_tex)
    move_texture(sprites_tex, t);
  else
    sprites_tex = t;
  int pitch = 0;
  uint8_t* dst = (uint8_t*)lock_texture(sprites_tex, &pitch, 0);
  if (!dst)
    fatal("Can't lock sprites atlas texture");
  for (int y = 0; y < side; y++)
    memcpy(dst + y * pitch, &pixels[y * side], size_t(side) * 4);
  unlock_texture(sprites_tex, 0);
}

void build_sprites(bool reload) {
  if (reload && !was_physfs_dir_changed("sprites"))
    return;
  SpriteScan scan{reload, sprite_list.size(), {}, {}, {}};
  scan_sprite_dir(scan, "");
  bool loaded = !scan.images.isEmpty() || !scan.configs.isEmpty();
  // The sprites' error stands until a scan that met a changed file reads them all:
  // a failed scan leaves every changed file to be read again.
  if (reload && loaded && !scan.failed())
    set_source_error("sprites", nullptr);
  if (scan.failed()) {
    debug("%s", scan.error.c_str());
    set_source_error("sprites", scan.error.c_str());
    discard_scan(scan);
    return;
  }
  apply_scan(scan);
  if (reload && !loaded)
    return;
  read_configs();
  std::stable_sort(sprite_list.begin(), sprite_list.end(),
                   [](const Sprite* a, const Sprite* b) { return a->wd * a->ht > b->wd * b->ht; });
  int side = pack_sprite_atlas(sprite_list);
  if (!side)
    fatal("Too many sprites, can't fit them all in %dx%d texture", SPRITE_ATLAS_MAX, SPRITE_ATLAS_MAX);
  debug("loaded %d sprites into %dx%d texture", sprite_list.size(), side, side);
  upload_atlas(side);
}

}  // namespace

void init_sprites() {
  build_sprites(false);
  static const VDeclElement elements[] = {
      {0, 0, 3, 0, 0},   // FLOAT3 position
      {12, 0, 5, 2, 0},  // D3DCOLOR colour 0
      {16, 0, 5, 2, 1},  // D3DCOLOR colour 1
      {20, 0, 6, 3, 0},  // SHORT2 texture coordinate
      {0, 255, 0, 0, 0},
  };
  sprite_state.vdecl = create_vdecl(elements);
  sprite_state.stride = sizeof(SpriteVertex);
  sprite_state.texture = sprites_tex;
  sprite_shaders[0][0] = create_shader("sprite.sh", nullptr);
  sprite_shaders[1][0] = create_shader("sprite.sh", "PLAIN_COLORS\0" "1\0");
  sprite_shaders[0][1] = create_shader("sprite.sh", "TILE_SHADES\0" "1\0");
  sprite_shaders[1][1] = create_shader("sprite.sh", "PLAIN_COLORS\0" "1\0" "TILE_SHADES\0" "1\0");
  sprite_state.shader = sprite_shaders[0][0];
}

void reload_sprites() { build_sprites(true); }

void close_sprites() {
  for (Sprite* s : sprite_list)
    delete s;
  sprite_list.clearAndFree();
  sprite_batch.clear();
  destroy_texture(sprites_tex);
  sprites_tex = nullptr;
  for (auto& builds : sprite_shaders)
    for (Shader*& s : builds) {
      if (s)
        destroy_shader(s);
      s = nullptr;
    }
  sprite_state.reset();
}

Sprite* get_sprite(const char* name, bool mustExist) {
  Sprite* s = find_sprite(name);
  if (!s && mustExist)
    fatal("Sprite '%s' not found", name);
  return s;
}

Texture* get_sprites_tex() { return sprites_tex; }

Shader* sprite_pass_shader(bool plain_colors, bool tile_shades) { return sprite_shaders[plain_colors][tile_shades]; }
