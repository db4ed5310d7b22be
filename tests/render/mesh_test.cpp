// Meshes: files written by the mesh tool read back, sharing and reference counts,
// reloads in place, and files that are broken, short or lying about their sizes.
#include "world_fixture.h"

#include <cstring>

#include "engine/core/watch.h"
#include "engine/render/d3d_vbuf.h"
#include "engine/render/mesh.h"
#include "tools/meshgen/mesh_writer.h"

namespace {

bool contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

// A small mesh: n vertices of 12 bytes (their index in every byte), n - 2 triangles.
MeshFileData sample_mesh(int n, const char* label) {
  MeshFileData m;
  m.label0 = label;
  m.label1 = "second";
  m.labels = {"a", "", "third label"};
  m.quads = {{1, 2, 3, 4}, {-1, 0.5f, 0, 9}};
  m.bounds = {0.25f, -8, 3, 16};
  m.triples = {{0, 1, 2}, {7, 8, 9}};
  m.stride = 12;
  for (int i = 0; i < n; i++)
    m.vertices.insert(m.vertices.end(), 12, uint8_t(i));
  for (int i = 0; i + 2 < n; i++)
    m.indices.insert(m.indices.end(), {uint16_t(0), uint16_t(i + 1), uint16_t(i + 2)});
  return m;
}

std::string bytes_of(const MeshFileData& m) {
  std::vector<uint8_t> out;
  EXPECT_TRUE(encode_mesh_file(m, out));
  return std::string(out.begin(), out.end());
}

class MeshTest : public WorldTest {
 protected:
  void SetUp() override {
    WorldTest::SetUp();
    startWorld(16, 16);
  }
  void TearDown() override {
    free_all_meshes();
    WorldTest::TearDown();
  }
  template <class F>
  std::string logOf(F&& f) {
    testing::internal::CaptureStdout();
    f();
    return testing::internal::GetCapturedStdout();
  }
  std::vector<uint8_t> vertexBytes(Mesh* m) {
    uint8_t* p = (uint8_t*)lock_vb(m->vb, 0, 0);
    std::vector<uint8_t> out(p, p + size_t(m->stride) * m->numVerts);
    unlock_vb(m->vb);
    return out;
  }
  std::vector<uint16_t> indices(Mesh* m) {
    uint16_t* p = (uint16_t*)lock_ib(m->ib, 0, 0);
    std::vector<uint16_t> out(p, p + size_t(m->numTris) * 3);
    unlock_ib(m->ib);
    return out;
  }
  void expectMesh(Mesh* got, const MeshFileData& want) {
    ASSERT_NE(got, nullptr);
    EXPECT_STREQ(got->label0.c_str(), want.label0.c_str());
    EXPECT_STREQ(got->label1.c_str(), want.label1.c_str());
    ASSERT_EQ(got->labels.size(), int(want.labels.size()));
    for (size_t i = 0; i < want.labels.size(); i++)
      EXPECT_STREQ(got->labels[int(i)].c_str(), want.labels[i].c_str());
    ASSERT_EQ(got->quads.size(), int(want.quads.size()));
    for (size_t i = 0; i < want.quads.size(); i++)
      EXPECT_EQ(memcmp(got->quads[int(i)].v, want.quads[i].data(), 16), 0);
    EXPECT_EQ(memcmp(got->bounds, want.bounds.data(), 16), 0);
    ASSERT_EQ(got->triples.size(), int(want.triples.size()));
    for (size_t i = 0; i < want.triples.size(); i++)
      EXPECT_EQ(memcmp(got->triples[int(i)].v, want.triples[i].data(), 6), 0);
    EXPECT_EQ(got->stride, int(want.stride));
    EXPECT_EQ(got->numVerts, int(want.vertices.size() / want.stride));
    EXPECT_EQ(got->numTris, int(want.indices.size() / 3));
    if (got->numVerts) {
      EXPECT_EQ(vertexBytes(got), want.vertices);
      EXPECT_EQ(indices(got), want.indices);
    }
  }
  void changeFile(const std::string& name, const std::string& bytes, long later) {
    writeFile(name, bytes);
    setMtime(name, later);
    changed_files.push() = String((home + name).c_str());
  }
};

TEST_F(MeshTest, WrittenByTheToolAndReadBack) {
  MeshFileData want = sample_mesh(5, "first");
  writeFile("meshes/a.mesh", bytes_of(want));
  Mesh* m = get_mesh("meshes/a.mesh", true);
  expectMesh(m, want);
  EXPECT_EQ(m->refCount, 1);
  EXPECT_STREQ(m->name.c_str(), "meshes/a.mesh");
  EXPECT_STREQ(m->realPath.c_str(), (home + "meshes/a.mesh").c_str());
  EXPECT_GT(m->fileTime, 0);

  // Empty lists, empty strings, no vertices: nothing to hold, no buffers.
  MeshFileData empty;
  empty.stride = 16;
  writeFile("meshes/empty.mesh", bytes_of(empty));
  Mesh* e = get_mesh("meshes/empty.mesh", true);
  expectMesh(e, empty);
  EXPECT_EQ(e->vb, nullptr);
  EXPECT_EQ(e->ib, nullptr);
}

TEST_F(MeshTest, TheGameMeshLoads) {
  Mesh* m = get_mesh("meshes/boss_core.mesh", true);
  ASSERT_NE(m, nullptr);
  EXPECT_STREQ(m->label0.c_str(), "boss_core");
  EXPECT_EQ(m->stride, 16);
  EXPECT_GT(m->numTris, 50);
  ASSERT_EQ(m->labels.size(), 5);
  // Every part's triangle range lies inside the mesh and names a label.
  int covered = 0;
  for (const MeshTriple& t : m->triples) {
    EXPECT_LE(t.v[0] + t.v[1], m->numTris);
    EXPECT_LT(t.v[2], m->labels.size());
    covered += t.v[1];
  }
  EXPECT_EQ(covered, m->numTris);
}

TEST_F(MeshTest, SharedByNameAndCountedUntilTheLastFree) {
  for (const char* name : {"meshes/1.mesh", "meshes/2.mesh", "meshes/3.mesh"})
    writeFile(name, bytes_of(sample_mesh(3, name)));
  Mesh* one = get_mesh("meshes/1.mesh", true);
  Mesh* two = get_mesh("meshes/2.mesh", true);
  Mesh* three = get_mesh("meshes/3.mesh", true);
  record();
  Mesh* again = get_mesh("meshes/2.mesh", true);
  EXPECT_TRUE(stopRecording().empty()) << "nothing is read for a shared mesh";
  EXPECT_EQ(again, two);
  EXPECT_EQ(two->refCount, 2);
  free_mesh(two);
  ASSERT_EQ(mesh_list.size(), 3);
  free_mesh(two);
  ASSERT_EQ(mesh_list.size(), 2);
  EXPECT_EQ(mesh_list[0], one);
  EXPECT_EQ(mesh_list[1], three);
  free_mesh(nullptr);
  free_all_meshes();
  EXPECT_EQ(mesh_list.size(), 0);
}

TEST_F(MeshTest, ReloadsChangedFilesInPlace) {
  writeFile("meshes/a.mesh", bytes_of(sample_mesh(4, "old")));
  writeFile("meshes/b.mesh", bytes_of(sample_mesh(3, "b")));
  Mesh* a = get_mesh("meshes/a.mesh", true);
  Mesh* b = get_mesh("meshes/b.mesh", true);
  VertexBuffer* b_vb = b->vb;
  MeshFileData fresh = sample_mesh(7, "new");
  changeFile("meshes/a.mesh", bytes_of(fresh), 50);
  std::string log = logOf([] { reload_meshes(false); });
  EXPECT_TRUE(contains(log, "reloading meshes/a.mesh")) << log;
  EXPECT_FALSE(contains(log, "reloading meshes/b.mesh")) << log;
  expectMesh(a, fresh);
  EXPECT_EQ(b->vb, b_vb);
  EXPECT_EQ(get_mesh("meshes/a.mesh", true), a);

  // A notification with the same time reads nothing; forced, every mesh is read.
  changed_files.push() = String((home + "meshes/a.mesh").c_str());
  EXPECT_EQ(logOf([] { reload_meshes(false); }), "");
  log = logOf([] { reload_meshes(true); });
  EXPECT_TRUE(contains(log, "reloading meshes/a.mesh") && contains(log, "reloading meshes/b.mesh")) << log;
  EXPECT_NE(b->vb, nullptr);
  expectMesh(a, fresh);
}

TEST_F(MeshTest, AFailedReloadKeepsTheLiveMeshAndShowsTheError) {
  MeshFileData good = sample_mesh(4, "good");
  writeFile("meshes/a.mesh", bytes_of(good));
  writeFile("meshes/b.mesh", bytes_of(sample_mesh(3, "b")));
  Mesh* a = get_mesh("meshes/a.mesh", true);
  Mesh* b = get_mesh("meshes/b.mesh", true);
  VertexBuffer* vb = a->vb;
  std::string broken = bytes_of(sample_mesh(6, "broken"));
  broken.resize(broken.size() - 5);
  changeFile("meshes/a.mesh", broken, 60);
  MeshFileData next_b = sample_mesh(5, "b2");
  changeFile("meshes/b.mesh", bytes_of(next_b), 60);
  std::string log = logOf([] { reload_meshes(false); });
  EXPECT_TRUE(contains(log, "Error reading mesh file 'meshes/a.mesh':\n")) << log;
  EXPECT_TRUE(contains(error_shown(), "Error reading mesh file 'meshes/a.mesh':\n")) << error_shown();
  EXPECT_EQ(a->vb, vb);
  expectMesh(a, good);
  expectMesh(b, next_b);  // the meshes after the broken one still reload

  // A file that went away is reported the same way.
  std::remove((home + "meshes/a.mesh").c_str());
  set_error_message(nullptr);
  reload_meshes(true);
  EXPECT_TRUE(contains(error_shown(), "Error reading mesh file 'meshes/a.mesh':\nCan't open file (offset -1)"))
      << error_shown();
  expectMesh(a, good);
}

// Blob bytes after the fixed header, patched to lie.
std::string patched(const MeshFileData& m, size_t at, const std::string& bytes) {
  std::string s = bytes_of(m);
  s.replace(8 + at, bytes.size(), bytes);
  return s;
}

std::string u32(uint32_t v) { return std::string((const char*)&v, 4); }

TEST_F(MeshTest, BrokenShortAndLyingFilesAreErrorsNotReads) {
  MeshFileData m = sample_mesh(4, "abc");
  // Offsets in the blob: label0 "abc" (5 bytes), label1 "second" (8), the labels count
  // at 13 and three labels (19 with it), two quads (33), the bounds (16), two triples
  // (13), then the stride and the counts.
  size_t counts = 5 + 8 + 19 + 33 + 16 + 13;
  std::string whole = bytes_of(m);
  struct Case {
    const char* name;
    std::string bytes;
    const char* message;
  } cases[] = {
      {"wrong version", u32(0x14030201) + whole.substr(4), "Invalid mesh file version (offset -1)"},
      {"blob longer than the file", whole.substr(0, 4) + u32(uint32_t(whole.size())) + whole.substr(8),
       "Mesh blob runs past the end of the file (offset -1)"},
      {"huge blob size", whole.substr(0, 4) + u32(0xFFFFFFF0u) + whole.substr(8),
       "Mesh blob runs past the end of the file (offset -1)"},
      {"label past the blob", patched(m, 0, "\xF0"), "Mesh data runs past the end of its blob (offset -1)"},
      {"label count past the blob", patched(m, 13, "\xFF"), "Mesh data runs past the end of its blob (offset -1)"},
      {"vertex bytes beyond 4 GB", patched(m, counts, u32(0x10000) + u32(0x10001)),
       "Mesh data runs past the end of its blob (offset -1)"},
      {"more triangles than bytes", patched(m, counts + 8, u32(0x55555556)),
       "Mesh data runs past the end of its blob (offset -1)"},
      {"index past the vertices", patched(m, counts + 12 + 48 + 2, std::string("\x04\x00", 2)),
       "Mesh index out of range (offset -1)"},
      {"cut in the header", whole.substr(0, 6), ""},
  };
  for (const Case& c : cases) {
    writeFile("meshes/bad.mesh", c.bytes);
    std::string log = logOf([] { EXPECT_EQ(get_mesh("meshes/bad.mesh", false), nullptr); });
    EXPECT_TRUE(contains(log, std::string("Error reading mesh file 'meshes/bad.mesh':\n") + c.message))
        << c.name << ": " << log;
    EXPECT_EQ(mesh_list.size(), 0) << c.name;
  }
  // The offsets above must point where they say: the unpatched file reads.
  writeFile("meshes/good.mesh", whole);
  expectMesh(get_mesh("meshes/good.mesh", true), m);
  EXPECT_EQ(whole.substr(8 + counts, 4), u32(12)) << "the stride sits at the offset the cases patch";
}

TEST_F(MeshTest, RequiredMeshesAndOverlongNamesAreFatal) {
  writeFile("meshes/bad.mesh", u32(7) + u32(0));
  EXPECT_EXIT(get_mesh("meshes/bad.mesh", true), ::testing::ExitedWithCode(100),
              "Error reading mesh file 'meshes/bad.mesh':\nInvalid mesh file version \\(offset -1\\)");
  EXPECT_EXIT(get_mesh("meshes/none.mesh", true), ::testing::ExitedWithCode(100),
              "Error reading mesh file 'meshes/none.mesh':\nCan't open file \\(offset -1\\)");
  std::string long_name(260, 'm');
  EXPECT_EXIT(get_mesh(long_name.c_str(), false), ::testing::ExitedWithCode(100),
              "failed ASSERT\\(strlen\\(name\\)<260\\)");
  EXPECT_EQ(load_mesh("meshes/none.mesh", false), nullptr);
}

}  // namespace
