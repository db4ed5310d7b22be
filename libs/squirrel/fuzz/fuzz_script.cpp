// libFuzzer target: each input is a script, run as fuzz_run_script runs it.
#include "fuzz_script_run.h"
#include <stddef.h>
#include <stdint.h>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz_run_script((const char*)data, size);
  return 0;
}
