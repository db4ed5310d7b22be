// The nested configuration reader: any bytes parse without harm, and a tree that was
// read is saved and loads back unchanged, as the writer promises.
#include "engine/core/config.h"
#include "tools/fuzz/fuzz_support.h"

#include <cstring>

static bool same_tree(const ConfigNode& a, const ConfigNode& b) {
  if (a.entries.size() != b.entries.size() || a.children.size() != b.children.size())
    return false;
  for (int i = 0; i < a.entries.size(); i++)
    if (!(a.entries[i].key == b.entries[i].key) || !(a.entries[i].value == b.entries[i].value))
      return false;
  for (int i = 0; i < a.children.size(); i++)
    if (!(a.children[i]->name == b.children[i]->name) || !same_tree(*a.children[i], *b.children[i]))
      return false;
  return true;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > 1 << 20)
    return 0;
  fuzz_init_folder();
  ConfigNode tree;
  if (tree.parse((const char*)data, (int)size) < 0)
    return 0;
  FUZZ_CHECK(tree.save("fuzz.cfg"));
  ConfigNode* back = ConfigNode::fromFile("fuzz.cfg");
  FUZZ_CHECK(back);
  FUZZ_CHECK(same_tree(tree, *back));
  delete back;
  // The file reader agrees with the text reader.
  ConfigNode* loaded = ConfigNode::fromFile(fuzz_put_file("input.cfg", data, size));
  FUZZ_CHECK(loaded && same_tree(tree, *loaded));
  delete loaded;
  return 0;
}
