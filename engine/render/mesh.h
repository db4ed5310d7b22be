#pragma once
// Meshes: binary model files read into a static vertex buffer and a static 16-bit index
// buffer plus a few descriptive lists, shared by file name with a reference count,
// reloaded in place when their files change, all freed at shut-down. What the lists
// mean and how the vertices are laid out is up to the game module that draws them.
#include <cstdint>

#include "engine/core/dynarray.h"
#include "engine/core/strings.h"

class InputStream;
struct VertexBuffer;
struct IndexBuffer;

constexpr uint32_t MESH_FILE_VERSION = 0x14030200;

struct MeshQuad {
  float v[4];
};
static_assert(sizeof(MeshQuad) == 16);

struct MeshTriple {
  uint16_t v[3];
};
static_assert(sizeof(MeshTriple) == 6);

// The game module reads these fields: their order is fixed.
struct Mesh {
  float bounds[4];  // as the file stores them
  VertexBuffer* vb;
  IndexBuffer* ib;
  int32_t stride;
  int32_t numVerts;
  int32_t numTris;
  DynArray<MeshQuad> quads;
  String name;  // the file name the mesh was requested by
  int32_t refCount;
  DynArray<MeshTriple> triples;
  String label0, label1;
  DynArray<String> labels;
  String realPath;   // the file on disk, for the change queries
  int64_t fileTime;  // -1 until read
};

extern DynArray<Mesh*> mesh_list;

// Shares a listed mesh (one more reference) or loads it; null when it cannot be read
// (fatal when mustLoad).
Mesh* get_mesh(const char* name, bool mustLoad);
// Loads a mesh that is not added to the list; null on failure (fatal when mustLoad).
Mesh* load_mesh(const char* name, bool mustLoad);
// Reads a mesh file into `mesh`. A file that cannot be used throws
// InputStream::Exception and leaves the mesh as it was.
void read_mesh(InputStream& in, Mesh& mesh);
void free_mesh(Mesh* mesh);
void free_all_meshes();
// Rereads the listed meshes whose files changed (all of them when forced). A mesh whose
// file cannot be read keeps what it had; the error is logged and shown.
void reload_meshes(bool force);
