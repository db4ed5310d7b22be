// The script vector and quaternion API against values computed here.
#include <cmath>
#include <type_traits>

#include "engine/core/geometry.h"
#include "script_fixture.h"

namespace {

struct V {
  float x, y, z, w;
};

const float s45 = sinf(0.785398185f);  // sin(pi/4) in single precision
const float c45 = cosf(0.785398185f);

struct VecCase {
  const char* expr;
  V expected;
  float tolerance;  // 0: bit-exact lanes (signed zeros compared too)
};

}  // namespace

class Vec4fTest : public ScriptTest {
 protected:
  void SetUp() override {
    ScriptTest::SetUp();
    openVM();
    ASSERT_TRUE(run("PI <- 3.14159265358979"));
  }
  void expectVec(const char* expr, V e, float tol) {
    Lanes l = lanes(evalVec(expr));
    float ev[4] = {e.x, e.y, e.z, e.w};
    for (int i = 0; i < 4; i++) {
      if (tol == 0) {
        if (!std::isnan(ev[i])) {
          EXPECT_EQ(std::signbit(l.f[i]), std::signbit(ev[i])) << expr << " lane " << i;
        }
        if (std::isnan(ev[i])) {
          EXPECT_TRUE(std::isnan(l.f[i])) << expr << " lane " << i;
        } else {
          EXPECT_EQ(l.f[i], ev[i]) << expr << " lane " << i;
        }
      } else {
        EXPECT_NEAR(l.f[i], ev[i], tol) << expr << " lane " << i;
      }
    }
  }
};

TEST_F(Vec4fTest, ConstructionArithmeticAndFunctions) {
  const VecCase cases[] = {
      {"vec4f(2)", {2, 2, 2, 2}, 0},
      {"vec4f(1, 2)", {1, 1, 1, 1}, 0},
      {"vec4f(1, 2, 3, 4)", {1, 2, 3, 4}, 0},
      {"vec4f(1, 2, 3, 4, 5)", {1, 1, 1, 1}, 0},
      {"make4f(5)", {5, 5, 5, 5}, 0},
      {"make4f(1, 2, 3, 4)", {1, 2, 3, 4}, 0},
      {"make4f(1, 2, 3)", {1, 1, 1, 1}, 0},
      {"vec4f(1, 2, 3, 4) + 1", {2, 3, 4, 5}, 0},
      {"vec4f(1, 2, 3, 4) + [1, 2, 3, 4]", {2, 4, 6, 8}, 0},
      {"vec4f(1, 2, 3, 4) + vec4f(0.5)", {1.5f, 2.5f, 3.5f, 4.5f}, 0},
      {"vec4f(1, 2, 3, 4) - 1.5", {-0.5f, 0.5f, 1.5f, 2.5f}, 0},
      {"vec4f(1, 2, 3, 4) * vec4f(2, 0, -1, 0.5)", {2, 0, -3, 2}, 0},
      {"vec4f(1, -1, 0, 4) / 0", {INFINITY, -INFINITY, NAN, INFINITY}, 0},
      {"-vec4f(1, 0, -2, 3)", {-1, 0, 2, -3}, 0},
      {"cross(x4f(1), y4f(1))", {0, 0, 1, 0}, 0},
      {"cross(vec4f(1, 2, 3, 4), vec4f(4, 5, 6, 7))", {2 * 6 - 3 * 5, 3 * 4 - 1 * 6, 1 * 5 - 2 * 4, 0}, 0},
      {"dot3(vec4f(1, 2, 3, 4), vec4f(5, 6, 7, 8))", {38, 38, 38, 38}, 0},
      {"dot4(vec4f(1, 2, 3, 4), vec4f(5, 6, 7, 8))", {70, 70, 70, 70}, 0},
      {"len3(vec4f(2, 3, 6, 100))", {7, 7, 7, 7}, 0},
      {"len3Sq(vec4f(2, 3, 6, 100))", {49, 49, 49, 49}, 0},
      {"norm3(vec4f(0, 0, 0, 7))", {0, 0, 0, 0}, 0},
      {"norm3(vec4f(3, 0, 4, 10))", {3.0f / 5, 0, 4.0f / 5, 2}, 0},
      {"norm3a(vec4f(3, 0, 4, 10))", {0.6f, 0, 0.8f, 2}, 2e-3f},
      {"x4f(3)", {3, 0, 0, 0}, 0},
      {"y4f(3)", {0, 3, 0, 0}, 0},
      {"z4f(3)", {0, 0, 3, 0}, 0},
      {"w4f(3)", {0, 0, 0, 3}, 0},
      {"quat_x(PI / 2)", {s45, 0, 0, c45}, 1e-7f},
      {"quat_y(PI / 2)", {0, s45, 0, c45}, 1e-7f},
      {"quat_z(PI / 2)", {0, 0, s45, c45}, 1e-7f},
      {"make_quat(z4f(2), PI / 2)", {0, 0, s45, c45}, 1e-7f},
      {"make_quat(vec4f(0), 1.0)", {0, 0, 0, cosf(0.5f)}, 0},
      {"quat_inv(vec4f(0, 0, 0, 1))", {-0.0f, -0.0f, -0.0f, 1}, 0},
      {"quat_inv(vec4f(1, -2, 3, 4))", {-1, 2, -3, 4}, 0},
      {"quat_norm(vec4f(0, 0, 0, 0))", {0, 0, 0, 0}, 0},
      {"quat_norm(vec4f(0, 3, 0, 4))", {0, 0.6f, 0, 0.8f}, 1e-7f},
      {"quat_mul(vec4f(1, 2, 3, 4), vec4f(5, 6, 7, 8))",
       {((4 * 5 + 3 * 6) - 2 * 7) + 1 * 8, ((4 * 6 - 3 * 5) + 1 * 7) + 2 * 8, ((2 * 5 - 1 * 6) + 4 * 7) + 3 * 8,
        ((-1 * 5 - 2 * 6) - 3 * 7) + 4 * 8},
       0},
      {"quat_rotate(make_quat(z4f(1), PI / 2), x4f(1))", {0, -1, 0, 0}, 1e-6f},
      {"quat_rotate(quat_x(PI), vec4f(0, 1, 0, 9))", {0, -1, 0, 9}, 1e-6f},
      {"quat_arc(x4f(1), x4f(-1))", {0, 0, 0, 0}, 0},
      {"quat_arc(x4f(0), y4f(1))", {0, 0, 0, 0}, 0},
      {"quat_interp(vec4f(0, 0, 0, 1), vec4f(0, 0, 1, 0), 0.5)", {0, 0, sqrtf(0.5f), sqrtf(0.5f)}, 1e-6f},
      {"quat_x_axis(vec4f(0, 0, 0, 1))", {1, 0, 0, 0}, 0},
      {"quat_y_axis(vec4f(0, 0, 0, 1))", {0, 1, 0, 0}, 0},
      {"quat_z_axis(vec4f(0, 0, 0, 1))", {0, 0, 1, 0}, 0},
      {"vector_on_sphere(0, 1)", {0, 0, 1, 0}, 1e-6f},
      {"vector_on_sphere(0.25, 0.5)", {0, 1, 0, 0}, 1e-6f},
      {"vector_in_sphere(0.3, 0.7, 0)", {0, 0, 0, 0}, 1e-30f},
      {"vector_in_sphere(0, 1, 0.125)", {0, 0, 0.5f, 0}, 1e-6f},
      {"clone vec4f(1, 2, 3, 4)", {1, 2, 3, 4}, 0},
  };
  for (const VecCase& c : cases)
    expectVec(c.expr, c.expected, c.tolerance);
}

// The engine's value type behind every vector the scripts see.
TEST(Vec4float, ConstructorsKeepTheLanesInArgumentOrder) {
  static_assert(sizeof(vec4float) == 16 && alignof(vec4float) == 16, "one SIMD value");
  static_assert(std::is_trivially_default_constructible_v<vec4float>, "the default leaves the value unset");
  static_assert(std::is_base_of_v<vec4float, SqVec4f> && sizeof(SqVec4f) == 16, "an instance holds one value");
  Lanes four = lanes(vec4float(1, 2, 3, 4));
  Lanes simd = lanes(vec4float(_mm_setr_ps(5, 6, 7, 8)));
  for (int i = 0; i < 4; i++) {
    EXPECT_EQ(four.f[i], float(1 + i)) << "lane " << i;
    EXPECT_EQ(simd.f[i], float(5 + i)) << "lane " << i;
  }
}

TEST_F(Vec4fTest, NumbersAndTexts) {
  EXPECT_FLOAT_EQ(evalFloat("len2xz(vec4f(3, 100, 4, 0))"), 5);
  EXPECT_FLOAT_EQ(evalFloat("len2xzSq(vec4f(3, 100, 4, 0))"), 25);
  EXPECT_FLOAT_EQ(evalFloat("getx(vec4f(1, 2, 3, 4)) + gety(vec4f(1, 2, 3, 4)) * 10 + getz(vec4f(1, 2, 3, 4)) * 100"),
                  321);
  EXPECT_FLOAT_EQ(evalFloat("vec4f(1, 2, 3, 4)[2]"), 3);
  EXPECT_FLOAT_EQ(evalFloat("vec4f(1, 2, 3, 4)[3.9]"), 4) << "a float index is truncated";
  // Member lookups go through _get first, so even "tostring" is refused there.
  EXPECT_EQ(nativeError("vec4f(1).tostring()"), "sq_get*() failed (type error)");
  EXPECT_EQ(evalString("\"\" + vec4f(1, 0.5, -2, 0)"), "vec4f(1, 0.5, -2, 0)");
  struct {
    const char* expr;
    long long result;
  } cmp[] = {
      {"vec4f(1, 2, 3, 4) <=> vec4f(1, 2, 3, 4)", 0},
      {"vec4f(2, 3, 4, 5) <=> vec4f(1, 2, 3, 4)", 1},
      {"vec4f(2, 0, 4, 5) <=> vec4f(1, 2, 3, 4)", -1},
      {"vec4f(2) <=> 1", 1},
      {"vec4f(1, 2, 3, 4) <=> [1, 2, 3, 4]", 0},
      {"vec4f(0) / 0 <=> vec4f(0) / 0", -1},
  };
  for (auto& c : cmp)
    EXPECT_EQ(evalInt(c.expr), c.result) << c.expr;
}

TEST_F(Vec4fTest, SetWritesOneLaneAndReturnsNull) {
  ASSERT_TRUE(run("v <- vec4f(1, 2, 3, 4)\nr <- (v[1] = 9)\nsetres <- v._set(2, 7)"));
  expectVec("v", {1, 9, 7, 4}, 0);
  EXPECT_EQ(evalString("typeof setres"), "null");
}

TEST_F(Vec4fTest, CloneIsIndependent) {
  ASSERT_TRUE(run("a <- vec4f(1, 2, 3, 4)\nb <- clone a\nb[0] = 10"));
  expectVec("a", {1, 2, 3, 4}, 0);
  expectVec("b", {10, 2, 3, 4}, 0);
}

TEST_F(Vec4fTest, BadArgumentsThrowNativeErrors) {
  struct {
    const char* expr;
    const char* error;
  } cases[] = {
      {"vec4f(1, 2, 3, 4)[4]", "vec4f index out of range"},
      {"vec4f(1, 2, 3, 4)[-1]", "vec4f index out of range"},
      // Checked as the script's 64-bit integer, not narrowed first to lane 1 or 0.
      {"vec4f(1, 2, 3, 4)[4294967297]", "vec4f index out of range"},
      {"vec4f(1, 2, 3, 4)[4294967296]", "vec4f index out of range"},
      {"vec4f(1, 2, 3, 4)[-4294967295]", "vec4f index out of range"},
      {"vec4f(1, 2, 3, 4)[4294967297.0]", "vec4f index out of range"},
      {"vec4f(1)._set(4294967297, 5)", "vec4f index out of range"},
      {"vec4f(1)._set(-4294967296, 5)", "vec4f index out of range"},
      {"function() { local v = vec4f(1); v[4294967298] = 5; }()", "vec4f index out of range"},
      {"vec4f(1, 2, 3, 4).x", "sq_get*() failed (type error)"},
      {"vec4f()", "sq_get*() failed (type error)"},
      {"make4f()", "sq_get*() failed (type error)"},
      {"vec4f(\"a\")", "sq_get*() failed (type error)"},
      {"dot3({}, vec4f(1))", "getInst: invalid argument type"},
      {"dot3(vec4f(1), 1)", "getInst: invalid argument type"},
      {"vec4f(1) - \"x\"", "getInst: invalid argument type"},
      {"vec4f(1) + [1, 2, 3, \"x\"]", "sq_get*() failed (type error)"},
      {"quat_interp(vec4f(1), vec4f(1), null)", "sq_get*() failed (type error)"},
  };
  for (auto& c : cases)
    EXPECT_EQ(nativeError(c.expr), c.error) << c.expr;
  // A short array: the missing element's lookup error.
  std::string e = nativeError("vec4f(1) + [1, 2]");
  EXPECT_NE(e, "");
  EXPECT_NE(e, "sq_get*() failed (type error)");
}

TEST_F(Vec4fTest, IntegerArgumentsBecomeFloats) {
  expectVec("x4f(2)", {2, 0, 0, 0}, 0);
  EXPECT_EQ(evalString("typeof x4f(2)"), "instance");
}

// Conventions that follow from the formulas, for unit quaternions.
TEST_F(Vec4fTest, QuaternionConventions) {
  ASSERT_TRUE(run(
      "a <- quat_norm(vec4f(0.3, -0.2, 0.5, 0.8))\n"
      "b <- quat_norm(vec4f(-0.6, 0.1, 0.2, 0.4))\n"
      "v <- vec4f(1.5, -2, 0.25, 0)\n"
      "u <- vec4f(0.2, 1, -0.4, 0)\n"));
  struct {
    const char* lhs;
    const char* rhs;
  } pairs[] = {
      {"quat_rotate(quat_mul(a, b), v)", "quat_rotate(a, quat_rotate(b, v))"},
      {"quat_x_axis(a)", "quat_rotate(a, x4f(1))"},
      {"quat_y_axis(a)", "quat_rotate(a, y4f(1))"},
      {"quat_z_axis(a)", "quat_rotate(a, z4f(1))"},
      {"norm3(quat_rotate(quat_arc(u, v), u))", "norm3(v)"},
      {"quat_rotate(quat_inv(a), quat_rotate(a, v))", "v"},
  };
  for (auto& p : pairs) {
    Lanes l = lanes(evalVec(p.lhs));
    Lanes r = lanes(evalVec(p.rhs));
    for (int i = 0; i < 3; i++)
      EXPECT_NEAR(l.f[i], r.f[i], 1e-5f) << p.lhs << " vs " << p.rhs << " lane " << i;
  }
}

TEST_F(Vec4fTest, DroppedVectorsAreFreed) {
  const char* loop = "for (local i = 0; i < 1000; i++) { local v = vec4f(i) + [1, 2, 3, 4]; v = norm3(v) }";
  ASSERT_TRUE(run(loop));
  sq_collectgarbage(vm);
  int64_t before = sqbind::vm_heap_blocks();
  ASSERT_TRUE(run(loop));
  sq_collectgarbage(vm);
  EXPECT_EQ(sqbind::vm_heap_blocks(), before);
}

// A vector allocated for the script is freed when the script cannot take it: a
// constructor called on something that is no instance, or a VM without the class.
TEST_F(Vec4fTest, VectorsTheScriptCannotTakeAreFreed) {
  const char* const exprs[] = {"vec4f.constructor.call({}, 1)", "vec4f._cloned.call({}, vec4f(1))"};
  for (const char* expr : exprs)
    EXPECT_EQ(nativeError(expr), "can't set scripted instance user pointer") << expr;
  HSQUIRRELVM bare = sqbind::create_vm(64);
  std::string error;
  auto push_into_bare = [&] {
    try {
      sqbind::push(bare, v_splat(1));
    } catch (const sqbind::SquirrelError& e) {
      error = e.message;
    }
  };
  push_into_bare();
  EXPECT_EQ(error, "can't get script class");
  EXPECT_EQ(sq_gettop(bare), 0);

  const int rounds = 400;
  size_t before = heap_bytes_in_use();
  capture_log([&] {
    for (int i = 0; i < rounds; i++) {
      for (const char* expr : exprs)
        nativeError(expr);
      push_into_bare();
    }
  });
  sq_collectgarbage(vm);
  size_t grown = heap_bytes_in_use() - before;
  sqbind::close_vm(bare);
  EXPECT_LT((long)grown, rounds * 3 * 16 / 2) << "bytes kept by " << rounds * 3 << " failed hand-overs";
}
