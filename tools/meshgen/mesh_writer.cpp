// Writer of the mesh file format.
#include "tools/meshgen/mesh_writer.h"

#include <cstdio>
#include <cstring>

namespace {

constexpr uint32_t MESH_VERSION = 0x14030200;

void put_bytes(std::vector<uint8_t>& out, const void* p, size_t n) {
  const uint8_t* b = (const uint8_t*)p;
  out.insert(out.end(), b, b + n);
}

void put_u32(std::vector<uint8_t>& out, uint32_t v) {
  uint8_t b[4] = {uint8_t(v), uint8_t(v >> 8), uint8_t(v >> 16), uint8_t(v >> 24)};
  put_bytes(out, b, 4);
}

bool put_string(std::vector<uint8_t>& out, const std::string& s) {
  if (s.size() > 255)
    return false;
  out.push_back(uint8_t(s.size()));
  put_bytes(out, s.data(), s.size());
  out.push_back(0);
  return true;
}

}  // namespace

bool encode_mesh_file(const MeshFileData& m, std::vector<uint8_t>& out) {
  if (m.labels.size() > 255 || m.quads.size() > 255 || m.triples.size() > 255 || m.indices.size() % 3 ||
      (m.stride ? m.vertices.size() % m.stride : !m.vertices.empty()))
    return false;
  std::vector<uint8_t> blob;
  bool ok = put_string(blob, m.label0) && put_string(blob, m.label1);
  blob.push_back(uint8_t(m.labels.size()));
  for (const std::string& s : m.labels)
    ok = ok && put_string(blob, s);
  blob.push_back(uint8_t(m.quads.size()));
  for (const auto& q : m.quads)
    put_bytes(blob, q.data(), 16);
  put_bytes(blob, m.bounds.data(), 16);
  blob.push_back(uint8_t(m.triples.size()));
  for (const auto& t : m.triples)
    put_bytes(blob, t.data(), 6);
  put_u32(blob, m.stride);
  put_u32(blob, m.stride ? uint32_t(m.vertices.size() / m.stride) : 0);
  put_u32(blob, uint32_t(m.indices.size() / 3));
  put_bytes(blob, m.vertices.data(), m.vertices.size());
  put_bytes(blob, m.indices.data(), m.indices.size() * 2);
  if (!ok)
    return false;
  out.clear();
  put_u32(out, MESH_VERSION);
  put_u32(out, uint32_t(blob.size()));
  put_bytes(out, blob.data(), blob.size());
  return true;
}

bool write_mesh_file(const std::string& path, const MeshFileData& mesh) {
  std::vector<uint8_t> bytes;
  if (!encode_mesh_file(mesh, bytes))
    return false;
  FILE* f = fopen(path.c_str(), "wb");
  if (!f)
    return false;
  bool ok = fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
  return fclose(f) == 0 && ok;
}
