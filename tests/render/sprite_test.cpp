// Sprites: the atlas packer against a plain reference, the registry built from files
// (names, configurations, frames, the atlas's pixels), reloads, fatal errors, and the
// quads sprites add to the batch.
#include <dirent.h>
#include <physfs.h>
#include <unistd.h>

#include "world_fixture.h"

#include <random>

#include "engine/core/watch.h"
#include "engine/render/background.h"
#include "engine/render/d3d_textures.h"
#include "engine/render/scene_view.h"
#include "engine/render/sprite.h"
#include "engine/render/sprite_atlas.h"
#include "engine/render/sprite_pass.h"
#include "engine/render/d3d_shaders.h"
#include "engine/render/d3d_states.h"
#include "engine/render/d3d_vbuf.h"
#include "platform/d3d9/d3d9_impl.h"
#include <cmath>
#include <cstring>
#include "engine/core/utils.h"

namespace {

// ---- the packer --------------------------------------------------------------------

struct TestSprites {
  std::vector<Sprite*> owned;
  DynArray<Sprite*> list;
  Sprite* add(int wd, int ht) {
    Sprite* s = new Sprite();
    s->wd = wd;
    s->ht = ht;
    owned.push_back(s);
    list.push() = s;
    return s;
  }
  ~TestSprites() {
    for (Sprite* s : owned) {
      s->frames.clear();
      delete s;
    }
  }
};

// The packing rule tried candidate by candidate, as plainly as it can be written.
int reference_pack(const DynArray<Sprite*>& list, std::vector<std::pair<int, int>>& spots) {
  for (int side = 16; side <= 2048; side *= 2) {
    struct P {
      int x, y, wd, ht;
    };
    std::vector<P> placed;
    spots.clear();
    bool all = true;
    for (Sprite* s : list) {
      if (!s->frames.isEmpty()) {
        spots.push_back({-1, -1});
        continue;
      }
      bool found = false;
      for (int y = 0; y + s->ht < side && !found; y++) {
        int x = 0;
        while (x + s->wd < side) {
          const P* block = nullptr;
          for (const P& p : placed)
            if (x <= p.x + p.wd && p.x <= x + s->wd && y <= p.y + p.ht && p.y <= y + s->ht) {
              block = &p;
              break;
            }
          if (!block) {
            placed.push_back({x, y, s->wd, s->ht});
            spots.push_back({x, y});
            found = true;
            break;
          }
          x = block->x + block->wd + 1;
        }
      }
      if (!found) {
        all = false;
        break;
      }
    }
    if (all)
      return side;
  }
  return 0;
}

TEST(SpriteAtlas, PacksAsTheRuleSaysWithOneFreePixelAround) {
  struct Case {
    const char* name;
    std::vector<std::pair<int, int>> sizes;
    int side;
    std::vector<std::pair<int, int>> spots;
  } cases[] = {
      {"one small sprite", {{10, 10}}, 16, {{0, 0}}},
      {"15 wide fits 16", {{15, 4}}, 16, {{0, 0}}},
      {"16 wide leaves no free right column", {{16, 4}}, 32, {{0, 0}}},
      {"two 20x20 double twice", {{20, 20}, {20, 20}}, 64, {{0, 0}, {21, 0}}},
      {"three 8x8", {{8, 8}, {8, 8}, {8, 8}}, 32, {{0, 0}, {9, 0}, {18, 0}}},
      {"a tall one and a row above a short one", {{4, 12}, {10, 3}, {10, 3}}, 16, {{0, 0}, {5, 0}, {5, 4}}},
      {"zero-sized sprites take a point", {{0, 0}, {0, 0}}, 16, {{0, 0}, {1, 0}}},
      {"2047 fits the largest atlas", {{2047, 2047}}, 2048, {{0, 0}}},
      {"2048 never fits", {{2048, 2048}}, 0, {}},
  };
  for (const Case& c : cases) {
    TestSprites t;
    for (auto [w, h] : c.sizes)
      t.add(w, h);
    EXPECT_EQ(pack_sprite_atlas(t.list), c.side) << c.name;
    for (size_t i = 0; i < c.spots.size(); i++) {
      EXPECT_EQ(t.list[int(i)]->uMin, c.spots[i].first) << c.name << " sprite " << i;
      EXPECT_EQ(t.list[int(i)]->vMin, c.spots[i].second) << c.name << " sprite " << i;
    }
  }
}

TEST(SpriteAtlas, MatchesTheCandidateByCandidateRuleOnRandomSets) {
  std::mt19937 rng(17);
  for (int round = 0; round < 60; round++) {
    TestSprites t;
    int n = 1 + int(rng() % 40);
    int biggest = 4 + int(rng() % 60);
    for (int i = 0; i < n; i++) {
      Sprite* s = t.add(int(rng() % biggest), int(rng() % biggest));
      if (rng() % 10 == 0)
        s->frames.push() = s;  // a strip: takes no space
    }
    std::vector<std::pair<int, int>> spots;
    int want = reference_pack(t.list, spots);
    ASSERT_EQ(pack_sprite_atlas(t.list), want) << "round " << round;
    for (int i = 0; i < t.list.size(); i++) {
      if (spots[i].first < 0)
        continue;
      EXPECT_EQ(t.list[i]->uMin, spots[i].first) << "round " << round << " sprite " << i;
      EXPECT_EQ(t.list[i]->vMin, spots[i].second) << "round " << round << " sprite " << i;
    }
  }
}

TEST(SpriteAtlas, FillCopiesRowsAndTurnsSpotsIntoTextureCoordinates) {
  TestSprites t;
  Sprite* a = t.add(3, 2);
  a->pixels.resize(6);
  for (int i = 0; i < 6; i++)
    a->pixels[i] = 0xFF000000u + i;
  Sprite* strip = t.add(6, 2);
  strip->frames.push() = a;
  ASSERT_EQ(pack_sprite_atlas(t.list), 16);
  a->uMin = 5;  // placed elsewhere by hand: fill must use the spot it is given
  a->vMin = 7;
  DynArray<uint32_t> atlas;
  fill_sprite_atlas(t.list, 16, atlas);
  ASSERT_EQ(atlas.size(), 256);
  EXPECT_EQ(atlas[7 * 16 + 5], 0xFF000000u);
  EXPECT_EQ(atlas[7 * 16 + 7], 0xFF000002u);
  EXPECT_EQ(atlas[8 * 16 + 5], 0xFF000003u);
  EXPECT_EQ(atlas[8 * 16 + 8], 0u);
  EXPECT_EQ(atlas[0], 0u);
  EXPECT_EQ(a->uMin, 5 * 1024);
  EXPECT_EQ(a->vMin, 7 * 1024);
  EXPECT_EQ(a->uMax, 8 * 1024);
  EXPECT_EQ(a->vMax, 9 * 1024);
}

// ---- the registry ------------------------------------------------------------------

// A picture whose every pixel tells where it is: x, y and a tag.
std::vector<uint32_t> tagged(int w, int h, uint8_t tag) {
  std::vector<uint32_t> px(size_t(w) * h);
  for (int y = 0; y < h; y++)
    for (int x = 0; x < w; x++)
      px[size_t(y) * w + x] = 0xFF000000u | uint32_t(tag) << 16 | uint32_t(y) << 8 | uint32_t(x);
  return px;
}

class SpriteTest : public WorldTest {
 protected:
  // The game's own pictures stay out of these atlases: data/ is mounted as a folder
  // of links to everything in it but its sprites.
  std::string data_without_sprites;

  void SetUp() override {
    WorldTest::SetUp();
    std::string data = source_dir() + "/data/";
    data_without_sprites = make_temp_dir();
    ASSERT_FALSE(data_without_sprites.empty());
    DIR* d = opendir(data.c_str());
    ASSERT_TRUE(d);
    while (dirent* e = readdir(d)) {
      std::string name = e->d_name;
      if (name != "." && name != ".." && name != "sprites")
        ASSERT_EQ(symlink((data + name).c_str(), (data_without_sprites + name).c_str()), 0) << name;
    }
    closedir(d);
    ASSERT_TRUE(PHYSFS_unmount(data.c_str()));
    ASSERT_TRUE(PHYSFS_mount(data_without_sprites.c_str(), nullptr, 1));
    startWorld(64, 64);
  }
  void TearDown() override {
    close_sprites();
    WorldTest::TearDown();
    std::string cmd = "rm -rf '" + data_without_sprites + "'";
    EXPECT_EQ(system(cmd.c_str()), 0);
  }
  // What the log said while `f` ran.
  template <class F>
  std::string logOf(F&& f) {
    testing::internal::CaptureStdout();
    f();
    return testing::internal::GetCapturedStdout();
  }
  void markSpritesChanged() { changed_files.push() = String((home + "sprites/x").c_str()); }
  // The atlas's pixel at texture coordinates (u, v) + (dx, dy) pixels.
  uint32_t atlasAt(const std::vector<uint32_t>& atlas, const Sprite* s, int dx, int dy) {
    int k = 16384 / spriteTexSize;
    return atlas[size_t(s->vMin / k + dy) * spriteTexSize + s->uMin / k + dx];
  }
};

// A configuration the reader refuses: blocks nested deeper than it allows.
std::string too_deep_config() {
  std::string text;
  for (int i = 0; i < CONFIG_MAX_DEPTH + 2; i++)
    text += "a {\n";
  return text;
}

bool contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

TEST_F(SpriteTest, FilesBecomeSpritesFramesAndOneAtlas) {
  writePng("sprites/ui/button.png", 6, 4, tagged(6, 4, 1));
  writeFile("sprites/ui/button.cfg", "ox=1.5\noy=2\nnpl=1\nnpt=2\nnpr=3\nnpb=4\n");
  writePng("sprites/hero.png", 100, 5, tagged(100, 5, 2));
  writeFile("sprites/hero.cfg", "fw=32\noy=1\n");
  writePng("sprites/dot.png", 1, 1, {0xFF123456});
  writeFile("sprites/.hidden/ghost.png", "not read");
  writeFile("sprites/notes.txt", "not a sprite");
  writeFile("sprites/only.cfg", "ox=3\n");
  std::string log = logOf([] { init_sprites(); });

  EXPECT_TRUE(contains(log, "WARNING: frame width mismatch for animation hero")) << log;
  EXPECT_TRUE(contains(log, "loaded 3 frames for hero")) << log;
  EXPECT_TRUE(contains(log, "loaded 7 sprites into 64x64 texture")) << log;
  EXPECT_EQ(spriteTexSize, 64);
  EXPECT_EQ(get_sprite("ghost", false), nullptr);
  EXPECT_EQ(get_sprite(".hidden/ghost", false), nullptr);
  EXPECT_EQ(get_sprite("notes", false), nullptr);

  Sprite* button = get_sprite("ui/button", true);
  EXPECT_EQ(button->wd, 6);
  EXPECT_EQ(button->ht, 4);
  EXPECT_EQ(button->ox, 1.5f);
  EXPECT_EQ(button->oy, 2.0f);
  EXPECT_EQ(button->npl, 1);
  EXPECT_EQ(button->npt, 2);
  EXPECT_EQ(button->npr, 3);
  EXPECT_EQ(button->npb, 4);
  EXPECT_EQ(button->state, &sprite_state);

  Sprite* dot = get_sprite("dot", true);
  EXPECT_EQ(dot->ox, 0.5f) << "half the width by default";
  EXPECT_EQ(dot->oy, 0.0f);
  Sprite* only = get_sprite("only", true);
  EXPECT_EQ(only->wd, 0);
  EXPECT_EQ(only->ox, 3.0f);

  Sprite* hero = get_sprite("hero", true);
  ASSERT_EQ(hero->frames.size(), 3);
  EXPECT_EQ(get_sprite("hero0003", false), nullptr) << "the four leftover columns make no frame";
  std::vector<uint32_t> atlas = readTexture(get_sprites_tex());
  for (int i = 0; i < 3; i++) {
    char name[16];
    snprintf(name, sizeof name, "hero%04d", i);
    Sprite* f = get_sprite(name, true);
    EXPECT_EQ(hero->frames[i], f);
    EXPECT_EQ(f->anim, hero);
    EXPECT_EQ(f->wd, 32);
    EXPECT_EQ(f->ht, 5);
    EXPECT_EQ(f->ox, 16.0f) << "a strip's pivot defaults to the middle of a frame";
    EXPECT_EQ(f->oy, 1.0f);
    EXPECT_EQ(f->config->getInt("fw", 0), 32);
    EXPECT_NE(f->config, hero->config);
    // Column x of frame i is column i * 32 + x of the strip; rows bottom first.
    EXPECT_EQ(atlasAt(atlas, f, 0, 0), 0xFF020000u | uint32_t(i * 32)) << name;
    EXPECT_EQ(atlasAt(atlas, f, 31, 4), 0xFF020000u | uint32_t(4) << 8 | uint32_t(i * 32 + 31)) << name;
  }
  EXPECT_EQ(atlasAt(atlas, button, 0, 0), 0xFF010000u) << "the image's bottom row is at the sprite's v min";
  EXPECT_EQ(atlasAt(atlas, button, 5, 3), 0xFF010305u);
  EXPECT_EQ(atlasAt(atlas, dot, 0, 0), 0xFF123456u);
  // Largest first; strips are listed but take no atlas space.
  for (int i = 1; i < sprite_list.size(); i++)
    EXPECT_GE(sprite_list[i - 1]->wd * sprite_list[i - 1]->ht, sprite_list[i]->wd * sprite_list[i]->ht);
  EXPECT_EQ(sprite_list.size(), 7);
}

TEST_F(SpriteTest, ReloadReadsNothingWhenNothingChanged) {
  writePng("sprites/a.png", 4, 4, tagged(4, 4, 1));
  init_sprites();
  Texture* atlas = get_sprites_tex();
  int size = spriteTexSize;

  record();
  reload_sprites();  // no change notification at all
  markSpritesChanged();
  std::string log = logOf([] { reload_sprites(); });  // a notification, same file times
  std::vector<std::string> calls = stopRecording();
  EXPECT_TRUE(calls.empty()) << calls.front();
  EXPECT_EQ(log, "");
  EXPECT_EQ(get_sprites_tex(), atlas);
  EXPECT_EQ(spriteTexSize, size);
}

TEST_F(SpriteTest, ReloadGrowsTheAtlasInPlaceAndReusesFrames) {
  writePng("sprites/a.png", 4, 4, tagged(4, 4, 1));
  writePng("sprites/boom.png", 24, 3, tagged(24, 3, 2));
  writeFile("sprites/boom.cfg", "fw=8\n");
  init_sprites();
  Texture* atlas = get_sprites_tex();
  Sprite* a = get_sprite("a", true);
  Sprite* frame = get_sprite("boom0001", true);
  int listed = sprite_list.size();
  ASSERT_EQ(spriteTexSize, 16);

  writePng("sprites/big.png", 40, 40, tagged(40, 40, 3));
  writePng("sprites/a.png", 4, 6, tagged(4, 6, 4));
  writePng("sprites/boom.png", 24, 3, tagged(24, 3, 5));
  for (const char* f : {"sprites/big.png", "sprites/a.png", "sprites/boom.png"})
    setMtime(f, 100);
  markSpritesChanged();
  std::string log = logOf([] { reload_sprites(); });
  EXPECT_TRUE(contains(log, "loaded 3 frames for boom")) << log;
  EXPECT_EQ(spriteTexSize, 64);
  EXPECT_EQ(get_sprites_tex(), atlas) << "states holding the atlas keep a valid handle";
  EXPECT_EQ(get_sprite("a", true), a);
  EXPECT_EQ(a->ht, 6) << "a reload takes the new size";
  EXPECT_EQ(get_sprite("boom0001", true), frame);
  EXPECT_EQ(sprite_list.size(), listed + 1) << "frames are reused, not listed again";
  std::vector<uint32_t> pixels = readTexture(get_sprites_tex());
  EXPECT_EQ(atlasAt(pixels, frame, 0, 2), 0xFF050208u);
  EXPECT_EQ(atlasAt(pixels, get_sprite("big", true), 39, 39), 0xFF032727u);
  EXPECT_EQ(atlasAt(pixels, a, 3, 5), 0xFF040503u);
}

TEST_F(SpriteTest, BrokenFilesAtReloadAreShownAndKeepEverything) {
  writePng("sprites/a.png", 4, 4, tagged(4, 4, 1));
  writeFile("sprites/a.cfg", "ox=1\n");
  init_sprites();
  Sprite* a = get_sprite("a", true);
  int listed = sprite_list.size();
  std::vector<uint32_t> before = readTexture(get_sprites_tex());

  struct Case {
    const char* file;
    std::string bytes;
    const char* message;
  } cases[] = {
      {"sprites/a.png", "not a png", "Error loading sprite image sprites/a.png"},
      {"sprites/new.png", "not a png", "Error loading sprite image sprites/new.png"},
      {"sprites/a.cfg", too_deep_config(), "Error loading sprite config sprites/a.cfg"},
  };
  for (const Case& c : cases) {
    // A good new sprite beside the broken file must not slip in either.
    writePng("sprites/zz_good.png", 8, 8, tagged(8, 8, 9));
    writeFile(c.file, c.bytes);
    setMtime(c.file, 200);
    setMtime("sprites/zz_good.png", 200);
    set_error_message(nullptr);
    markSpritesChanged();
    std::string log = logOf([] { reload_sprites(); });
    EXPECT_TRUE(contains(error_shown(), c.message)) << error_shown();
    EXPECT_TRUE(contains(log, c.message)) << log;
    EXPECT_EQ(get_sprite("a", true), a);
    EXPECT_EQ(a->wd, 4);
    EXPECT_EQ(a->ox, 1.0f);
    EXPECT_EQ(sprite_list.size(), listed) << c.file;
    EXPECT_EQ(get_sprite("new", false), nullptr);
    EXPECT_EQ(readTexture(get_sprites_tex()), before) << c.file;
    std::remove((home + c.file).c_str());
    if (std::string(c.file) == "sprites/a.png")
      writePng("sprites/a.png", 4, 4, tagged(4, 4, 1));
    if (std::string(c.file) == "sprites/a.cfg")
      writeFile("sprites/a.cfg", "ox=1\n");
    std::remove((home + "sprites/zz_good.png").c_str());
  }
}

TEST_F(SpriteTest, StartUpFailuresAreFatal) {
  struct Case {
    const char* name;
    std::function<void()> files;
    const char* message;
  } cases[] = {
      {"broken image", [this] { writeFile("sprites/bad.png", "nope"); },
       "Error loading sprite image sprites/bad.png"},
      {"broken config", [this] { writeFile("sprites/bad.cfg", too_deep_config()); },
       "Error loading sprite config sprites/bad.cfg"},
      {"too big",
       [this] { writePng("sprites/huge.png", 2048, 1, std::vector<uint32_t>(2048, 0xFF000000u)); },
       "Too many sprites, can't fit them all in 2048x2048 texture"},
  };
  for (const Case& c : cases) {
    std::string dir = home + "sprites";
    std::string cmd = "rm -rf '" + dir + "'";
    ASSERT_EQ(system(cmd.c_str()), 0);
    c.files();
    EXPECT_EXIT(init_sprites(), ::testing::ExitedWithCode(100), c.message) << c.name;
  }
  EXPECT_EXIT(get_sprite("missing", true), ::testing::ExitedWithCode(100), "Sprite 'missing' not found");
}

// ---- quads -------------------------------------------------------------------------

struct Corner {
  float x, y;
  int u, v;
};

std::vector<Corner> quad_of(const RenderBatchItem* it) {
  std::vector<Corner> out;
  const SpriteVertex* v = (const SpriteVertex*)((RenderBatchItem*)it)->vertices();
  for (int i = 0; i < 6; i++)
    out.push_back({v[i].x, v[i].y, v[i].u, v[i].v});
  return out;
}

TEST(SpriteQuads, CornersFollowTheTransformMirrorsAndFlips) {
  Sprite s;
  s.wd = 4;
  s.ht = 2;
  s.ox = 1;
  s.oy = 0.5f;
  s.uMin = 100;
  s.vMin = 200;
  s.uMax = 300;
  s.vMax = 400;
  s.state = &sprite_state;
  voxel_scale = 4;
  // The pivot (10.3, 5.6) snaps to the quarter-unit grid: (10.25, 5.5).
  __m128 pos = _mm_setr_ps(10.3f, 5.6f, 7, 99);
  struct Case {
    const char* name;
    std::function<void()> draw;
    float p0x, p0y, ax, ay, bx, by;  // P0, the x edge (wd along the image's x) and the y edge
  } cases[] = {
      {"plain", [&] { s.draw(pos, false, false, 1, 2); }, 9.25f, 5.0f, 4, 0, 0, 2},
      {"flip x", [&] { s.draw(pos, true, false, 1, 2); }, 11.25f, 5.0f, -4, 0, 0, 2},
      {"flip y", [&] { s.draw(pos, false, true, 1, 2); }, 9.25f, 6.0f, 4, 0, 0, -2},
      {"turned a quarter", [&] { s.draw(pos, _mm_setr_ps(0, 1, 0, 0), false, 1, 2); }, 10.75f, 4.5f, 0, 4, -2, 0},
      {"facing left, mirrored", [&] { s.draw(pos, _mm_setr_ps(-1, 0, 0, 0), true, 1, 2); }, 11.25f, 5.0f, -4, 0,
       0, 2},
      {"facing left, turned", [&] { s.draw(pos, _mm_setr_ps(-1, 0, 0, 0), false, 1, 2); }, 11.25f, 6.0f, -4, 0, 0,
       -2},
      {"scaled by 2", [&] { s.draw(pos, _mm_setr_ps(2, 0, 0, 0), false, 1, 2); }, 8.25f, 4.5f, 8, 0, 0, 4},
  };
  for (const Case& c : cases) {
    start_sprite_render();
    c.draw();
    ASSERT_EQ(sprite_batch.groups.size(), 1) << c.name;
    RenderBatchItem* it = sprite_batch.groups[0].first;
    EXPECT_EQ(it->bytes, 144);
    EXPECT_EQ(it->prims, 2);
    std::vector<Corner> q = quad_of(it);
    Corner p0 = {c.p0x, c.p0y, 100, 200}, p1 = {c.p0x + c.ax, c.p0y + c.ay, 300, 200};
    Corner p3 = {c.p0x + c.bx, c.p0y + c.by, 100, 400}, p2 = {p1.x + c.bx, p1.y + c.by, 300, 400};
    Corner want[6] = {p0, p1, p2, p0, p2, p3};
    for (int i = 0; i < 6; i++) {
      EXPECT_FLOAT_EQ(q[i].x, want[i].x) << c.name << " vertex " << i;
      EXPECT_FLOAT_EQ(q[i].y, want[i].y) << c.name << " vertex " << i;
      EXPECT_EQ(q[i].u, want[i].u) << c.name << " vertex " << i;
      EXPECT_EQ(q[i].v, want[i].v) << c.name << " vertex " << i;
    }
    const SpriteVertex* v = (const SpriteVertex*)it->vertices();
    EXPECT_EQ(v[0].z, 7.0f);
    EXPECT_EQ(v[5].c0, 1u);
    EXPECT_EQ(v[5].c1, 2u);
    // The batch rectangle is the quad's bounding box.
    float xs[] = {p0.x, p1.x, p2.x, p3.x}, ys[] = {p0.y, p1.y, p2.y, p3.y};
    alignas(16) float r[4];
    _mm_store_ps(r, it->rect);
    EXPECT_FLOAT_EQ(r[0], *std::min_element(xs, xs + 4)) << c.name;
    EXPECT_FLOAT_EQ(r[1], *std::min_element(ys, ys + 4)) << c.name;
    EXPECT_FLOAT_EQ(r[2], *std::max_element(xs, xs + 4)) << c.name;
    EXPECT_FLOAT_EQ(r[3], *std::max_element(ys, ys + 4)) << c.name;
  }
  start_sprite_render();
  voxel_scale = 1;
}


// ---- the sprite pass -----------------------------------------------------------------

// One sprite of a pass: a picture, where its bottom-left corner goes, its z and colours.
struct PassSprite {
  const char* name;
  float x, y, z;
  D3dColor c0 = 0xFFFFFFFF, c1 = 0;
};

// The sprite pass over a cleared 64 x 64 frame, one world unit a pixel, with flat detail
// tiles (so a texel shows as its colour times 2 * 128 / 255), and what the pass must show
// computed the way Direct3D draws: in the order given, the alpha test at 128, the depth
// test "less or equal" with depth writes.
class SpritePassTest : public SpriteTest {
 protected:
  static constexpr int N = 64;
  std::vector<uint32_t> pictures[3];

  void SetUp() override {
    SpriteTest::SetUp();
    // Solid squares of 12 units, the third with a clear 4 x 4 hole in its middle.
    const uint32_t colors[3] = {0xFFC04020, 0xFF2040C0, 0xFF30A050};
    const char* names[3] = {"pass/red", "pass/blue", "pass/green"};
    for (int i = 0; i < 3; i++) {
      pictures[i].assign(12 * 12, colors[i]);
      for (int y = 4; i == 2 && y < 8; y++)
        for (int x = 4; x < 8; x++)
          pictures[i][size_t(y) * 12 + x] = 0;
      writePng(std::string("sprites/") + names[i] + ".png", 12, 12, pictures[i]);
      writeFile(std::string("sprites/") + names[i] + ".cfg", "ox=0\noy=0\n");
    }
    writeFlatTextures(128);
    init_sprites();
    init_background();
    setCamera(0, 0, 1);
  }
  void TearDown() override {
    close_background();
    SpriteTest::TearDown();
  }
  const std::vector<uint32_t>& pictureOf(const char* name) {
    return pictures[strcmp(name, "pass/red") == 0 ? 0 : strcmp(name, "pass/blue") == 0 ? 1 : 2];
  }
  // Draws the pass (blending on when asked) and returns the frame, top row first.
  std::vector<uint32_t> drawPass(const std::vector<PassSprite>& sprites, bool blend = false) {
    set_scene_target();
    clear_view(0xFF000000);
    set_zenable(true);
    set_zwrite(true);
    if (blend)
      set_blend_alpha();
    start_sprite_render();
    for (const PassSprite& p : sprites)
      get_sprite(p.name, true)->draw(_mm_setr_ps(p.x, p.y, p.z, 0), false, false, p.c0, p.c1);
    end_sprite_render();
    set_blend_none();
    return readBackBuffer();
  }
  // The colour a sprite texel shows: lit by the flat tile, times colour 0, toward colour 1.
  static uint32_t shown(uint32_t texel, D3dColor c0, D3dColor c1) {
    uint32_t out = 0xFF000000u;
    float a1 = channel(c1, 24) / 255.0f;
    for (int sh : {0, 8, 16}) {
      float c = channel(texel, sh) * (2 * 128 / 255.0f) * channel(c0, sh) / 255.0f;
      c = c + (channel(c1, sh) - c) * a1;
      out |= uint32_t(std::min(255L, std::lround(c))) << sh;
    }
    return out;
  }
  // The frame as Direct3D draws the sprites, in their order.
  std::vector<uint32_t> expected(const std::vector<PassSprite>& sprites) {
    std::vector<uint32_t> px(size_t(N) * N, 0xFF000000u);
    std::vector<float> depth(size_t(N) * N, 1e9f);
    for (const PassSprite& p : sprites) {
      const std::vector<uint32_t>& pic = pictureOf(p.name);
      for (int v = 0; v < 12; v++)
        for (int u = 0; u < 12; u++) {
          uint32_t texel = pic[size_t(v) * 12 + u];
          size_t at = size_t(pixelY(p.y + v)) * N + pixelX(p.x + u);
          if ((texel >> 24) < 128 || p.z > depth[at])
            continue;
          depth[at] = p.z;
          px[at] = shown(texel, p.c0, p.c1);
        }
    }
    return px;
  }
  void expectFrame(const std::vector<PassSprite>& sprites, const std::vector<uint32_t>& got) {
    std::vector<uint32_t> want = expected(sprites);
    int wrong = 0;
    for (size_t i = 0; i < want.size(); i++)
      if (!near_color(got[i], want[i], 1) && wrong++ < 5)
        ADD_FAILURE() << "pixel " << i % N << "," << i / N << " got " << std::hex << got[i] << " want " << want[i];
  }
  // The z of each quad of the sprite batch, in drawing order.
  static std::vector<float> batchDepths() {
    std::vector<float> z;
    for (RenderBatchItem* it = sprite_batch.groups[0].first; it; it = it->next)
      z.push_back(((const SpriteVertex*)it->vertices())->z);
    return z;
  }
};

// The pass draws nearest first, which lets the depth test drop hidden texels before
// they are shaded; the picture is the one drawing in the order given makes, also where
// sprites of one depth overlap (the last drawn shows) and through a clear hole.
TEST_F(SpritePassTest, NearestFirstKeepsThePictureOfTheOrderGiven) {
  const std::vector<PassSprite> sprites = {
      {"pass/red", 4, 4, 5},       {"pass/blue", 8, 8, 1},   {"pass/green", 12, 12, 1},
      {"pass/red", 16, 16, 3},     {"pass/blue", 30, 30, 9}, {"pass/green", 34, 34, 7},
      {"pass/red", 38, 38, 9},     {"pass/blue", 40, 6, 1},  {"pass/red", 44, 10, 1},
  };
  expectFrame(sprites, drawPass(sprites));
  EXPECT_EQ(batchDepths(), (std::vector<float>{1, 1, 1, 1, 3, 5, 7, 9, 9}));
  // Equal depths keep their order: the blue at (8, 8) before the green, the blue at
  // (40, 6) before the red.
  std::vector<float> xs;
  for (RenderBatchItem* it = sprite_batch.groups[0].first; it; it = it->next)
    xs.push_back(((const SpriteVertex*)it->vertices())->x);
  EXPECT_EQ(xs, (std::vector<float>{8, 12, 40, 44, 16, 4, 34, 30, 38}));
}

// Where the order could change the picture, the pass keeps the order given: with
// blending on, or with two depths too close for the depth buffer to tell apart.
TEST_F(SpritePassTest, OrderGivenStaysWhereNearestFirstCouldChangeThePicture) {
  const std::vector<PassSprite> blended = {{"pass/red", 4, 4, 5}, {"pass/blue", 8, 8, 1}};
  drawPass(blended, true);
  EXPECT_EQ(batchDepths(), (std::vector<float>{5, 1}));
  const std::vector<PassSprite> close = {{"pass/red", 4, 4, 1.00001f}, {"pass/blue", 8, 8, 1}, {"pass/green", 20, 20, 0}};
  expectFrame(close, drawPass(close));
  EXPECT_EQ(batchDepths(), (std::vector<float>{1.00001f, 1, 0}));
}

// Quads of white colour 0 and clear colour 1 are drawn without the colour steps; one
// tinted or flashing quad brings them back for the whole pass.
TEST_F(SpritePassTest, ColoursApplyWhereverAQuadHasThem) {
  const std::vector<PassSprite> plain = {{"pass/red", 4, 4, 1}, {"pass/blue", 20, 20, 1}};
  expectFrame(plain, drawPass(plain));
  EXPECT_EQ(d3d9_live_device->ps, sprite_pass_shader(true, true)->ps) << "drawn without the colour steps";
  const std::vector<PassSprite> colored = {{"pass/red", 4, 4, 1},
                                           {"pass/blue", 20, 20, 1, 0xFF808080},
                                           {"pass/green", 36, 36, 1, 0xFFFFFFFF, 0x80FF00FF}};
  expectFrame(colored, drawPass(colored));
  EXPECT_EQ(d3d9_live_device->ps, sprite_pass_shader(false, true)->ps);
  EXPECT_EQ(sprite_state.shader, sprite_pass_shader(false, false)) << "the state keeps the sprite shader between passes";
}

// Texels that cover whole pixels take the tile's shades from the constants, also turned
// a quarter; one sprite turned at another angle brings the tile texture back for the pass.
TEST_F(SpritePassTest, TileShadesOnlyWhileEveryTexelCoversWholePixels) {
  struct Case {
    float dx, dy;  // the last sprite's direction
    bool shades;
  } cases[] = {{1, 0, true}, {0, 1, true}, {-1, 0, true}, {0.6f, 0.8f, false}};
  for (const Case& c : cases) {
    set_scene_target();
    clear_view(0xFF000000);
    set_zenable(true);
    set_zwrite(true);
    start_sprite_render();
    get_sprite("pass/red", true)->draw(_mm_setr_ps(4, 4, 1, 0), false, false, 0xFFFFFFFF, 0);
    get_sprite("pass/blue", true)->draw(_mm_setr_ps(30, 30, 1, 0), _mm_setr_ps(c.dx, c.dy, 0, 0), false, 0xFFFFFFFF, 0);
    end_sprite_render();
    EXPECT_EQ(d3d9_live_device->ps, sprite_pass_shader(true, c.shades)->ps) << "direction " << c.dx << "," << c.dy;
  }
}

}  // namespace
