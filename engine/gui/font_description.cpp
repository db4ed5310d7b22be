#include "engine/gui/font_description.h"

#include <cstring>

#include "engine/core/log.h"
#include "engine/core/stream.h"
#include "engine/render/d3d_textures.h"

const char* DescriptionReader::next() { return physfs_gets(line, sizeof(line), file); }

PHYSFS_File* open_description(const char* path) {
  // The module loads fonts: a path too long for a path buffer fails the load instead
  // of ending the program.
  if (!path || strlen(path) >= sizeof(TempString<260>::str)) {
    debug("font description path too long");
    return nullptr;
  }
  return PHYSFS_openRead(path);
}

Texture* load_page_texture(const char* page, TempString<512>& error) {
  TempString<260> name;
  name.format("%s.dds", page);
  error.assign("");
  // A page is a texture the game needs, and one that cannot be used is fatal with the
  // loader's message, as every texture at start-up. A reloaded module finds its pages
  // still loaded (the host holds them meanwhile) and takes them as they stand; a page
  // it names anew fails only its font, as a running game must go on.
  if (!named_textures_held())
    return get_texture(name.str, true);
  return try_get_texture(name.str, error);
}

PreviousPage::~PreviousPage() { free_texture(page); }
