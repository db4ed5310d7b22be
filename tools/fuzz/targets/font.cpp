// The distance-field font description reader: any description is read or refused
// without harm (its page never exists here, so every load ends refused after the
// description), and text laid out with whatever tables it left stays inside them.
#include <cstring>

#include "engine/gui/dist_font.h"
#include "tools/fuzz/fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz_init_folder();
  DistFont font;
  FUZZ_CHECK(!font.load(fuzz_put_file("input.fnt", data, size)));
  const char* text = "Wave AVA\nTo, ft\xC3\xA9\xE2\x82\xAC\xEF\xBF\xBD\xF0\x9F\x98\x80 \xFF end";
  int count = -1;
  font.calcTextBox(text, -1, &count);
  // At most one quad per character, whatever the tables say.
  FUZZ_CHECK(count >= 0 && count <= (int)strlen(text));
  return 0;
}
