#pragma once
// A script VM over a temporary folder mounted as the virtual file system's root,
// with helpers to write script files, run code and capture the log.
#include <gtest/gtest.h>

#include <string>

#include "engine/script/sq_vec4f.h"
#include "engine/script/sqbind.h"

class ScriptTest : public ::testing::Test {
 protected:
  std::string root;         // the mounted folder, ending in '/'
  HSQUIRRELVM vm = nullptr;  // made by openVM, closed after the test

  void SetUp() override;
  void TearDown() override;

  // A VM from sqbind::create_vm with the vector and timer bindings.
  HSQUIRRELVM openVM();
  // Writes a file below the mounted folder (folders made as needed).
  void writeFile(const std::string& rel, const std::string& text);
  // Sets the file's modification time to `seconds` since 1970.
  void setFileTime(const std::string& rel, long seconds);
  // Compiles and runs code with the root table as 'this'; false on any error.
  bool run(const std::string& code, const char* source = "test");
  // Evaluates an expression; throws what the script call throws. The result is
  // left on the stack for the reader and popped by these helpers.
  __m128 evalVec(const std::string& expr);
  float evalFloat(const std::string& expr);
  long long evalInt(const std::string& expr);
  std::string evalString(const std::string& expr);
  // The text of the native exception raised by evaluating expr ("" when none).
  std::string nativeError(const std::string& expr);
  // The VM's last error as text.
  std::string lastError();

 private:
  void evalPush(const std::string& expr);
};

// Everything written to standard output (the log) while `fn` runs.
// The capture ends also when fn throws.
template <class F>
std::string capture_log(F&& fn) {
  ::testing::internal::CaptureStdout();
  try {
    fn();
  } catch (...) {
    fflush(stdout);
    ::testing::internal::GetCapturedStdout();
    throw;
  }
  fflush(stdout);
  return ::testing::internal::GetCapturedStdout();
}

// Bytes of the C heap in use now (the sanitizer's own count in sanitizer builds),
// for tests that a failure path frees what it allocated.
size_t heap_bytes_in_use();

// Lanes of a four-float value.
struct Lanes {
  float f[4];
};
Lanes lanes(__m128 v);
