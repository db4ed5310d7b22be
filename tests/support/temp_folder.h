#pragma once
// A fresh temporary folder for a test, removed with everything in it.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <string>

struct TempFolder {
  std::string path;  // without a trailing '/'

  // The folder is made under /tmp, named `name_prefix` and six random characters.
  explicit TempFolder(const char* name_prefix = "torvane-core-") {
    std::string pattern = std::string("/tmp/") + name_prefix + "XXXXXX";
    const char* made = mkdtemp(pattern.data());
    EXPECT_NE(made, nullptr);
    path = made ? made : "";
  }
  ~TempFolder() {
    std::error_code ec;
    std::filesystem::remove_all(path, ec);
  }
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;

  std::string operator/(const std::string& rel) const { return path + "/" + rel; }
};
