// Mesh files, the mesh list and hot reload.
#include "engine/render/mesh.h"

#include <climits>
#include <cstring>
#include <new>

#include "engine/core/error_message.h"
#include "engine/core/fatal.h"
#include "engine/core/log.h"
#include "engine/core/mem.h"
#include "engine/core/stream.h"
#include "engine/core/utils.h"
#include "engine/core/vfs.h"
#include "engine/core/watch.h"
#include "engine/render/d3d_vbuf.h"

DynArray<Mesh*> mesh_list;

namespace {

using Error = InputStream::Exception;

// Reads the blob front to back; every length is checked against what is left.
struct BlobReader {
  const uint8_t* p;
  const uint8_t* end;

  const uint8_t* take(uint64_t n) {
    if (n > uint64_t(end - p))
      throw Error("Mesh data runs past the end of its blob", -1);
    const uint8_t* at = p;
    p += n;
    return at;
  }
  uint8_t u8() { return *take(1); }
  uint32_t u32() {
    uint32_t v;
    memcpy(&v, take(4), 4);
    return v;
  }
  void str(String& out) {
    uint8_t l = u8();
    out.assignBytes(take(uint64_t(l) + 1), l);  // the characters and their 0 byte
  }
  template <class T>
  void records(DynArray<T>& out) {
    uint8_t n = u8();
    const uint8_t* src = take(uint64_t(n) * sizeof(T));
    out.clear();
    out.resize(n);
    if (n)
      memcpy((void*)out.begin(), src, size_t(n) * sizeof(T));
  }
};

// Everything a read produces; it replaces the mesh's contents only when complete.
struct MeshData {
  String label0, label1;
  DynArray<String> labels;
  DynArray<MeshQuad> quads;
  float bounds[4];
  DynArray<MeshTriple> triples;
  int32_t stride = 0, numVerts = 0, numTris = 0;
  VertexBuffer* vb = nullptr;
  IndexBuffer* ib = nullptr;

  ~MeshData() {
    release_vb(vb);
    release_ib(ib);
  }
};

void parse_blob(BlobReader& r, MeshData& d) {
  r.str(d.label0);
  r.str(d.label1);
  uint8_t n = r.u8();
  d.labels.resize(n);
  for (String& s : d.labels)
    r.str(s);
  r.records(d.quads);
  memcpy(d.bounds, r.take(16), 16);
  r.records(d.triples);
  uint32_t stride = r.u32(), verts = r.u32(), tris = r.u32();
  // The mesh keeps its counts as ints: a count beyond them (possible where the other
  // factor of a size is 0) is no mesh.
  if (stride > INT32_MAX || verts > INT32_MAX || tris > INT32_MAX)
    throw Error("Mesh counts out of range", -1);
  uint64_t vertex_bytes = uint64_t(stride) * verts, index_count = uint64_t(tris) * 3;
  const uint8_t* vertices = r.take(vertex_bytes);
  const uint8_t* indices = r.take(index_count * 2);
  for (uint64_t i = 0; i < index_count; i++) {
    uint16_t index;
    memcpy(&index, indices + i * 2, 2);
    if (index >= verts)
      throw Error("Mesh index out of range", -1);
  }
  d.stride = int32_t(stride);
  d.numVerts = int32_t(verts);
  d.numTris = int32_t(tris);
  // Nothing to draw needs no buffer.
  if (vertex_bytes) {
    d.vb = create_vb(int(vertex_bytes), true);
    if (!d.vb)
      throw Error("Can't create vertex buffer", -1);
    void* dst = lock_vb(d.vb, 0, 0);
    if (!dst)
      throw Error("Can't lock vertex buffer", -1);
    memcpy(dst, vertices, vertex_bytes);
    unlock_vb(d.vb);
  }
  if (index_count) {
    d.ib = create_ib(int(index_count), true);
    if (!d.ib)
      throw Error("Can't create index buffer", -1);
    void* dst = lock_ib(d.ib, 0, 0);
    if (!dst)
      throw Error("Can't lock index buffer", -1);
    memcpy(dst, indices, index_count * 2);
    unlock_ib(d.ib);
  }
}

// Bytes from the stream's position to its end.
int bytes_left(InputStream& in) {
  int at = in.tell();
  in.seekEnd(0);
  int end = in.tell();
  in.seek(at);
  return end - at;
}

void move_into(Mesh& mesh, MeshData& d) {
  release_vb(mesh.vb);
  release_ib(mesh.ib);
  mesh.vb = d.vb;
  mesh.ib = d.ib;
  d.vb = nullptr;
  d.ib = nullptr;
  mesh.label0 = static_cast<String&&>(d.label0);
  mesh.label1 = static_cast<String&&>(d.label1);
  mesh.labels = static_cast<DynArray<String>&&>(d.labels);
  mesh.quads = static_cast<DynArray<MeshQuad>&&>(d.quads);
  memcpy(mesh.bounds, d.bounds, sizeof(mesh.bounds));
  mesh.triples = static_cast<DynArray<MeshTriple>&&>(d.triples);
  mesh.stride = d.stride;
  mesh.numVerts = d.numVerts;
  mesh.numTris = d.numTris;
}

void destroy_mesh(Mesh* mesh) {
  release_vb(mesh->vb);
  release_ib(mesh->ib);
  delete mesh;
}

Mesh* new_mesh() {
  Mesh* m = new Mesh();
  m->refCount = 1;
  m->fileTime = -1;
  return m;
}

void open_mesh_file(PhysFSFileInputStream& in, const char* name) {
  if (!in.open(name))
    throw Error("Can't open file", -1);
}

TempString<1024> read_error_text(const char* name, const Error& e) {
  TempString<1024> text;
  text.format("Error reading mesh file '%s':\n%s (offset %d)", name, e.message, e.position);
  return text;
}

}  // namespace

void read_mesh(InputStream& in, Mesh& mesh) {
  uint32_t header[2];
  in.read(&header[0], 4);
  if (header[0] != MESH_FILE_VERSION)
    throw Error("Invalid mesh file version", -1);
  in.read(&header[1], 4);
  if (header[1] > uint32_t(bytes_left(in)))
    throw Error("Mesh blob runs past the end of the file", -1);
  uint8_t* blob = (uint8_t*)dlmalloc(header[1] ? header[1] : 1);
  if (!blob)
    throw Error("Out of memory for the mesh blob", -1);
  try {
    in.read(blob, int(header[1]));
    BlobReader r{blob, blob + header[1]};
    MeshData d;
    parse_blob(r, d);
    move_into(mesh, d);
  } catch (...) {
    dlfree(blob);
    throw;
  }
  dlfree(blob);
}

Mesh* load_mesh(const char* name, bool mustLoad) {
  Mesh* mesh = new_mesh();
  try {
    PhysFSFileInputStream in;
    open_mesh_file(in, name);
    read_mesh(in, *mesh);
  } catch (const Error& e) {
    destroy_mesh(mesh);
    TempString<1024> text = read_error_text(name, e);
    if (mustLoad)
      fatal("%s", text.c_str());
    debug("%s", text.c_str());
    return nullptr;
  }
  mesh->name.assign(name);
  mesh->realPath.assign(get_real_path(name).c_str());
  mesh->fileTime = vfs_last_mod_time(name);
  return mesh;
}

Mesh* get_mesh(const char* name, bool mustLoad) {
  ASSERT(strlen(name)<260);
  for (Mesh* m : mesh_list) {
    if (strcmp(m->name.c_str(), name) == 0) {
      m->refCount++;
      return m;
    }
  }
  Mesh* m = load_mesh(name, mustLoad);
  if (m)
    mesh_list.push() = m;
  return m;
}

void free_mesh(Mesh* mesh) {
  if (!mesh || --mesh->refCount > 0)
    return;
  for (int i = 0; i < mesh_list.size(); i++) {
    if (mesh_list[i] == mesh) {
      mesh_list.removeUnordered(i, 1);
      break;
    }
  }
  destroy_mesh(mesh);
}

void free_all_meshes() {
  for (Mesh* m : mesh_list)
    destroy_mesh(m);
  mesh_list.clearAndFree();
}

void reload_meshes(bool force) {
  for (Mesh* m : mesh_list) {
    if (m->refCount < 1 || m->name.isEmpty())
      continue;
    if (!force) {
      if (!was_real_file_changed(m->realPath.c_str()))
        continue;
      int64_t time = vfs_last_mod_time(m->name.c_str());
      if (time == m->fileTime)
        continue;
      m->fileTime = time;
    }
    // Each mesh's error stands until that mesh reads cleanly.
    TempString<300> source;
    source.format("mesh %s", m->name.c_str());
    debug("reloading %s", m->name.c_str());
    try {
      PhysFSFileInputStream in;
      open_mesh_file(in, m->name.c_str());
      read_mesh(in, *m);
      set_source_error(source, nullptr);
    } catch (const Error& e) {
      TempString<1024> text = read_error_text(m->name.c_str(), e);
      debug("%s", text.c_str());
      set_source_error(source, text.c_str());
    }
  }
}
