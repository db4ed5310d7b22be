// Render batches: regrouping by state, and pictures equal to drawing in order.
#include "render_fixture.h"

#include "engine/render/d3d_shaders.h"
#include "engine/render/d3d_states.h"
#include "engine/render/d3d_textures.h"
#include "engine/render/d3d_vbuf.h"
#include "engine/render/dynVBWriter.h"
#include "engine/render/renderBatch.h"

#include <cstring>
#include <random>

namespace {

struct Vertex {
  float x, y;
  uint32_t color;
  float u, v;
};

__m128 rect(float x0, float y0, float x1, float y1) { return _mm_setr_ps(x0, y0, x1, y1); }

// The states of each group, in drawing order.
std::vector<BaseRenderBatchState*> group_states(RenderBatch& b) {
  std::vector<BaseRenderBatchState*> out;
  for (const RenderBatchGroup& g : b.groups) out.push_back(g.state);
  return out;
}

int items_in(const RenderBatchGroup& g) {
  int n = 0;
  for (RenderBatchItem* it = g.first; it; it = it->next) n++;
  return n;
}

}  // namespace

TEST(RenderBatch, RegroupsOnlyPastItemsItDoesNotOverlap) {
  StdRenderBatchState A(nullptr, nullptr, 20, nullptr), B(nullptr, nullptr, 20, nullptr), C(nullptr, nullptr, 20, nullptr);
  using S = std::vector<BaseRenderBatchState*>;
  struct Step {
    BaseRenderBatchState* state;
    __m128 r;
  };
  struct Case {
    const char* name;
    std::vector<Step> steps;
    S groups;
  } cases[] = {
      {"B apart: A items join", {{&A, rect(0, 0, 1, 1)}, {&B, rect(5, 5, 6, 6)}, {&A, rect(2, 2, 3, 3)}}, {&A, &B}},
      {"B overlaps the second A", {{&A, rect(0, 0, 1, 1)}, {&B, rect(2, 2, 4, 4)}, {&A, rect(3, 3, 5, 5)}}, {&A, &B, &A}},
      {"an old overlap blocks an older group of the same state",
       {{&A, rect(0, 0, 1, 1)}, {&B, rect(10, 10, 11, 11)}, {&C, rect(20, 20, 30, 30)}, {&B, rect(0, 5, 1, 6)},
        {&A, rect(25, 25, 26, 26)}},
       {&A, &B, &C, &A}},
      {"touching the new item's high side does not block",
       {{&A, rect(0, 0, 1, 1)}, {&B, rect(5, 0, 6, 1)}, {&A, rect(4, 0, 5, 1)}}, {&A, &B}},
      {"touching the new item's low side blocks",
       {{&A, rect(0, 0, 1, 1)}, {&B, rect(3, 0, 4, 1)}, {&A, rect(4, 0, 5, 1)}}, {&A, &B, &A}},
      {"group rectangle overlaps but no item does",
       {{&A, rect(0, 0, 1, 1)}, {&B, rect(0, 0, 1, 1)}, {&B, rect(8, 8, 9, 9)}, {&A, rect(4, 4, 5, 5)}}, {&A, &B}},
  };
  for (Case& c : cases) {
    RenderBatch batch(256);
    for (Step& s : c.steps) batch.add(s.state, s.r, 60, 1);
    EXPECT_EQ(group_states(batch), c.groups) << c.name;
    for (int i = 1; i < batch.groups.size(); i++) EXPECT_NE(batch.groups[i].state, batch.groups[i - 1].state) << c.name;
  }
  // A group's rectangle is the union of its items.
  RenderBatch batch(64);  // small blocks: the arena chains more
  for (int i = 0; i < 10; i++) batch.add(&A, rect(i, -i, i + 2, 1), 60, 1);
  ASSERT_EQ(batch.groups.size(), 1);
  EXPECT_EQ(items_in(batch.groups[0]), 10);
  float r[4];
  _mm_storeu_ps(r, batch.groups[0].rect);
  EXPECT_EQ(r[0], 0);
  EXPECT_EQ(r[1], -9);
  EXPECT_EQ(r[2], 11);
  EXPECT_EQ(r[3], 1);
  batch.clear();
  EXPECT_EQ(batch.groups.size(), 0);
}

class BatchPixels : public RenderTest {
protected:
  Shader* shader = nullptr;
  IDirect3DVertexDeclaration9* decl = nullptr;
  Texture* tex[3] = {};

  void SetUp() override {
    RenderTest::SetUp();
    startDevice(48, 32);
    common_vb_writer.create(65536, 4);
    shader = create_shader("quad.sh", nullptr);
    const VDeclElement els[] = {{0, 0, 2, 0, 0}, {8, 0, 5, 2, 0}, {12, 0, 2, 3, 0}, {0, 255, 0, 0, 0}};
    decl = create_vdecl(els);
    const uint32_t colors[3] = {0xC0FF2000, 0x8020FF40, 0x604080FF};
    for (int i = 0; i < 3; i++) {
      tex[i] = create_texture(1, 1, 1, 1);
      int pitch = 0;
      *(uint32_t*)lock_texture(tex[i], &pitch, 0) = colors[i];
      unlock_texture(tex[i], 0);
    }
    const float c0[4] = {2.0f / 48, -2.0f / 32, -1, 1};
    set_vs_consts(0, c0, 1);
    set_blend_alpha();
    set_texture_filter(0, false);
  }
  void TearDown() override {
    destroy_shader(shader);
    RenderTest::TearDown();
  }
  static void addQuad(RenderBatch& b, BaseRenderBatchState* s, float x0, float y0, float x1, float y1, uint32_t color) {
    Vertex* v = (Vertex*)b.add(s, rect(x0, y0, x1, y1), 6 * sizeof(Vertex), 2);
    const Vertex q[6] = {{x0, y0, color, 0, 0}, {x1, y0, color, 1, 0}, {x0, y1, color, 0, 1},
                         {x1, y0, color, 1, 0}, {x1, y1, color, 1, 1}, {x0, y1, color, 0, 1}};
    memcpy(v, q, sizeof(q));
  }
};

// Random overlapping, half-transparent quads of three states: the regrouped batch must
// give exactly the picture of drawing each item on its own in the order added.
TEST_F(BatchPixels, RegroupingNeverChangesThePicture) {
  StdRenderBatchState states[3] = {{shader, decl, 20, tex[0]}, {shader, decl, 20, tex[1]}, {shader, decl, 20, tex[2]}};
  std::mt19937 rng(1234);
  for (int round = 0; round < 4; round++) {
    struct Item {
      int state;
      float x0, y0, x1, y1;
      uint32_t color;
    };
    std::vector<Item> items;
    for (int i = 0; i < 60; i++) {
      float x0 = rng() % 40, y0 = rng() % 26;
      items.push_back({(int)(rng() % 3), x0 - 0.5f, y0 - 0.5f, x0 + 1 + rng() % 12 - 0.5f, y0 + 1 + rng() % 8 - 0.5f,
                       0xFF000000u | (uint32_t)(rng() & 0xFFFFFF)});
    }
    clear_view_color(0xFF000000);
    RenderBatch batch;
    for (const Item& it : items) addQuad(batch, &states[it.state], it.x0, it.y0, it.x1, it.y1, it.color);
    EXPECT_LT(batch.groups.size(), (int)items.size());  // some regrouping took place
    batch.render();
    std::vector<uint32_t> batched = readBackBuffer();

    clear_view_color(0xFF000000);
    for (const Item& it : items) {
      RenderBatch one;
      addQuad(one, &states[it.state], it.x0, it.y0, it.x1, it.y1, it.color);
      one.render();
    }
    EXPECT_EQ(batched, readBackBuffer()) << "round " << round;
  }
}

TEST_F(BatchPixels, StatesBindOnlyWhatChanged) {
  StdRenderBatchState a(shader, decl, 20, tex[0]), b(shader, decl, 20, tex[1]);
  RenderBatch batch;
  addQuad(batch, &a, 0, 0, 4, 4, ~0u);
  addQuad(batch, &b, 2, 2, 6, 6, ~0u);
  record();
  batch.render();
  std::vector<std::string> lines = stopRecording();
  std::vector<std::string> binds;
  for (const std::string& l : lines)
    if (l.rfind("SetVertexShader", 0) == 0 || l.rfind("SetPixelShader", 0) == 0 || l.rfind("SetVertexDecl", 0) == 0 ||
        l.rfind("SetTexture", 0) == 0 || l.rfind("DrawPrimitive", 0) == 0)
      binds.push_back(l);
  EXPECT_EQ(binds, (std::vector<std::string>{"SetVertexShader(vs)", "SetPixelShader(ps)", "SetVertexDeclaration(decl)",
                                             "SetTexture(0, tex)", "DrawPrimitive(4, 0, 2)", "SetTexture(0, tex)",
                                             "DrawPrimitive(4, 0, 2)"}));
  // An empty batch applies nothing and draws nothing.
  RenderBatch empty;
  record();
  empty.render();
  EXPECT_TRUE(stopRecording().empty());
}

TEST_F(BatchPixels, AnItemLargerThanARingBufferIsFatal) {
  StdRenderBatchState a(shader, decl, 20, tex[0]);
  EXPECT_EXIT(
      ([&] {
        RenderBatch batch;
        batch.add(&a, rect(0, 0, 1, 1), 65536 + 20, 1);
        batch.render();
      })(),
      ::testing::ExitedWithCode(100), "batch vertex buffer is not large enough");
}
