#pragma once
// Vertex and index buffer pools, draws, clears, render targets, the viewport, copies
// between surfaces and read-backs.
#include "platform/d3d9/d3d9.h"
#include "engine/core/geometry.h"

#include <cstdint>

struct Texture;

constexpr int MAX_VBUFFERS = 1000;
constexpr int MAX_IBUFFERS = 1000;

struct VertexBuffer {
  IDirect3DVertexBuffer9* vb;
  uint32_t size;
  uint32_t isStatic;
  uint32_t used;
};

struct IndexBuffer {
  IDirect3DIndexBuffer9* ib;
  uint32_t size;
  uint32_t isStatic;
  uint32_t used;
};

VertexBuffer* create_vb(int size, bool is_static);
IndexBuffer* create_ib(int count, bool is_static);
IDirect3DVertexBuffer9* create_d3d_vb(int bytes, bool is_static);
IDirect3DIndexBuffer9* create_d3d_ib(int bytes, bool is_static);
void* lock_vb(VertexBuffer* vb, int offset, int size);
void* lock_ib(IndexBuffer* ib, int offset, int size);
void unlock_vb(VertexBuffer* vb);
void unlock_ib(IndexBuffer* ib);
void set_vb_stream(int stream, VertexBuffer* vb, int offset, int stride);
void set_ib(IndexBuffer* ib);
void release_vb(VertexBuffer* vb);
void release_ib(IndexBuffer* ib);
void release_all_buffers();
void unbind_buffers_for_reset();

void draw_prim(int type, int first_vertex, int count);
void draw_indexed(int type, int base_vertex, int min_index, int num_vertices, int start_index, int count);
void draw_postfx();
void clear_view(D3dColor color);
void clear_view_color(D3dColor color);
void clear_view_z();

void set_backbuffer_target();
// Without a scene colour surface (the usual configuration) the back buffer takes its
// place, with the scene depth surface.
void set_scene_target();
void set_texture_target(Texture* t, int index, bool scene_depth);
void set_viewport(int x, int y, int w, int h);

void copy_texture(Texture* from, Texture* to);
bool copy_backbuffer_to_texture(Texture* t);
bool copy_scene_to_texture(Texture* t);
void* read_render_target(Texture* t, int* pitch);
bool end_read_render_target(Texture* t);
void* begin_texture_upload(Texture* t, int* pitch);
bool end_texture_upload(Texture* t);
void* capture_front_buffer(int* w, int* h, int* pitch);
void release_front_buffer_capture();
