#include "script_fixture.h"

#include <physfs.h>
#if defined(__SANITIZE_ADDRESS__)
// The address sanitizer's runtime (its header is not always installed).
extern "C" size_t __sanitizer_get_current_allocated_bytes(void);
#else
#include <malloc.h>
#endif
#include <sys/stat.h>
#include <sys/time.h>

#include <cstdio>
#include <cstdlib>

#include "engine/script/sq_perf_timer.h"

namespace {
// PhysicsFS is started once for the whole program.
struct VfsEnvironment : ::testing::Environment {
  void SetUp() override { ASSERT_NE(PHYSFS_init("script_tests"), 0); }
  void TearDown() override { PHYSFS_deinit(); }
};
const auto* vfs_env = ::testing::AddGlobalTestEnvironment(new VfsEnvironment);
}  // namespace

void ScriptTest::SetUp() {
  char tmpl[] = "/tmp/script_test_XXXXXX";
  ASSERT_NE(mkdtemp(tmpl), nullptr);
  root = std::string(tmpl) + "/";
  ASSERT_NE(PHYSFS_mount(root.c_str(), nullptr, 0), 0);
}

void ScriptTest::TearDown() {
  if (vm)
    sqbind::close_vm(vm);
  vm = nullptr;
  PHYSFS_unmount(root.c_str());
  std::string cmd = "rm -rf '" + root + "'";
  (void)system(cmd.c_str());
}

HSQUIRRELVM ScriptTest::openVM() {
  vm = sqbind::create_vm(1024);
  register_vec4f_bindings(vm);
  register_perf_timer_bindings(vm);
  return vm;
}

void ScriptTest::writeFile(const std::string& rel, const std::string& text) {
  std::string path = root + rel;
  for (size_t i = root.size(); i < path.size(); i++)
    if (path[i] == '/')
      mkdir(path.substr(0, i).c_str(), 0755);
  FILE* f = fopen(path.c_str(), "wb");
  ASSERT_NE(f, nullptr);
  fwrite(text.data(), 1, text.size(), f);
  fclose(f);
}

void ScriptTest::setFileTime(const std::string& rel, long seconds) {
  struct timeval tv[2] = {{seconds, 0}, {seconds, 0}};
  ASSERT_EQ(utimes((root + rel).c_str(), tv), 0);
}

bool ScriptTest::run(const std::string& code, const char* source) {
  SQInteger top = sq_gettop(vm);
  if (!sqbind::compile_buffer(vm, code.c_str(), (SQInteger)code.size(), source)) {
    sq_settop(vm, top);
    return false;
  }
  sq_pushroottable(vm);
  bool ok = SQ_SUCCEEDED(sq_call(vm, 1, SQFalse, SQTrue));
  sq_settop(vm, top);
  return ok;
}

void ScriptTest::evalPush(const std::string& expr) {
  std::string code = "return (" + expr + ");";
  SQInteger top = sq_gettop(vm);
  if (!sqbind::compile_buffer(vm, code.c_str(), (SQInteger)code.size(), "eval")) {
    sq_settop(vm, top);
    throw sqbind::SquirrelError("compile failed");
  }
  sq_pushroottable(vm);
  SQRESULT r;
  try {
    r = sq_call(vm, 1, SQTrue, SQTrue);
  } catch (...) {
    sq_settop(vm, top);
    throw;
  }
  if (SQ_FAILED(r)) {
    sq_settop(vm, top);
    throw sqbind::SquirrelError("script error");
  }
  sq_remove(vm, -2);  // the closure; the result stays on top
}

__m128 ScriptTest::evalVec(const std::string& expr) {
  evalPush(expr);
  SqVec4f* p = sqbind::getInstOrNull<SqVec4f>(vm, -1);
  // Read before the pop: the last reference frees the instance and its vector.
  __m128 v = p ? p->v : _mm_setzero_ps();
  sq_poptop(vm);
  if (!p)
    throw sqbind::SquirrelError("not a vec4f");
  return v;
}

float ScriptTest::evalFloat(const std::string& expr) {
  evalPush(expr);
  SQFloat f = -12345;
  sq_getfloat(vm, -1, &f);
  sq_poptop(vm);
  return f;
}

long long ScriptTest::evalInt(const std::string& expr) {
  evalPush(expr);
  SQInteger i = -12345;
  sq_getinteger(vm, -1, &i);
  sq_poptop(vm);
  return i;
}

std::string ScriptTest::evalString(const std::string& expr) {
  evalPush(expr);
  const SQChar* s = nullptr;
  std::string out = SQ_SUCCEEDED(sq_getstring(vm, -1, &s)) ? s : "<not a string>";
  sq_poptop(vm);
  return out;
}

std::string ScriptTest::nativeError(const std::string& expr) {
  SQInteger top = sq_gettop(vm);
  try {
    evalPush(expr);
    sq_poptop(vm);
  } catch (const sqbind::SquirrelError& e) {
    EXPECT_EQ(sq_gettop(vm), top);
    return e.message;
  }
  return "";
}

std::string ScriptTest::lastError() {
  sq_getlasterror(vm);
  const SQChar* s = nullptr;
  std::string out = SQ_SUCCEEDED(sq_getstring(vm, -1, &s)) ? s : "<not a string>";
  sq_poptop(vm);
  return out;
}

Lanes lanes(__m128 v) {
  Lanes l;
  _mm_storeu_ps(l.f, v);
  return l;
}

size_t heap_bytes_in_use() {
#if defined(__SANITIZE_ADDRESS__)
  return __sanitizer_get_current_allocated_bytes();
#else
  return mallinfo2().uordblks;
#endif
}
