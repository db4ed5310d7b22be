// The nested configuration tree and its text format.
#include "engine/core/config.h"

#include <climits>
#include <string>
#include <vector>

#include "engine/core/stream.h"
#include "temp_folder.h"

namespace {

// Collects what is written, so a tree can be parsed back without a file.
class MemoryOutputStream : public OutputStream {
 public:
  std::string bytes;
  void write(const void* buffer, int n) override { bytes.append((const char*)buffer, (size_t)n); }
  int tell() override { return (int)bytes.size(); }
  void seek(int) override {}
  void seekEnd(int) override {}
};

std::string quoted(const String& s) {
  std::string out = "<";
  for (int i = 0; i < s.len(); i++) {
    unsigned char c = (unsigned char)s.c_str()[i];
    if (c < 32 || c == '<' || c == '>' || c == '\\') {
      char hex[8];
      snprintf(hex, sizeof(hex), "\\%02x", c);
      out += hex;
    } else {
      out += (char)c;
    }
  }
  return out + ">";
}

// The tree as one line: entries as <key>=<value>, blocks as <name>{...}.
std::string dump(const ConfigNode& node) {
  std::string out;
  for (const ConfigEntry& e : node.entries)
    out += quoted(e.key) + "=" + quoted(e.value) + ";";
  for (const ConfigNode* child : node.children)
    out += quoted(child->name) + "{" + dump(*child) + "}";
  return out;
}

std::string parsed(const std::string& text) {
  ConfigNode node;
  node.parse(text.data(), (int)text.size());
  return dump(node);
}

std::string written(const ConfigNode& node) {
  MemoryOutputStream out;
  node.write(out, 0);
  return out.bytes;
}

TEST(ConfigParse, TableOfTexts) {
  struct Case {
    const char* text;
    const char* tree;
  } cases[] = {
      {"a = 1   \r\n", "<a>=<1>;"},
      {"a=\"x y\" // note\n", "<a>=<x y>;"},
      {"a=1 }\n", "<a>=<1 }>;"},                       // a value runs to its line end
      {"a=1 // not a comment\n", "<a>=<1 // not a comment>;"},
      {"name\n{\nb=2\n}\n", "<>{<b>=<2>;}"},            // the name must stand on the brace's line
      {"x y=1\nword\n", "<y>=<1>;"},
      {"=v\n", "<>=<v>;"},
      {"_CONFIG_VERSION_=2\n\"_CONFIG_VERSION_\"=3\n", "<_CONFIG_VERSION_>=<3>;"},
      {"b { _CONFIG_VERSION_=2\n c=1 }", "<b>{<c>=<1 }>;}"},
      {"v='a\\tb'\n", "<v>=<a\\09b>;"},
      {"v=\"abc\n", "<v>=<\"abc>;"},                    // a quote at one end only stays
      {"'k 1'=\"q\\\"\\\\\"\n", "<k 1>=<q\"\\5c>;"},
      {"k=\"line\\\r\nnext\"\n", "<k>=<line\\0d\\0anext>;"},  // backslash at a line end continues
      // "b=2}" keeps its brace, so the next "}" closes u and t stays open to the end.
      {"t{a=1\nu{b=2}\n}\nc=3", "<t>{<a>=<1>;<c>=<3>;<u>{<b>=<2}>;}}"},
      {"t{\n  u{\n    b=2\n  }\n}\nc=3\n", "<c>=<3>;<t>{<u>{<b>=<2>;}}"},
      {"a=1\n}\nb=2\n", "<a>=<1>;"},                    // an unmatched brace ends the outermost parse
      {"open{\na=1\n", "<open>{<a>=<1>;}"},             // a block still open at the end closes there
      {"// only a comment\n\n\r\n", ""},
      {"\tk\t=\tv\t\n", "<k>=<v>;"},
  };
  for (const Case& c : cases)
    EXPECT_EQ(parsed(c.text), c.tree) << "text: " << c.text;
}

TEST(ConfigParse, ReturnsBytesUpToTheUnmatchedBrace) {
  ConfigNode node;
  const char text[] = "a=1\n}\nb=2";
  EXPECT_EQ(node.parse(text, (int)strlen(text)), 4);
  const char none[] = "a=1\n";
  EXPECT_EQ(node.parse(none, 4), 4);
  EXPECT_EQ(node.entries.size(), 2);  // parsing appends
}

TEST(ConfigWrite, ExactLayout) {
  ConfigNode root;
  root.addEntry("a", "1");
  root.addNode("tile")->addEntry("b", "2");
  EXPECT_EQ(written(root), "a=1\r\n\r\ntile {\r\n  b=2\r\n}\r\n");
  ConfigNode unnamed;
  unnamed.addNode(nullptr)->addEntry("k", "");
  EXPECT_EQ(written(unnamed), "\r\n{\r\n  k=\r\n}\r\n");
}

TEST(ConfigWrite, QuotesOnlyWhatNeedsIt) {
  ConfigNode node;
  node.addEntry("plain", "back\\slash");
  node.addEntry("spaced", "x y");
  node.addEntry("eq", "a=b{c}//d");
  EXPECT_EQ(written(node), "plain=back\\slash\r\nspaced=\"x y\"\r\neq=a=b{c}//d\r\n");
}

// Every key, name and value survives a write and a read, whatever it holds.
TEST(ConfigWrite, AwkwardTextsRoundTrip) {
  const std::vector<std::string> texts = {
      "",          "plain",          "x y",           " lead",       "trail ",    "tab\there",
      "line\nbreak", "cr\rlf\r\n",   std::string("nul\0in", 6),     "\"quoted\"", "'single'",
      "back\\slash", "\\",           "a=b",           "=",           "{",         "}",
      "}lead",     "mid}dle",        "//comment",     "/one",        "a//b",      "_CONFIG_VERSION_",
      "\\\"",      "ends\\",         "k=v\nother=1",  "name {",      "\xc3\xa9t\xc3\xa9",
  };
  for (const std::string& t : texts) {
    ConfigNode tree;
    ConfigEntry& e = tree.entries.push();
    e.key.assignBytes(t.data(), (int)t.size());
    e.value.assignBytes(t.data(), (int)t.size());
    tree.addEntry("after", "1");
    ConfigNode* child = tree.addNode(nullptr);
    child->name.assignBytes(t.data(), (int)t.size());
    ConfigEntry& inner = child->entries.push();
    inner.key.assignBytes(t.data(), (int)t.size());
    inner.value.assign("v");
    tree.addNode("next")->addEntry("z", "2");

    std::string text = written(tree);
    ConfigNode back;
    back.parse(text.data(), (int)text.size());
    EXPECT_EQ(dump(back), dump(tree)) << "text " << quoted(String(t.c_str())) << " written as:\n" << text;
  }
}

TEST(ConfigTree, Accessors) {
  ConfigNode node("root");
  node.addEntry("hex", "0x10");
  node.addEntry("oct", "010");
  node.addEntry("neg", "  -7 trailing");
  node.addEntry("word", "abc");
  node.addEntry("float", "1.5e2");
  node.addEntry("empty", "");
  node.addEntry("dup", "first");
  node.addEntry("dup", "second");
  node.addEntry("part", "abcdef", nullptr);
  const char* value = "123456";
  node.addEntry("cut", value, value + 3);

  EXPECT_EQ(node.getInt("hex", 0), 16);
  EXPECT_EQ(node.getInt("oct", 0), 8);
  EXPECT_EQ(node.getInt("neg", 0), -7);
  EXPECT_EQ(node.getInt("word", 5), 5);
  EXPECT_EQ(node.getInt("missing", 9), 9);
  // Out of the int range: clamped, never wrapped.
  struct Range {
    const char* text;
    int value;
  } ranges[] = {{"4294967297", INT_MAX},        {"-4294967297", INT_MIN},     {"2147483648", INT_MAX},
                {"-2147483649", INT_MIN},       {"0x100000001", INT_MAX},     {"99999999999999999999999", INT_MAX},
                {"2147483647", INT_MAX},        {"-2147483648", INT_MIN}};
  for (const Range& r : ranges) {
    ConfigNode big("big");
    big.addEntry("n", r.text);
    EXPECT_EQ(big.getInt("n", 5), r.value) << r.text;
  }
  EXPECT_DOUBLE_EQ(node.getFloat("float", 0), 150.0);
  EXPECT_DOUBLE_EQ(node.getFloat("word", 2.5), 2.5);
  EXPECT_STREQ(node.getStr("empty", "def"), "");
  EXPECT_STREQ(node.getStr("missing", "def"), "def");
  EXPECT_STREQ(node.getStr("cut", nullptr), "123");
  EXPECT_TRUE(node.hasValue("empty"));
  EXPECT_FALSE(node.hasValue("Hex"));  // case matters

  EXPECT_EQ(node.findEntry("dup", -3), 6);
  EXPECT_EQ(node.findEntry("dup", 7), 7);
  EXPECT_EQ(node.findEntry("dup", 8), -1);
  node.setStr("dup", "changed");
  EXPECT_STREQ(node.entries[6].value.c_str(), "changed");
  EXPECT_STREQ(node.entries[7].value.c_str(), "second");
  node.setInt("new", -12);
  EXPECT_STREQ(node.getStr("new", nullptr), "-12");
}

TEST(ConfigTree, ChildrenAndCopies) {
  ConfigNode root;
  ConfigNode* b = root.addNode("b");
  ConfigNode* a = root.addNode("a", 0);
  ConfigNode* c = root.getOrAddNode("c");
  EXPECT_EQ(root.getOrAddNode("a"), a);
  EXPECT_EQ(root.findNode("c"), 2);
  EXPECT_EQ(root.getNode("b"), b);
  EXPECT_EQ(root.getNode("b", 2), nullptr);
  EXPECT_EQ(c->parent, &root);
  b->addNode("deep")->addEntry("k", "v");

  ConfigNode copy(root);
  EXPECT_EQ(copy.parent, nullptr);
  EXPECT_EQ(dump(copy), dump(root));
  ASSERT_EQ(copy.children.size(), 3);
  EXPECT_NE(copy.children[1], b);
  EXPECT_EQ(copy.children[1]->parent, &copy);
  EXPECT_EQ(copy.children[1]->children[0]->parent, copy.children[1]);

  root.removeNode(1);
  root.removeNode(5);
  root.removeNode(-1);
  EXPECT_EQ(dump(root), "<a>{}<c>{}");
  EXPECT_EQ(dump(copy), "<a>{}<b>{<deep>{<k>=<v>;}}<c>{}");
  copy.clear();
  EXPECT_TRUE(copy.name.isEmpty());
  EXPECT_EQ(copy.children.size(), 0);
}

TEST(ConfigTreeDeathTest, InsertingPastTheEndIsFatal) {
  EXPECT_EXIT(
      {
        ConfigNode root;
        root.addNode("x", 2);
      },
      ::testing::ExitedWithCode(100), "failed ASSERT\\(at>=0 && at<=num\\)");
}

// n blocks nested inside each other, each holding one entry.
std::string nested(int n) {
  std::string text;
  for (int i = 0; i < n; i++)
    text += "b" + std::to_string(i) + " {\nk=" + std::to_string(i) + "\n";
  for (int i = 0; i < n; i++)
    text += "}\n";
  return text;
}

using ConfigFileTest = VfsTest;

TEST_F(ConfigFileTest, SaveAndLoadGiveTheSameTree) {
  ConfigNode tree;
  tree.addEntry("a", "1");
  tree.addEntry("space key", "line\nbreak");
  ConfigNode* tile = tree.addNode("tile");
  tile->addEntry("dx", "3");
  tile->addNode("inner")->addEntry("x", "\"y\"");
  ASSERT_TRUE(tree.save("out.cfg"));
  EXPECT_EQ(read_file(dir / "out.cfg").substr(0, 22), "_CONFIG_VERSION_=2\r\n\r\n");
  EXPECT_FALSE(fs::exists(dir / "out.cfg.tmp"));

  ConfigNode* back = ConfigNode::fromFile("out.cfg");
  ASSERT_NE(back, nullptr);
  EXPECT_EQ(dump(*back), dump(tree));
  // A second load appends.
  ASSERT_TRUE(back->load("out.cfg"));
  EXPECT_EQ(dump(*back), "<a>=<1>;<space key>=<line\\0abreak>;<a>=<1>;<space key>=<line\\0abreak>;"
                         "<tile>{<dx>=<3>;<inner>{<x>=<\"y\">;}}<tile>{<dx>=<3>;<inner>{<x>=<\"y\">;}}");
  delete back;
  EXPECT_EQ(ConfigNode::fromFile("missing.cfg"), nullptr);
}

TEST_F(ConfigFileTest, DeepNestingIsAnErrorNamingTheFile) {
  write_file(dir / "ok.cfg", nested(CONFIG_MAX_DEPTH));
  ConfigNode* ok = ConfigNode::fromFile("ok.cfg");
  ASSERT_NE(ok, nullptr);
  ASSERT_TRUE(ok->save("ok2.cfg"));
  delete ok;

  write_file(dir / "deep.cfg", "top=1\n" + nested(100000));
  ConfigNode node;
  node.addEntry("kept", "1");
  testing::internal::CaptureStdout();
  EXPECT_FALSE(node.load("deep.cfg"));
  std::string log = testing::internal::GetCapturedStdout();
  EXPECT_NE(log.find("deep.cfg"), std::string::npos) << log;
  EXPECT_NE(log.find("nested deeper"), std::string::npos) << log;
  EXPECT_EQ(dump(node), "<kept>=<1>;");  // nothing of the bad file appended
  EXPECT_EQ(ConfigNode::fromFile("deep.cfg"), nullptr);

  std::string text = nested(CONFIG_MAX_DEPTH + 1);
  EXPECT_EQ(node.parse(text.data(), (int)text.size()), -1);
  EXPECT_EQ(dump(node), "<kept>=<1>;");
}

TEST_F(ConfigFileTest, TooDeepTreeIsNotSaved) {
  ConfigNode root;
  ConfigNode* n = &root;
  for (int i = 0; i <= CONFIG_MAX_DEPTH; i++)
    n = n->addNode("d");
  write_file(dir / "keep.cfg", "old=1\n");
  EXPECT_FALSE(root.save("keep.cfg"));
  EXPECT_EQ(read_file(dir / "keep.cfg"), "old=1\n");
}

TEST_F(ConfigFileTest, FailedSaveLeavesThePreviousFile) {
  ConfigNode small;
  small.addEntry("version", "old");
  ASSERT_TRUE(small.save("keep.cfg"));
  std::string before = read_file(dir / "keep.cfg");

  ConfigNode big;
  for (int i = 0; i < 200; i++)
    big.addEntry("key", "a value long enough to pass the limit");
  {
    FileSizeLimit limit(256);  // the write fails part way
    EXPECT_FALSE(big.save("keep.cfg"));
  }
  EXPECT_EQ(read_file(dir / "keep.cfg"), before);
  EXPECT_FALSE(fs::exists(dir / "keep.cfg.tmp"));

  // A temporary file that cannot be created fails before touching anything.
  fs::create_directories(dir / "keep.cfg.tmp");
  EXPECT_FALSE(big.save("keep.cfg"));
  EXPECT_EQ(read_file(dir / "keep.cfg"), before);
  fs::remove(dir / "keep.cfg.tmp");
  EXPECT_TRUE(big.save("keep.cfg"));
  ConfigNode* back = ConfigNode::fromFile("keep.cfg");
  ASSERT_NE(back, nullptr);
  EXPECT_EQ(back->entries.size(), 200);
  delete back;
}

}  // namespace
