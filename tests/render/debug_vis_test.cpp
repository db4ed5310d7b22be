// Debug drawing: the vertices and colours each shape writes into the ring, the flush
// between lines and triangles, and the eye position of the thick line.
#include "world_fixture.h"

#include <cmath>
#include <set>

#include "engine/render/d3d_states.h"
#include "engine/render/debug_vis.h"
#include "engine/render/dynVBWriter.h"

namespace {

struct V {
  float x, y, z;
  uint32_t c;
};

class DebugVisTest : public WorldTest {
 protected:
  void SetUp() override {
    WorldTest::SetUp();
    startWorld(32, 32);
    // One big buffer, so that a shape's vertices stay in the open run.
    common_vb_writer.release();
    common_vb_writer.create(1 << 20, 2);
    init_debug_vis();
  }
  void TearDown() override {
    if (common_vb_writer.startPtr)
      end_draw_debug_vis();
    close_debug_vis();
    WorldTest::TearDown();
  }
  // The vertices one drawing call writes, and the kind of run they are in.
  std::vector<V> shape(const std::function<void()>& draw, int* kind = nullptr) {
    start_draw_debug_vis();
    draw();
    const V* v = (const V*)common_vb_writer.startPtr;
    std::vector<V> out(v, v + common_vb_writer.used() / 16);
    EXPECT_EQ(common_vb_writer.stride, 16);
    if (kind)
      *kind = debug_vis_prim_type;
    EXPECT_EQ(common_vb_writer.numPrims * (debug_vis_prim_type == 2 ? 2 : 3), int(out.size()));
    end_draw_debug_vis();
    return out;
  }
};

float dist(const V& a, float x, float y, float z) { return std::sqrt((a.x - x) * (a.x - x) + (a.y - y) * (a.y - y) + (a.z - z) * (a.z - z)); }

TEST_F(DebugVisTest, LinesAndTrianglesWriteTheirCornersAndColours) {
  int kind = 0;
  std::vector<V> v = shape([] { draw_debug_vis_line(v_make(1, 2, 3, 77), v_make(4, 5, 6, 0), 0xFF112233, 0x80445566); },
                           &kind);
  EXPECT_EQ(kind, 2);
  ASSERT_EQ(v.size(), 2u);
  EXPECT_EQ(v[0].x, 1);
  EXPECT_EQ(v[0].y, 2);
  EXPECT_EQ(v[0].z, 3);
  EXPECT_EQ(v[0].c, 0xFF112233u) << "the fourth lane is replaced by the colour";
  EXPECT_EQ(v[1].z, 6);
  EXPECT_EQ(v[1].c, 0x80445566u);
  v = shape([] { draw_debug_vis_tri(v_make(0, 0, 0, 0), v_make(1, 0, 0, 0), v_make(0, 1, 0, 0), 1, 2, 3); }, &kind);
  EXPECT_EQ(kind, 4);
  ASSERT_EQ(v.size(), 3u);
  EXPECT_EQ(v[1].x, 1);
  EXPECT_EQ(v[2].y, 1);
  EXPECT_EQ(v[0].c, 1u);
  EXPECT_EQ(v[1].c, 2u);
  EXPECT_EQ(v[2].c, 3u);
}

TEST_F(DebugVisTest, CompoundShapesAreMadeOfTheRightPrimitives) {
  const uint32_t c = 0xFF00FFAA;
  struct Case {
    const char* name;
    std::function<void()> draw;
    int kind, vertices;
  } cases[] = {
      {"cross", [&] { draw_debug_vis_cross_point(v_make(1, 1, 1, 0), 2, c); }, 2, 6},
      {"wire box", [&] { draw_debug_vis_wire_box(v_make(0, 0, 0, 0), v_make(1, 2, 3, 0), c); }, 2, 24},
      {"solid box", [&] { draw_debug_vis_solid_box(v_make(0, 0, 0, 0), v_make(1, 2, 3, 0), c, 0.5f); }, 4, 36},
      {"cube", [&] { draw_debug_vis_cube(v_make(0, 0, 0, 0), 1, c); }, 4, 36},
      {"sphere of 0 segments", [&] { draw_debug_vis_sphere(v_make(0, 0, 0, 0), 1, c, 0); }, 2, 24},
      {"sphere of 1 segment", [&] { draw_debug_vis_sphere(v_make(0, 0, 0, 0), 1, c, 1); }, 2, 24},
      {"sphere of 2 segments", [&] { draw_debug_vis_sphere(v_make(0, 0, 0, 0), 1, c, 2); }, 2, 24},
      {"sphere of 6 segments", [&] { draw_debug_vis_sphere(v_make(0, 0, 0, 0), 1, c, 6); }, 2, 2 * (5 * 24 + 12)},
      {"thick line", [&] { draw_debug_vis_thick_line(v_make(0, 0, 0, 0), v_make(5, 0, 0, 0), 1, c, c); }, 4, 12},
      {"axes", [&] { draw_debug_vis_transform_axes(matrix_identity(), 1, 0); }, 2, 6},
  };
  for (const Case& k : cases) {
    int kind = 0;
    std::vector<V> v = shape(k.draw, &kind);
    EXPECT_EQ(kind, k.kind) << k.name;
    EXPECT_EQ(int(v.size()), k.vertices) << k.name;
    if (std::string(k.name) != "axes")
      for (const V& x : v)
        EXPECT_EQ(x.c, c) << k.name;
  }
}

// The set of edges of a line list, each as its two ends in a fixed order.
std::set<std::vector<float>> edges(const std::vector<V>& v) {
  std::set<std::vector<float>> out;
  for (size_t i = 0; i + 1 < v.size(); i += 2) {
    std::vector<float> a = {v[i].x, v[i].y, v[i].z}, b = {v[i + 1].x, v[i + 1].y, v[i + 1].z};
    if (b < a)
      std::swap(a, b);
    a.insert(a.end(), b.begin(), b.end());
    out.insert(a);
  }
  return out;
}

TEST_F(DebugVisTest, BoxesCubesAndSpheresLieWhereTheySay) {
  std::vector<V> box = shape([] { draw_debug_vis_wire_box(v_make(1, 2, 3, 0), v_make(-1, 5, 0, 0), 7); });
  std::vector<V> flipped = shape([] { draw_debug_vis_wire_box(v_make(-1, 5, 0, 0), v_make(1, 2, 3, 0), 7); });
  EXPECT_EQ(edges(box), edges(flipped)) << "either corner order draws the same box";
  EXPECT_EQ(edges(box).size(), 12u);
  for (const auto& e : edges(box)) {
    int differing = (e[0] != e[3]) + (e[1] != e[4]) + (e[2] != e[5]);
    EXPECT_EQ(differing, 1) << "every edge runs along one axis";
    for (int i = 0; i < 6; i++) {
      float lo[3] = {-1, 2, 0}, hi[3] = {1, 5, 3};
      EXPECT_TRUE(e[i] == lo[i % 3] || e[i] == hi[i % 3]);
    }
  }

  std::vector<V> cube = shape([] { draw_debug_vis_cube(v_make(10, 20, 30, 0), 1, 9); });
  std::set<std::vector<float>> corners;
  for (const V& x : cube) {
    EXPECT_TRUE(x.x == 9 || x.x == 11);
    EXPECT_TRUE(x.y == 19 || x.y == 21);
    EXPECT_TRUE(x.z == 29 || x.z == 31);
    corners.insert({x.x, x.y, x.z});
  }
  EXPECT_EQ(corners.size(), 8u);
  std::vector<V> grown = shape([] { draw_debug_vis_solid_box(v_make(0, 0, 0, 0), v_make(2, 2, 2, 0), 9, 0.5f); });
  for (const V& x : grown)
    EXPECT_TRUE(x.x == -0.5f || x.x == 2.5f);

  std::vector<V> sphere = shape([] { draw_debug_vis_sphere(v_make(1, 2, 3, 0), 4, 9, 5); });
  for (const V& x : sphere)
    EXPECT_NEAR(dist(x, 1, 2, 3), 4, 1e-4);
  // Scaled by 2 and moved: the centre moves, the radius doubles.
  Matrix44 m = matrix_identity();
  for (int i = 0; i < 3; i++)
    m.m[i][i] = 2;
  m.row[3] = v_make(10, 0, 0, 1);
  std::vector<V> moved = shape([&] { draw_debug_vis_sphere(m, v_make(1, 1, 0, 3), 9, 3); });
  for (const V& x : moved)
    EXPECT_NEAR(dist(x, 12, 2, 0), 6, 1e-4);
}

TEST_F(DebugVisTest, ThickLinesFaceTheEye) {
  set_view_tm(matrix_translation(0, 0, 180));  // the eye at (0, 0, -180)
  EXPECT_EQ(v_z(debug_vis_eye_pos()), -180);
  std::vector<V> v = shape([] {
    draw_debug_vis_thick_line(v_make(0, 0, 0, 0), v_make(10, 0, 0, 0), 0.5f, 0xFF0000FF, 0xFFFF0000);
  });
  ASSERT_EQ(v.size(), 12u);
  for (const V& x : v) {
    EXPECT_EQ(x.z, 0) << "a ribbon in the plane facing the eye";
    EXPECT_NEAR(std::fabs(x.y), x.x == -0.5f || x.x == 10.5f ? 0 : 0.5f, 1e-6);
    EXPECT_GE(x.x, -0.5f);
    EXPECT_LE(x.x, 10.5f);
    EXPECT_EQ(x.c, x.x <= 0 ? 0xFF0000FFu : 0xFFFF0000u) << x.x;
  }
  EXPECT_EQ(v[0].x, -0.5f) << "the cap at a reaches w beyond it";
  EXPECT_EQ(v[11].x, 10.5f);

  // Along the line of sight nothing shows: every corner lies on a or b.
  v = shape([] { draw_debug_vis_thick_line(v_make(0, 0, 0, 0), v_make(0, 0, 50, 0), 1, 1, 2); });
  for (const V& x : v) {
    EXPECT_EQ(x.x, 0);
    EXPECT_EQ(x.y, 0);
  }
}

TEST_F(DebugVisTest, TransformAxesColouredByLevel) {
  Matrix44 m = matrix_identity();
  m.row[3] = v_make(1, 2, 3, 1);
  std::vector<V> dark = shape([&] { draw_debug_vis_transform_axes(m, 2, 0); });
  ASSERT_EQ(dark.size(), 6u);
  EXPECT_EQ(dark[0].c, 0xFFFF0000u);
  EXPECT_EQ(dark[2].c, 0xFF00FF00u);
  EXPECT_EQ(dark[4].c, 0xFF0000FFu);
  EXPECT_EQ(dark[1].x, 3);
  EXPECT_EQ(dark[3].y, 4);
  EXPECT_EQ(dark[5].z, 5);
  std::vector<V> white = shape([&] { draw_debug_vis_transform_axes(m, 2, 255); });
  for (const V& x : white)
    EXPECT_EQ(x.c, 0xFFFFFFFFu);
  std::vector<V> mid = shape([&] { draw_debug_vis_transform_axes(m, 2, 0x40); });
  EXPECT_EQ(mid[0].c, 0xFFFF4040u);
  EXPECT_EQ(mid[2].c, 0xFF40FF40u);
  EXPECT_EQ(mid[4].c, 0xFF4040FFu);
}

TEST_F(DebugVisTest, SwitchingKindsFlushesSoShapesDrawInCallOrder) {
  setCamera(0, 0, 1);
  __m128 a = v_make(0, 0, 0, 0), b = v_make(1, 0, 0, 0), c = v_make(0, 1, 0, 0);
  record();
  start_draw_debug_vis();
  draw_debug_vis_tri(a, b, c, 1);
  draw_debug_vis_tri(a, b, c, 1);
  draw_debug_vis_line(a, b, 1);
  draw_debug_vis_tri(a, b, c, 1);
  end_draw_debug_vis();
  std::vector<std::string> draws;
  for (const std::string& s : stopRecording())
    if (s.rfind("DrawPrimitive(", 0) == 0)
      draws.push_back(s);
  EXPECT_EQ(draws, (std::vector<std::string>{"DrawPrimitive(4, 0, 2)", "DrawPrimitive(2, 0, 1)",
                                             "DrawPrimitive(4, 0, 1)"}));
}

}  // namespace
