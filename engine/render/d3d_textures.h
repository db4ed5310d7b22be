#pragma once
// Textures: one fixed pool of device textures handed out by slot address, binding and
// sampling modes, CPU writes, back-buffer-sized textures across resets, DDS files, and
// the named, reference-counted list through which game code loads textures by name.
#include "engine/core/strings.h"
#include "platform/d3d9/d3d9.h"

#include <cstdint>

constexpr int MAX_TEXTURES = 1000;

struct Texture {
  IDirect3DTexture9* tex;
  int width, height;  // 0 and 0: the back-buffer size, now and after every reset
  int levels;
  uint32_t usage;
  D3DFORMAT format;
  D3DPOOL pool;
  bool used;
  uint32_t serial;  // changes whenever the slot gets another device texture
};

Texture* create_texture(int w, int h, int format_code, int levels);
Texture* create_dynamic_texture(int w, int h, int format_code);
Texture* create_render_target(int w, int h, int format_code);
Texture* create_screen_render_target();
Texture* create_pool_texture(int w, int h, int levels, uint32_t usage, D3DFORMAT format, D3DPOOL pool);
Texture* wrap_texture(IDirect3DTexture9* tex);
void destroy_texture(Texture* t);
int get_texture_width(Texture* t);
int get_texture_height(Texture* t);
IDirect3DTexture9* get_d3d_texture(Texture* t);
int get_texture_format(Texture* t);
bool is_texture_slot_free(Texture* t);
void move_texture(Texture* dst, Texture* src);

void* lock_texture(Texture* t, int* pitch, int level);
// The form the shell's level viewer calls: (texture, pitch, 1, level); every lock of
// this module allows writing, so the flag changes nothing.
void* lock_texture(Texture* t, int* pitch, int write, int level);
// Level 0's w x h texels at the top left, for writing; of a dynamic texture only they
// are uploaded at the unlock (the rest keeps what it held). Other textures lock whole.
void* lock_texture_area(Texture* t, int* pitch, int w, int h);
bool unlock_texture(Texture* t, int level);

void set_texture(int stage, Texture* t);
void set_texture_address(int stage, int u, int v, int w);
void set_texture_filter(int stage, bool linear);

// Device reset support: before, every sampler stage is unbound and the back-buffer-sized
// textures lose their device textures; after, they get new ones of the new size.
void release_screen_textures();
void recreate_screen_textures();
// Device shut-down: every pool slot and the lock copy are released.
void release_all_pool_textures();

// A DDS file into a new texture; a file that cannot be used is fatal, with a message
// naming it.
Texture* load_dds_texture(const char* name);
// The same, giving null and that message in `error` instead.
using DdsLoadError = TempString<512>;
Texture* try_load_dds_texture(const char* name, DdsLoadError& error);
// True when the buffer of at least 4 bytes starts with "DDS ".
bool is_dds_data(const void* data, int size);

Texture* get_texture(const char* name, bool required);
// The same for a texture whose failure the caller reports: null and the reason in
// `error` instead of ending the program.
Texture* try_get_texture(const char* name, DdsLoadError& error);
void free_texture(Texture* t);
void reload_textures(bool force);
void free_all_textures();
// Named textures: the reference count of a loaded texture, 0 when it is not in the list.
int get_texture_refcount(Texture* t);
// While the game-object module is replaced: every named texture gets one more
// reference until the release, so that what the old module loaded stays loaded for
// the new one to take as it stands (a page file broken since is not read again).
void hold_named_textures();
void release_held_textures();
// True between the two.
bool named_textures_held();
