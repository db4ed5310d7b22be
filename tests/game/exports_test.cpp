// The module takes the game flow's names as weak references, so that it loads into
// hosts without the game flow; the game itself must export every one of them, or the
// module would run there with the controls or the modes missing.
#include <gtest/gtest.h>

#include <set>
#include <string>

#include "tests/support/dynamic_symbols.h"

namespace {

// Names `nm -D` lists with one of the given types; versioned names (the C and C++
// runtime's) are left out.
std::set<std::string> dynamic_symbols(const std::string& file, const std::string& options, const char* types) {
  std::set<std::string> names;
  for (const DynamicSymbol& s : nm_dynamic_symbols(file, options))
    if (s.name.find('@') == std::string::npos && std::string(types).find(s.type) != std::string::npos)
      names.insert(s.name);
  return names;
}

TEST(GameExports, TheGameExportsEveryNameTheModuleTakesWeakly) {
  std::string bin = TORVANE_TEST_BIN_DIR;
  std::set<std::string> weak = dynamic_symbols(bin + "/gameobj.so", "--undefined-only", "wv");
  std::set<std::string> exported = dynamic_symbols(bin + "/torvane", "--defined-only", "TDBRVWiu");
  int checked = 0;
  for (const std::string& name : weak) {
    // The C runtime's own optional hooks are no concern of the game.
    if (name.rfind("_ITM_", 0) == 0 || name.rfind("__gmon", 0) == 0)
      continue;
    checked++;
    EXPECT_TRUE(exported.count(name)) << name << " is not exported by the game";
  }
  EXPECT_GE(checked, 15) << "the controls, the modes, the progress and the shake";
}

}  // namespace
