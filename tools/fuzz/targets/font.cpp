// The distance-field font description reader: any description is read or refused
// without harm (a description that reads whole finds the page it names), and text
// laid out with whatever tables it left stays inside them.
#include <cstring>

#include "engine/gui/dist_font.h"
#include "tools/fuzz/fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz_init_folder();
  const char* path = fuzz_put_file("input.fnt", data, size);
  std::string page = fuzz_page_named(path, 2, "page id=0 file=\"%255[^\"]\"");
  if (!page.empty() && !fuzz_put_page(page))
    return 0;  // its page cannot be had: loading it ends the program
  DistFont font;
  bool loaded = font.load(path);
  FUZZ_CHECK(!loaded || font.texture);
  const char* text = "Wave AVA\nTo, ft\xC3\xA9\xE2\x82\xAC\xEF\xBF\xBD\xF0\x9F\x98\x80 \xFF end";
  int count = -1;
  font.calcTextBox(text, -1, &count);
  // At most one quad per character, whatever the tables say.
  FUZZ_CHECK(count >= 0 && count <= (int)strlen(text));
  return 0;
}
