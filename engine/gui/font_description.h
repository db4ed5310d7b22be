#pragma once
// Reading the text descriptions of fonts and icon sets: one line at a time into a
// 256-byte buffer, each line matched against a fixed pattern.
#include <physfs.h>

#include "engine/core/strings.h"

struct Texture;

class DescriptionReader {
public:
  explicit DescriptionReader(PHYSFS_File* file) : file(file) {}
  // The next line, or null at the end of the file.
  const char* next();

private:
  PHYSFS_File* file;
  char line[256];
};

// Counts of records in a description: 0..65536.
inline bool valid_count(int n) { return n >= 0 && n <= 65536; }

// Opens a description for reading; false when the path does not fit a path buffer
// or the file does not open.
PHYSFS_File* open_description(const char* path);

// The page texture "<page>.dds"; fatal, with the texture loader's message naming the
// file and the fault, when it is missing or cannot be used. While the game-object
// module is replaced (named textures held), such a page gives null and that message in
// `error` instead.
Texture* load_page_texture(const char* page, TempString<512>& error);

// A font's page while the font loads again: let go only once the new page is had, so
// that a font loaded again with the same page keeps that page as it stands.
class PreviousPage {
public:
  explicit PreviousPage(Texture*& page) : page(page) { page = nullptr; }
  ~PreviousPage();
  PreviousPage(const PreviousPage&) = delete;
  PreviousPage& operator=(const PreviousPage&) = delete;

private:
  Texture* page;
};
