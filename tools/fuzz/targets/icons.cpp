// The icon description reader: any description is read or refused without harm (its
// page never exists here), and every icon it kept has a name to be found by.
#include <cstring>

#include "engine/gui/dist_font.h"
#include "tools/fuzz/fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz_init_folder();
  DistIcons icons;
  FUZZ_CHECK(!icons.load(fuzz_put_file("input.txt", data, size)));
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
