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

// The page a font or icon description names on its line number `line` (from 0),
// matched with `pattern` (whose first conversion is %255[^"]), read through the
// engine's own line reader; empty when that line does not match.
std::string fuzz_page_named(const char* path, int line, const char* pattern);
// Puts a 4 x 4 page (an L8 DDS) at "<page>.dds" in the folder and starts the device
// its texture needs, so that a description naming `page` loads whole. False, putting
// nothing, for a name that is no plain path inside the folder: the file system would
// not open it, and a page the game cannot load ends the program, as it should.
bool fuzz_put_page(const std::string& page);

[[noreturn]] void fuzz_check_failed(const char* file, int line, const char* condition);
#define FUZZ_CHECK(cond) \
  do {                   \
    if (!(cond))         \
      fuzz_check_failed(__FILE__, __LINE__, #cond); \
  } while (0)
