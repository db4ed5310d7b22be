// The icon description reader: any description is read or refused without harm (a
// description that reads whole finds the page it names), and every icon it kept has
// a name to be found by.
#include <cstring>

#include "engine/gui/dist_font.h"
#include "tools/fuzz/fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz_init_folder();
  const char* path = fuzz_put_file("input.txt", data, size);
  std::string page = fuzz_page_named(path, 0, "info file=\"%255[^\"]\"");
  if (!page.empty() && !fuzz_put_page(page))
    return 0;  // its page cannot be had: loading it ends the program
  DistIcons icons;
  bool loaded = icons.load(path);
  FUZZ_CHECK(!loaded || icons.texture);
  for (int i = 0; i < icons.icons.size(); i++) {
    const char* name = icons.icons[i].name;
    if (name) {
      int found = icons.getIconId(name);
      FUZZ_CHECK(found >= 0 && found <= i && strcmp(icons.icons[found].name, name) == 0);
    }
  }
  FUZZ_CHECK(icons.getIconId(nullptr) == -1);
  return 0;
}
