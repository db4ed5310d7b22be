// The settings file reader: any file loads without harm, every key it read is found
// again, and once written back the file reads back the same records.
#include "engine/core/settings.h"
#include "tools/fuzz/fuzz_support.h"

#include <cstring>
#include <string>
#include <utility>
#include <vector>

using Records = std::vector<std::pair<std::string, std::string>>;

static Records current_records() {
  Records out;
  for (int i = 0; i < setting_records.size(); i++) {
    const SettingRecord& r = setting_records[i];
    out.emplace_back(std::string(r.key, (size_t)r.keyLen), std::string(r.value, (size_t)r.valueLen));
  }
  return out;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > 1 << 20)
    return 0;
  fuzz_init_folder();
  close_app_config();
  fuzz_put_file("TORVANE/settings.cfg", data, size);
  int unused;
  get_config_int("fuzz", &unused);  // the first query loads the file
  Records read = current_records();
  for (const auto& [key, value] : read) {
    if (key.find('\0') != std::string::npos)
      continue;  // a NUL ends the key for every lookup
    char buffer[1 << 12];
    if (value.size() < sizeof(buffer)) {
      FUZZ_CHECK(get_config_str(key.c_str(), buffer, sizeof(buffer)));
    }
  }
  // A change makes the next flush write the file; reading it gives the same records
  // plus the change.
  if (!set_config_str("fuzz_written", "1"))
    return 0;
  FUZZ_CHECK(flush_app_config());
  Records expected = current_records();
  close_app_config();
  get_config_int("fuzz", &unused);
  FUZZ_CHECK(current_records() == expected);
  close_app_config();
  return 0;
}
