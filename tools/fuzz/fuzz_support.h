#pragma once
// Shared by the fuzz targets (targets/*.cpp): a private folder that is the virtual file
// system's root, its write folder and the per-user folder, where a target puts its
// input as a file and reads it back through the engine's own reader; and FUZZ_CHECK,
// which ends the run loudly when a reader breaks a rule it promises.
//
// A target is one file defining LLVMFuzzerTestOneInput. The fuzz build (tools/fuzz/run)
// makes it a libFuzzer program; every other build replays the cases kept in
// tests/fuzz_regressions/<target>/ through it as a test.
#include <cstddef>
#include <cstdint>
#include <string>

// Creates the private folder and mounts it on first use.
void fuzz_init_folder();
// Its real path, ending in '/'.
const std::string& fuzz_folder();
// Writes the bytes into `name` (a plain file name) inside the folder and returns the
// virtual-file-system path that reads it.
const char* fuzz_put_file(const char* name, const uint8_t* data, size_t size);

// Starts the renderer's device once, headless (EGL surfaceless), for readers that fill
// GPU buffers or textures.
void fuzz_init_device();

[[noreturn]] void fuzz_check_failed(const char* file, int line, const char* condition);
#define FUZZ_CHECK(cond) \
  do {                   \
    if (!(cond))         \
      fuzz_check_failed(__FILE__, __LINE__, #cond); \
  } while (0)
