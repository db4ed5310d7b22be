#pragma once
// Text and interface drawing on a headless device: a fresh per-user folder mounted
// ahead of data/, the vertex ring, and helpers to write fixture files, read the back
// buffer and keep pictures for a person to look at.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "engine/core/geometry.h"

#include "engine/render/renderBatch.h"

class TextTest : public ::testing::Test {
protected:
  std::string home;  // the per-user folder: write directory, searched first

  void SetUp() override;
  void TearDown() override;
  // Starts the device and the vertex ring at w x h.
  void startDevice(int w, int h);
  void writeFile(const std::string& vfs_path, const std::string& bytes);
  // Pixels (0xAARRGGBB, top row first) of the back buffer.
  std::vector<uint32_t> readBackBuffer();
  // Keeps the back buffer as <name>.png when TORVANE_TEXT_PICTURES names a folder.
  void keepPicture(const std::string& name);
  // Clears the back buffer and draws the batch between begin and end of a scene.
  void beginFrame(D3dColor clear);
  void endFrame();
};

// An L8 DDS page of w x h texels (row 0 first).
std::string l8_dds(int w, int h, const std::vector<uint8_t>& texels);
// A 32-bit TGA of w x h pixels given top row first (stored bottom row first).
std::string tga32(int w, int h, const std::vector<uint32_t>& top_first);

// The vertices of every item of a batch, group by group, as structs of type V.
template <class V>
std::vector<V> batch_vertices(RenderBatch& batch) {
  std::vector<V> out;
  for (RenderBatchGroup& g : batch.groups)
    for (RenderBatchItem* it = g.first; it; it = it->next) {
      const V* v = (const V*)it->vertices();
      out.insert(out.end(), v, v + it->bytes / sizeof(V));
    }
  return out;
}
// The number of items of a batch.
int batch_items(RenderBatch& batch);

// Channel helpers of 0xAARRGGBB pixels.
inline int red(uint32_t p) { return (p >> 16) & 0xFF; }
inline int green(uint32_t p) { return (p >> 8) & 0xFF; }
inline int blue(uint32_t p) { return p & 0xFF; }
