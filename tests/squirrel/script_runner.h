// Runs a script in a fresh VM the way the sq runner does, capturing what it prints.
#pragma once
#include <string>

struct ScriptResult {
  bool ok = false;      // compiled and ran without an uncaught error
  std::string out;      // print()
  std::string err;      // errors, call stacks, compiler messages
};

ScriptResult run_script_text(const std::string& text, const std::string& sourceName);
std::string read_text_file(const std::string& path);
