#pragma once
// The mesh file format, written: a version word, the blob's size and the blob (two
// labels, a label list, 16-byte quads, 16 bytes of bounds, 6-byte triples, the vertex
// stride and counts, the vertices and the 16-bit indices). Little-endian; a blob string
// is a length byte, the characters and a 0 byte; lists are at most 255 long.
#include <array>
#include <cstdint>
#include <string>
#include <vector>

struct MeshFileData {
  std::string label0, label1;
  std::vector<std::string> labels;
  std::vector<std::array<float, 4>> quads;
  std::array<float, 4> bounds{};
  std::vector<std::array<uint16_t, 3>> triples;
  uint32_t stride = 0;
  std::vector<uint8_t> vertices;  // whole vertices of `stride` bytes
  std::vector<uint16_t> indices;  // three per triangle
};

// The file's bytes; false when a string or list is too long for the format or the
// vertices and indices are not whole.
bool encode_mesh_file(const MeshFileData& mesh, std::vector<uint8_t>& out);
bool write_mesh_file(const std::string& path, const MeshFileData& mesh);
