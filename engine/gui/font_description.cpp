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

Texture* load_page_texture(const char* page, const char* description) {
  TempString<260> name;
  name.format("%s.dds", page);
  // A missing page would be fatal in the texture loader; a font without its page
  // is only a font that fails to load.
  if (!PHYSFS_exists(name.str)) {
    debug("page texture '%s' of '%s' not found", name.str, description);
    return nullptr;
  }
  // A page that fails to load (a reload of the module after the file was broken while
  // the game ran) fails the font as well, as a missing page does.
  DdsLoadError error;
  Texture* t = try_get_texture(name.str, error);
  if (!t)
    debug("%s", error.c_str());
  return t;
}
