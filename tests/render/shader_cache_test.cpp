// Shaders: sharing, the cache file's layout, suffixes, staleness and hot reload.
#include "render_fixture.h"

#include "engine/core/watch.h"
#include "engine/render/d3d_shaders.h"
#include "engine/render/d3d_states.h"
#include "engine/render/d3d_vbuf.h"

#include <physfs.h>
#include <cstring>
#include <fstream>
#include <sstream>
#include <sys/stat.h>
#include <unistd.h>
#include <utime.h>

namespace {

std::string read_file(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

uint32_t u32_at(const std::string& s, size_t at) {
  uint32_t v;
  memcpy(&v, s.data() + at, 4);
  return v;
}

void set_mtime(const std::string& path, time_t t) {
  struct utimbuf times = {t, t};
  ASSERT_EQ(utime(path.c_str(), &times), 0) << path;
}

bool contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

// A definition list from its strings.
std::string defs(std::initializer_list<const char*> strings) {
  std::string out;
  for (const char* s : strings) out.append(s, strlen(s) + 1);
  out.push_back(0);
  return out;
}

}  // namespace

TEST(ShaderSuffix, NamesFollowTheDefinitionList) {
  EXPECT_STREQ(shader_define_suffix(nullptr), "");
  EXPECT_STREQ(shader_define_suffix(defs({}).c_str()), "");
  // Letters, digits and '_' alone: the plain name.
  EXPECT_STREQ(shader_define_suffix(defs({"VOXEL", "1"}).c_str()), "@VOXEL@1");
  EXPECT_STREQ(shader_define_suffix(defs({"MY_DEF", "1"}).c_str()), "@MY_DEF@1");
  EXPECT_STREQ(shader_define_suffix(defs({"A", "1_5"}).c_str()), "@A@1_5");
  EXPECT_STREQ(shader_define_suffix(defs({"A_1", "5"}).c_str()), "@A_1@5");
  // Another character replaced: lists that would share a name are told apart by a
  // hash of the exact list.
  std::vector<std::string> hashed;
  for (const char* value : {"1.5", "1 5", "1-5", "1@5"}) {
    std::string suffix = shader_define_suffix(defs({"A", value}).c_str()).c_str();
    EXPECT_EQ(suffix.rfind("@A@1_5-", 0), 0u) << value << ": " << suffix;
    EXPECT_EQ(suffix.size(), strlen("@A@1_5-") + 16) << suffix;
    for (const std::string& other : hashed) EXPECT_NE(suffix, other) << value;
    hashed.push_back(suffix);
  }
}

class ShaderTest : public RenderTest {
protected:
  void SetUp() override {
    RenderTest::SetUp();
    // The shader and its include are edited during the tests: work on copies.
    writeFile("edit.sh", read_file(source_dir() + "/tests/render/fixtures/quad.sh"));
    startDevice(16, 16);
  }
  std::string cachePath(const char* file, const std::string& suffix) { return home + "cache/" + file + suffix + ".cache"; }
  // Gives edit.sh an include, tint.inc, in both stages, with the given text.
  void includeTint(const std::string& text) {
    writeFile("tint.inc", text);
    std::string src = read_file(home + "edit.sh");
    src.insert(src.find("#ifdef PSH"), "#include \"tint.inc\"\n");
    writeFile("edit.sh", src);
  }
};

TEST_F(ShaderTest, CreateSharesByFileAndDefinitions) {
  std::string d1 = defs({"UNTEXTURED", "1"}), d2 = defs({"UNTEXTURED", "0"});
  Shader* a = create_shader("edit.sh", d1.c_str());
  Shader* b = create_shader("edit.sh", d1.c_str());
  Shader* c = create_shader("edit.sh", d2.c_str());
  Shader* n = create_shader("edit.sh", nullptr);
  EXPECT_EQ(a, b);
  EXPECT_EQ(a->refcount, 2);
  EXPECT_NE(a, c);
  EXPECT_NE(n, a);
  EXPECT_EQ(create_shader("edit.sh", defs({}).c_str()), n);  // null equals an empty list
  struct stat st;
  EXPECT_EQ(stat(cachePath("edit.sh", "@UNTEXTURED@1").c_str(), &st), 0);
  EXPECT_EQ(stat(cachePath("edit.sh", "@UNTEXTURED@0").c_str(), &st), 0);
  EXPECT_EQ(stat(cachePath("edit.sh", "").c_str(), &st), 0);
  destroy_shader(a);
  EXPECT_NE(a->vs, nullptr);
  destroy_shader(b);
  EXPECT_EQ(a->vs, nullptr);  // the slot is free again
}

TEST_F(ShaderTest, CacheFileLayout) {
  Shader* s = create_shader("edit.sh", defs({"A", "1.5"}).c_str());
  std::string cache = read_file(cachePath("edit.sh", shader_define_suffix(defs({"A", "1.5"}).c_str()).c_str()));
  ASSERT_GE(cache.size(), 16u);
  EXPECT_EQ(u32_at(cache, 0), 0x20100715u);
  uint32_t d = u32_at(cache, 4), v = u32_at(cache, 8), p = u32_at(cache, 12);
  ASSERT_EQ(cache.size(), 16u + d + v + p);
  // Both compiles record the file and its include, so names repeat.
  EXPECT_EQ(cache.substr(16, d), std::string("edit.sh\0d3d9.inc\0edit.sh\0d3d9.inc\0\0", 35));
  std::string vs = cache.substr(16 + d, v), ps = cache.substr(16 + d + v, p);
  EXPECT_EQ(vs.rfind("#version 450 core\n#define A 1.5\n#define VSH 1\n", 0), 0u) << vs;
  EXPECT_TRUE(contains(ps, "#define PSH 1"));
  EXPECT_EQ(vs.back(), '\0');
  EXPECT_EQ(s->deps.size(), 4);
  destroy_shader(s);
}

TEST_F(ShaderTest, CacheIsReadFirstAndRejectedWhenStaleOrForeign) {
  Shader* s = create_shader("edit.sh", nullptr);
  destroy_shader(s);
  std::string cache = cachePath("edit.sh", "");
  // The cache is dated ahead of every source: the shared include comes from data/,
  // whose time is whenever it was last checked out, possibly seconds ago.
  set_mtime(home + "edit.sh", time(nullptr) - 100);
  set_mtime(cache, time(nullptr) + 1000);
  testing::internal::CaptureStdout();
  s = create_shader("edit.sh", nullptr);
  EXPECT_TRUE(contains(testing::internal::GetCapturedStdout(), "loaded shader 'edit.sh' from cache"));
  destroy_shader(s);

  // A source newer than the cache: compiled again.
  set_mtime(home + "edit.sh", time(nullptr) + 2000);
  testing::internal::CaptureStdout();
  s = create_shader("edit.sh", nullptr);
  EXPECT_FALSE(contains(testing::internal::GetCapturedStdout(), "from cache"));
  destroy_shader(s);

  // Another magic: ignored and written anew.
  std::string bytes = read_file(cache);
  bytes[0] ^= 0xFF;
  writeFile("cache/edit.sh.cache", bytes);
  testing::internal::CaptureStdout();
  s = create_shader("edit.sh", nullptr);
  EXPECT_FALSE(contains(testing::internal::GetCapturedStdout(), "from cache"));
  EXPECT_EQ(u32_at(read_file(cache), 0), 0x20100715u);
  destroy_shader(s);

  // Cut short: ignored.
  writeFile("cache/edit.sh.cache", read_file(cache).substr(0, 40));
  s = create_shader("edit.sh", nullptr);
  EXPECT_NE(s->vs, nullptr);
  destroy_shader(s);
}

// The cache holds each stage once; the layer builds a pixel stage read from it with and
// without the alpha test, and draws with the one the states ask for.
TEST_F(ShaderTest, ShaderFromTheCacheAppliesTheAlphaTestOnlyWhileItIsOn) {
  std::string untextured = defs({"UNTEXTURED", "1"});
  destroy_shader(create_shader("edit.sh", untextured.c_str()));
  close_d3d();
  d3d9_compiler_disabled = true;  // nothing but the cache can make it
  startDevice(16, 16);
  testing::internal::CaptureStdout();
  Shader* s = create_shader("edit.sh", untextured.c_str());
  EXPECT_TRUE(contains(testing::internal::GetCapturedStdout(), "loaded shader 'edit.sh' from cache"));
  d3d9_compiler_disabled = false;

  const D3DVERTEXELEMENT9 elements[] = {{0, 0, D3DDECLTYPE_FLOAT2, 0, D3DDECLUSAGE_POSITION, 0},
                                        {0, 8, D3DDECLTYPE_D3DCOLOR, 0, D3DDECLUSAGE_COLOR, 0},
                                        {0, 12, D3DDECLTYPE_FLOAT2, 0, D3DDECLUSAGE_TEXCOORD, 0},
                                        D3DDECL_END()};
  IDirect3DVertexDeclaration9* decl = nullptr;
  ASSERT_EQ(d3d->CreateVertexDeclaration(elements, &decl), D3D_OK);
  struct Vertex {
    float x, y;
    uint32_t color;
    float u, v;
  };
  const uint32_t color = 0x7F336699;  // alpha 127
  const Vertex quad[4] = {{-0.5f, -0.5f, color, 0, 0}, {15.5f, -0.5f, color, 0, 0}, {-0.5f, 15.5f, color, 0, 0},
                          {15.5f, 15.5f, color, 0, 0}};
  const float pixels_to_clip[4] = {2.0f / 16, -2.0f / 16, -1.0f, 1.0f};
  set_vs_consts(0, pixels_to_clip, 1);
  d3d->SetVertexDeclaration(decl);
  set_shader(s);
  set_zenable(false);
  set_cull_mode(0);
  for (int ref : {128, 0, 127, 128}) {
    set_atest(ref);
    clear_view_color(0xFF000000);
    ASSERT_EQ(d3d->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, quad, sizeof(Vertex)), D3D_OK);
    EXPECT_EQ(readBackBuffer()[8 * 16 + 8], ref > 127 ? 0xFF000000u : color) << "reference " << ref;
  }
  set_atest(0);
  decl->Release();
  destroy_shader(s);
}

TEST_F(ShaderTest, WithoutCompilerTheCacheIsAllThereIs) {
  Shader* s = create_shader("edit.sh", nullptr);
  destroy_shader(s);
  close_d3d();
  d3d9_compiler_disabled = true;
  startDevice(16, 16);
  EXPECT_FALSE(has_shader_compiler());
  testing::internal::CaptureStdout();
  s = create_shader("edit.sh", nullptr);
  EXPECT_TRUE(contains(testing::internal::GetCapturedStdout(), "loaded shader 'edit.sh' from cache"));
  EXPECT_EQ(s->deps[0].modTime, 0);
  destroy_shader(s);
  EXPECT_EXIT(
      ([&] {
        d3d9_compiler_disabled = true;
        close_d3d();
        startDevice(16, 16);
        create_shader("nothing.sh", nullptr);
      })(),
      ::testing::ExitedWithCode(100), "can't create shader from cache for 'nothing.sh'");
  d3d9_compiler_disabled = false;
}

TEST_F(ShaderTest, BrokenSourceIsFatalAtCreation) {
  writeFile("broken.sh", "#include \"d3d9.inc\"\n#ifdef VSH\nvoid main() { this is not glsl }\n#endif\n");
  EXPECT_EXIT(create_shader("broken.sh", nullptr), ::testing::ExitedWithCode(100),
              "can't create shader from 'broken.sh'");
}

TEST_F(ShaderTest, ChangedIncludeRecompilesAtTheNextCheck) {
  includeTint("const vec4 tint = vec4(1.0);\n");
  Shader* s = create_shader("edit.sh", nullptr);
  IDirect3DVertexShader9* old_vs = s->vs;

  // Nothing changed: nothing reloads.
  reload_shaders(false);
  EXPECT_EQ(s->vs, old_vs);

  writeFile("tint.inc", "const vec4 tint = vec4(0.5);\n");
  set_mtime(home + "tint.inc", time(nullptr) + 5);
  changed_files.push() = String((home + "tint.inc").c_str());
  testing::internal::CaptureStdout();
  reload_shaders(false);
  EXPECT_TRUE(contains(testing::internal::GetCapturedStdout(), "reloaded shader 'edit.sh'"));
  EXPECT_NE(s->vs, nullptr);
  EXPECT_EQ(error_shown(), "");
  std::string cache = read_file(cachePath("edit.sh", ""));
  EXPECT_TRUE(contains(cache, "vec4(0.5)"));

  // A broken change keeps the old shader and shows the error on screen.
  IDirect3DPixelShader9* kept = s->ps;
  writeFile("tint.inc", "#error tint is broken\n");
  set_mtime(home + "tint.inc", time(nullptr) + 10);
  reload_shaders(false);
  EXPECT_EQ(s->ps, kept);
  EXPECT_TRUE(contains(error_shown(), "HLSL 'edit.sh', func 'vsh':")) << error_shown();
  EXPECT_TRUE(contains(error_shown(), "#error tint is broken"));
  EXPECT_TRUE(contains(error_shown(), "FAILED to reload shader 'edit.sh'"));
  destroy_shader(s);
}

// The driver's errors reach the log, and during a reload the screen, in the file and
// line that hold them, not in the expanded text.
TEST_F(ShaderTest, DriverErrorsNameTheirFileAndLine) {
  writeFile("broken.sh", "#include \"d3d9.inc\"\n#ifdef VSH\nvoid main() { d3d9_set_position(no_such_vertex); }\n#endif\n");
  testing::internal::CaptureStdout();
  EXPECT_EQ(compile_hlsl_shader("broken.sh", "vsh", vs_profile, nullptr), nullptr);
  std::string log = testing::internal::GetCapturedStdout();
  EXPECT_TRUE(contains(log, "HLSL 'broken.sh', func 'vsh':")) << log;
  EXPECT_TRUE(contains(log, "broken.sh(3): error: `no_such_vertex' undeclared")) << log;
  EXPECT_TRUE(contains(log, "FAILED to compile HLSL shader 'broken.sh', func 'vsh'")) << log;
  EXPECT_EQ(error_shown(), "");  // not reloading: the log only

  includeTint("// the tint of the quad\nconst vec4 tint = vec4(1.0);\n");
  Shader* s = create_shader("edit.sh", nullptr);
  IDirect3DVertexShader9* kept_vs = s->vs;
  IDirect3DPixelShader9* kept_ps = s->ps;
  writeFile("tint.inc", "// the tint of the quad\nconst vec4 tint = vec4(1.0);\nconst float level = no_such_level;\n");
  testing::internal::CaptureStdout();
  reload_shaders(true);
  log = testing::internal::GetCapturedStdout();
  EXPECT_EQ(s->vs, kept_vs);
  EXPECT_EQ(s->ps, kept_ps);
  for (const std::string& text : {log, error_shown()}) {
    EXPECT_TRUE(contains(text, "HLSL 'edit.sh', func 'vsh':")) << text;
    EXPECT_TRUE(contains(text, "tint.inc(3): error: `no_such_level' undeclared")) << text;
  }
  EXPECT_TRUE(contains(error_shown(), "FAILED to reload shader 'edit.sh'"));
  destroy_shader(s);
}

// 256 shaders fit; the 257th distinct one is fatal.
TEST_F(ShaderTest, The257thShaderIsFatal) {
  EXPECT_EXIT(
      ([&] {
        for (int i = 0; i < MAX_SHADERS; i++) {
          std::string value = std::to_string(i);
          if (!create_shader("edit.sh", defs({"N", value.c_str()}).c_str())) exit(1);
        }
        fprintf(stderr, "all %d made\n", MAX_SHADERS);
        create_shader("edit.sh", defs({"N", "last"}).c_str());
      })(),
      ::testing::ExitedWithCode(100), "all 256 made\n(.*\n)*.*reached maximum shader count!");
}

// A definition list must fit the slot's 512 bytes; a longer one is a failed check.
TEST_F(ShaderTest, DefinitionListLongerThanTheSlotIsFatal) {
  std::string big(300, 'X');
  std::string list = defs({big.c_str(), big.c_str()});
  EXPECT_EXIT(create_shader("edit.sh", list.c_str()), ::testing::ExitedWithCode(100), "failed ASSERT\\(l<BS\\)");
}

// The include handler: a file read whole is handed over and recorded; a missing one is
// an invalid call; one whose bytes cannot be held is out of memory.
TEST_F(ShaderTest, IncludeHandlerResults) {
  Shader owner = {};
  MyShaderInclude include(&owner);
  LPCVOID data = nullptr;
  UINT bytes = 0;
  ASSERT_EQ(include.Open(D3D_INCLUDE_LOCAL, "d3d9.inc", nullptr, &data, &bytes), S_OK);
  EXPECT_NE(data, nullptr);
  EXPECT_GT(bytes, 0u);
  EXPECT_EQ(include.Close(data), S_OK);
  ASSERT_EQ(owner.deps.size(), 1);
  EXPECT_STREQ(owner.deps[0].name.c_str(), "d3d9.inc");

  EXPECT_EQ(include.Open(D3D_INCLUDE_LOCAL, "missing.inc", nullptr, &data, &bytes), D3DERR_INVALIDCALL);
  EXPECT_EQ(data, nullptr);
  EXPECT_EQ(bytes, 0u);

  // A sparse file far larger than any heap.
  std::string huge = home + "huge.inc";
  FILE* f = fopen(huge.c_str(), "wb");
  ASSERT_NE(f, nullptr);
  fclose(f);
  if (truncate(huge.c_str(), (off_t)1 << 43) != 0) GTEST_SKIP() << "no sparse files here";
  EXPECT_EQ(include.Open(D3D_INCLUDE_LOCAL, "huge.inc", nullptr, &data, &bytes), E_OUTOFMEMORY);
  EXPECT_EQ(data, nullptr);
  EXPECT_EQ(owner.deps.size(), 1);
  unlink(huge.c_str());
  owner.deps.clearAndFree();
}
