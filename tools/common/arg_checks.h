#pragma once
// Checks of a developer tool's command-line arguments: each takes the argument's
// whole text or refuses it, saying on standard error what is wrong and naming the
// argument ("TOOL: ARG: ..."); the tool then exits with code 2.
#include <sys/stat.h>

#include <cstdint>
#include <cstdio>

constexpr int BAD_ARGUMENT = 2;

// A decimal number from min to max: digits only, nothing before or after them.
inline bool whole_number_arg(const char* tool, const char* name, const char* text, uint64_t min, uint64_t max,
                             uint64_t& out) {
  uint64_t value = 0;
  bool digits = text && *text;
  for (const char* p = text; digits && *p; p++) {
    unsigned d = unsigned(*p - '0');
    digits = d <= 9 && value <= (UINT64_MAX - d) / 10;
    value = value * 10 + d;
  }
  if (!digits || value < min || value > max) {
    fprintf(stderr, "%s: %s: '%s' is not a whole number from %llu to %llu\n", tool, name, text ? text : "",
            (unsigned long long)min, (unsigned long long)max);
    return false;
  }
  out = value;
  return true;
}

// An existing regular file (not a folder, a device or a pipe).
inline bool regular_file_arg(const char* tool, const char* name, const char* path) {
  struct stat st;
  if (stat(path, &st) != 0) {
    fprintf(stderr, "%s: %s: no file '%s'\n", tool, name, path);
    return false;
  }
  if (!S_ISREG(st.st_mode)) {
    fprintf(stderr, "%s: %s: '%s' is not a regular file\n", tool, name, path);
    return false;
  }
  return true;
}

// An existing folder.
inline bool folder_arg(const char* tool, const char* name, const char* path) {
  struct stat st;
  if (stat(path, &st) != 0 || !S_ISDIR(st.st_mode)) {
    fprintf(stderr, "%s: %s: '%s' is not a folder\n", tool, name, path);
    return false;
  }
  return true;
}
