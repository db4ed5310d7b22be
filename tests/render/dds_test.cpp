// DDS files: the formats read, level counts, named textures and fatal errors.
#include "render_fixture.h"

#include "engine/render/d3d_textures.h"
#include "engine/render/d3d_vbuf.h"

#include "engine/core/watch.h"

#include <cstring>
#include <functional>
#include <unistd.h>
#include <fcntl.h>
#include <sys/stat.h>

namespace {

struct DdsHeader {
  uint32_t flags = 0x1 | 0x2 | 0x4 | 0x1000;
  uint32_t width = 4, height = 4, pitch = 0, mips = 0;
  uint32_t pf_flags = 0x40 | 0x1, fourcc = 0, bits = 32;
  uint32_t masks[4] = {0x00ff0000, 0x0000ff00, 0x000000ff, 0xff000000};
  uint32_t caps = 0x1000, caps2 = 0;
};

std::string dds_bytes(const DdsHeader& h, size_t data_size, uint8_t fill = 0) {
  uint32_t words[32] = {};
  words[0] = 0x20534444;
  words[1] = 124;
  words[2] = h.flags;
  words[3] = h.height;
  words[4] = h.width;
  words[5] = h.pitch;
  words[7] = h.mips;
  words[19] = 32;
  words[20] = h.pf_flags;
  words[21] = h.fourcc;
  words[22] = h.bits;
  memcpy(&words[23], h.masks, 16);
  words[27] = h.caps;
  words[28] = h.caps2;
  std::string out((const char*)words, 128);
  out.append(data_size, (char)fill);
  return out;
}

}  // namespace

class DdsTest : public RenderTest {
protected:
  void SetUp() override {
    RenderTest::SetUp();
    startDevice(16, 16);
  }
};

TEST_F(DdsTest, RgbTexelsReachTheTexture) {
  DdsHeader h;
  h.width = 3;
  h.height = 2;
  std::string bytes = dds_bytes(h, 0);
  for (uint32_t i = 0; i < 6; i++) {
    uint32_t texel = 0xFF000000u | i * 0x010203;
    bytes.append((const char*)&texel, 4);
  }
  writeFile("t/rgb.dds", bytes);
  Texture* t = load_dds_texture("t/rgb.dds");
  ASSERT_NE(t, nullptr);
  EXPECT_EQ(get_texture_format(t), 1);
  Texture* rt = create_render_target(3, 2, 1);
  copy_texture(t, rt);
  int pitch = 0;
  const uint8_t* px = (const uint8_t*)read_render_target(rt, &pitch);
  ASSERT_NE(px, nullptr);
  EXPECT_EQ(((const uint32_t*)(px + pitch))[2], 0xFF000000u | 5 * 0x010203);
  end_read_render_target(rt);
}

TEST_F(DdsTest, FormatsAndLevelCounts) {
  struct Case {
    const char* name;
    uint32_t pf_flags, fourcc, bits, w, h, mips, levels;
    D3DFORMAT format;
    size_t data;
  } cases[] = {
      {"dxt1 16x16 with 5 mips keeps 3", 0x4, D3DFMT_DXT1, 0, 16, 16, 5, 3, D3DFMT_DXT1, 128 + 32 + 8},
      {"dxt5 256x64 keeps 5", 0x4, D3DFMT_DXT5, 0, 256, 64, 9, 5, D3DFMT_DXT5, 16 * (1024 + 256 + 64 + 16 + 4)},
      {"x8r8g8b8", 0x40, 0, 32, 2, 2, 0, 1, D3DFMT_X8R8G8B8, 16},
      {"l8 with mips", 0x20000, 0, 8, 4, 2, 2, 2, D3DFMT_L8, 8 + 2},
  };
  for (Case& c : cases) {
    DdsHeader h;
    h.pf_flags = c.pf_flags;
    h.fourcc = c.fourcc;
    h.bits = c.bits;
    h.width = c.w;
    h.height = c.h;
    h.mips = c.mips;
    if (c.mips) h.caps |= 0x400000;
    writeFile("f.dds", dds_bytes(h, c.data));
    Texture* t = load_dds_texture("f.dds");
    ASSERT_NE(t, nullptr) << c.name;
    EXPECT_EQ(t->format, c.format) << c.name;
    EXPECT_EQ((int)t->tex->GetLevelCount(), (int)c.levels) << c.name;
    destroy_texture(t);
  }
}

TEST_F(DdsTest, BadFilesAreFatalAndNameTheFile) {
  struct Case {
    const char* name;
    std::function<void(DdsHeader&)> change;
    size_t data;
    const char* message;
  } cases[] = {
      {"pitch and linear size", [](DdsHeader& h) { h.flags |= 0x8 | 0x80000; }, 64, "Texture 'bad.dds' is not a DDS"},
      {"cube map", [](DdsHeader& h) { h.caps2 = 0x200; }, 64, "Texture 'bad.dds' is not a DDS"},
      {"24-bit rgb", [](DdsHeader& h) { h.bits = 24; }, 64, "Texture 'bad.dds' is not a DDS"},
      {"dxt2", [](DdsHeader& h) { h.pf_flags = 0x4; h.fourcc = D3DFMT_DXT2; }, 64, "Texture 'bad.dds' is not a DDS"},
      {"pitch that is not the row", [](DdsHeader& h) { h.flags |= 0x8; h.pitch = 8; }, 64,
       "Texture 'bad.dds' is not a DDS"},
      {"too short for its texels", [](DdsHeader&) {}, 63, "DDS texture 'bad.dds' is shorter than its header says"},
      {"too short for its mips",
       [](DdsHeader& h) { h.mips = 3; h.caps |= 0x400000; }, 64 + 16, "DDS texture 'bad.dds' is shorter than its header says"},
  };
  for (Case& c : cases) {
    DdsHeader h;
    c.change(h);
    writeFile("bad.dds", dds_bytes(h, c.data));
    EXPECT_EXIT(load_dds_texture("bad.dds"), ::testing::ExitedWithCode(100), c.message) << c.name;
  }
  writeFile("short.dds", "DDS ");
  EXPECT_EXIT(load_dds_texture("short.dds"), ::testing::ExitedWithCode(100), "Texture 'short.dds' is not a DDS");
  EXPECT_EXIT(load_dds_texture("missing.dds"), ::testing::ExitedWithCode(100), "Error loading file 'missing.dds'");
  EXPECT_EXIT(get_texture("missing.dds", true), ::testing::ExitedWithCode(100), "Error loading file 'missing.dds'");
  EXPECT_TRUE(is_dds_data("DDS x", 5));
  EXPECT_FALSE(is_dds_data("DDS", 3));
}

TEST_F(DdsTest, NamedTexturesAreSharedAndReloadedInPlace) {
  DdsHeader h;
  writeFile("tex/Name.dds", dds_bytes(h, 64, 0x11));
  Texture* a = get_texture("tex/Name.dds", true);
  Texture* b = get_texture("TEX/name.DDS", true);
  EXPECT_EQ(a, b);
  EXPECT_EQ(get_texture_refcount(a), 2);
  IDirect3DTexture9* before = a->tex;

  h.width = 8;
  writeFile("tex/Name.dds", dds_bytes(h, 128, 0x22));
  reload_textures(false);  // no change notification yet
  EXPECT_EQ(a->tex, before);
  changed_files.push() = String((home + "tex/Name.dds").c_str());
  struct timespec later[2] = {{time(nullptr) + 5, 0}, {time(nullptr) + 5, 0}};
  utimensat(AT_FDCWD, (home + "tex/Name.dds").c_str(), later, 0);
  reload_textures(false);
  EXPECT_EQ(get_texture_width(a), 8);  // same handle, new image
  free_texture(a);
  EXPECT_EQ(get_texture_refcount(a), 1);
  free_texture(b);
  EXPECT_EQ(get_texture_refcount(a), 0);
  EXPECT_TRUE(is_texture_slot_free(a));
}

// A texture whose file breaks while the game runs keeps its image; the reason is logged
// and shown, and the mended file is taken up when it changes again.
TEST_F(DdsTest, ReloadOfABrokenFileKeepsTheTextureAndShowsWhy) {
  const std::string path = home + "tex/page.dds";
  auto change = [&](long ahead) {
    changed_files.push() = String(path.c_str());
    struct timespec later[2] = {{time(nullptr) + ahead, 0}, {time(nullptr) + ahead, 0}};
    utimensat(AT_FDCWD, path.c_str(), later, AT_SYMLINK_NOFOLLOW);
  };
  auto reload_log = [] {
    testing::internal::CaptureStdout();
    reload_textures(false);
    return testing::internal::GetCapturedStdout();
  };
  auto remove_path = [&] {
    rmdir(path.c_str());
    unlink(path.c_str());
  };
  DdsHeader big;
  big.width = big.height = 16384;
  struct Case {
    const char* name;
    std::function<void()> write;
    const char* why;
  } cases[] = {
      {"random bytes", [&] {
         std::string junk;
         for (int i = 0; i < 4096; i++) junk += char(i * 7919 % 251);
         writeFile("tex/page.dds", junk);
       }, "Texture 'tex/page.dds' is not a DDS"},
      {"empty", [&] { writeFile("tex/page.dds", ""); }, "Texture 'tex/page.dds' is not a DDS"},
      {"a folder", [&] { remove_path(); ASSERT_EQ(mkdir(path.c_str(), 0755), 0); },
       "Error loading file 'tex/page.dds'"},
      // 100 MB (sparse: it takes no disk).
      {"100 MB of zeros", [&] {
         writeFile("tex/page.dds", "");
         ASSERT_EQ(truncate(path.c_str(), 100 << 20), 0);
       }, "Texture 'tex/page.dds' is not a DDS"},
      {"100 MB, a header asking for 1 GB", [&] {
         writeFile("tex/page.dds", dds_bytes(big, 0));
         ASSERT_EQ(truncate(path.c_str(), 100 << 20), 0);
       }, "DDS texture 'tex/page.dds' is shorter than its header says"},
  };
  DdsHeader h;
  writeFile("tex/page.dds", dds_bytes(h, 64, 0x11));
  Texture* t = get_texture("tex/page.dds", true);
  ASSERT_NE(t, nullptr);
  IDirect3DTexture9* image = t->tex;
  long ahead = 10;
  for (const Case& c : cases) {
    remove_path();
    c.write();
    change(ahead += 10);
    set_error_message("an older error");
    std::string log = reload_log();
    EXPECT_EQ(t->tex, image) << c.name << ": the texture keeps its image";
    EXPECT_EQ(get_texture_width(t), 4) << c.name;
    EXPECT_NE(log.find(c.why), std::string::npos) << c.name << ": " << log;
    EXPECT_EQ(error_shown(), "an older error\n" + std::string(c.why))
        << c.name << ": the reload's error stands beside another's";
    EXPECT_EQ(reload_log(), "") << c.name << ": not tried again before the file changes";
  }
  remove_path();
  h.width = 8;
  writeFile("tex/page.dds", dds_bytes(h, 128, 0x22));
  change(ahead += 10);
  std::string log = reload_log();
  EXPECT_NE(log.find("loaded DDS texture 'tex/page.dds'"), std::string::npos) << log;
  EXPECT_EQ(get_texture_width(t), 8) << "the mended file is loaded into the same handle";
  EXPECT_EQ(error_shown(), "an older error") << "the texture's error goes, another's stands";
  free_texture(t);
}

// A name longer than a path buffer is a failed consistency check, not a cut name.
TEST_F(DdsTest, NameLongerThanAPathIsFatal) {
  std::string name(300, 'a');
  EXPECT_EXIT(load_dds_texture(name.c_str()), ::testing::ExitedWithCode(100), "failed ASSERT\\(l<BS\\)");
}
