// Textures loaded by name, shared by reference count and reloaded in place.
#include "engine/core/dynarray.h"
#include "engine/core/error_message.h"
#include "engine/core/fatal.h"
#include "engine/core/log.h"
#include "engine/core/strings.h"
#include "engine/core/utils.h"
#include "engine/core/vfs.h"
#include "engine/core/watch.h"
#include "engine/render/d3d_textures.h"

#include <strings.h>

struct NamedTexture {
  Texture* texture;
  int refcount;
  String name;
  String realPath;
  int64_t modTime;
};

static DynArray<NamedTexture> named_textures;

static int find_named(Texture* t) {
  for (int i = 0; i < named_textures.size(); i++)
    if (named_textures[i].texture == t) return i;
  return -1;
}

static NamedTexture* find_named_by_name(const char* name) {
  for (NamedTexture& n : named_textures)
    if (strcasecmp(n.name.c_str(), name) == 0) return &n;
  return nullptr;
}

static Texture* add_named(const char* name, Texture* t) {
  NamedTexture& n = named_textures.push();
  n.texture = t;
  n.refcount = 1;
  n.name.assign(name);
  n.realPath.assign(get_real_path(name).c_str());
  n.modTime = vfs_last_mod_time(name);
  return t;
}

Texture* try_get_texture(const char* name, DdsLoadError& error) {
  error.assign("");
  if (NamedTexture* n = find_named_by_name(name)) {
    n->refcount++;
    return n->texture;
  }
  Texture* t = try_load_dds_texture(name, error);
  return t ? add_named(name, t) : nullptr;
}

// A file that cannot be used is fatal whether or not the texture is required: the
// loader's message names the file and the fault.
Texture* get_texture(const char* name, bool) {
  DdsLoadError error;
  Texture* t = try_get_texture(name, error);
  if (!t)
    fatal("%s", error.c_str());
  return t;
}

void free_texture(Texture* t) {
  int i = t ? find_named(t) : -1;
  if (i < 0) return;
  if (--named_textures[i].refcount > 0) return;
  destroy_texture(named_textures[i].texture);
  named_textures.removeUnordered(i, 1);
}

int get_texture_refcount(Texture* t) {
  int i = t ? find_named(t) : -1;
  return i < 0 ? 0 : named_textures[i].refcount;
}

// A file that fails to load leaves its texture as it was and shows why until it loads;
// the file is tried again when it changes.
void reload_textures(bool force) {
  for (NamedTexture& n : named_textures) {
    if (n.refcount < 1 || n.name.isEmpty()) continue;
    if (!force) {
      if (!was_real_file_changed(n.realPath.c_str())) continue;
      int64_t time = vfs_last_mod_time(n.name.c_str());
      if (time == n.modTime) continue;
      n.modTime = time;
    }
    debug("reloading %s", n.name.c_str());
    DdsLoadError error;
    Texture* fresh = try_load_dds_texture(n.name.c_str(), error);
    TempString<300> source;
    source.format("texture %s", n.name.c_str());
    if (!fresh) {
      debug("%s", error.c_str());
      set_source_error(source, error.c_str());
      continue;
    }
    set_source_error(source, nullptr);
    move_texture(n.texture, fresh);
  }
}

static DynArray<Texture*> held_textures;
static bool textures_held = false;

bool named_textures_held() { return textures_held; }

void hold_named_textures() {
  textures_held = true;
  for (NamedTexture& n : named_textures) {
    n.refcount++;
    held_textures.push() = n.texture;
  }
}

void release_held_textures() {
  for (Texture* t : held_textures)
    free_texture(t);
  held_textures.clearAndFree();
  textures_held = false;
}

void free_all_textures() {
  for (NamedTexture& n : named_textures) destroy_texture(n.texture);
  named_textures.clearAndFree();
  held_textures.clearAndFree();
  textures_held = false;
}
