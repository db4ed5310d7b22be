// One script input as the fuzzer runs it: compiled and, when it compiles, run on a small
// bounded heap and under an instruction budget, so that neither a runaway loop nor a script
// that allocates until memory runs out takes long. Any crash, leak or sanitizer report is a
// fault of the library. The kept fuzz findings replay through the same function.
#pragma once
#include <stddef.h>
#include <string>

// Returns the error that ended the run (a compile error too), empty when it ended well.
std::string fuzz_run_script(const char* text, size_t size);
