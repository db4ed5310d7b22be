// The room-template picture reader: the first byte picks the catalogue entry, the rest
// is the picture text; any text is accepted or refused with a reason, without harm.
#include "engine/gen/room_catalogue.h"
#include "engine/gen/room_templates.h"
#include "tools/fuzz/fuzz_support.h"

#include <cstring>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1)
    return 0;
  int index = data[0] % ROOM_TEMPLATE_COUNT;
  std::string picture((const char*)data + 1, size - 1);
  const char* reason = check_room_picture(index, picture.c_str());
  FUZZ_CHECK(!reason || (reason[0] && strlen(reason) < 256));
  return 0;
}
