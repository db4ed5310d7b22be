// ConfigNode: the tree, its reader and its writer.
#include "engine/core/config.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "engine/core/log.h"
#include "engine/core/stream.h"
#include "engine/core/vfs.h"

static const char VERSION_KEY[] = "_CONFIG_VERSION_";

// ---- the tree -----------------------------------------------------------------

ConfigNode::ConfigNode(const char* nodeName) : name(nodeName) {}

ConfigNode::ConfigNode(const ConfigNode& other) : name(other.name), entries(other.entries) {
  children.reserve(other.children.size());
  for (const ConfigNode* child : other.children) {
    ConfigNode* copy = new ConfigNode(*child);
    copy->parent = this;
    children.push(&copy);
  }
}

ConfigNode::~ConfigNode() { clear(); }

static bool same_text(const String& s, const char* text) {
  int l = text ? (int)strlen(text) : 0;
  return s.len() == l && (l == 0 || memcmp(s.c_str(), text, (size_t)l) == 0);
}

// The characters from value up to valueEnd, or to its terminator; null is "".
static void assign_value(String& out, const char* value, const char* valueEnd) {
  if (!value)
    out.clear();
  else
    out.assignBytes(value, valueEnd ? (int)(valueEnd - value) : (int)strlen(value));
}

void ConfigNode::addEntry(const char* key, const char* value, const char* valueEnd) {
  ConfigEntry& e = entries.push();
  e.key.assign(key);
  assign_value(e.value, value, valueEnd);
}

void ConfigNode::setStr(const char* key, const char* value, const char* valueEnd) {
  int i = findEntry(key);
  if (i < 0)
    return addEntry(key, value, valueEnd);
  assign_value(entries[i].value, value, valueEnd);
}

void ConfigNode::setInt(const char* key, int value) {
  char text[16];
  snprintf(text, sizeof(text), "%d", value);
  setStr(key, text);
}

int ConfigNode::findEntry(const char* key, int start) const {
  for (int i = start < 0 ? 0 : start; i < entries.size(); i++)
    if (same_text(entries[i].key, key))
      return i;
  return -1;
}

bool ConfigNode::hasValue(const char* key) const { return findEntry(key) >= 0; }

const char* ConfigNode::getStr(const char* key, const char* def) const {
  int i = findEntry(key);
  return i < 0 ? def : entries[i].value.c_str();
}

int ConfigNode::getInt(const char* key, int def) const {
  int i = findEntry(key);
  if (i < 0)
    return def;
  int value = def;
  parse_int(entries[i].value.c_str(), &value);
  return value;
}

double ConfigNode::getFloat(const char* key, double def) const {
  int i = findEntry(key);
  if (i < 0)
    return def;
  double value = def;
  parse_double(entries[i].value.c_str(), &value);
  return value;
}

int ConfigNode::findNode(const char* nodeName, int start) const {
  for (int i = start < 0 ? 0 : start; i < children.size(); i++)
    if (same_text(children[i]->name, nodeName))
      return i;
  return -1;
}

ConfigNode* ConfigNode::getNode(const char* nodeName, int start) const {
  int i = findNode(nodeName, start);
  return i < 0 ? nullptr : children[i];
}

ConfigNode* ConfigNode::getOrAddNode(const char* nodeName) {
  ConfigNode* node = getNode(nodeName);
  return node ? node : addNode(nodeName);
}

ConfigNode* ConfigNode::addNode(const char* nodeName, int at) {
  ConfigNode* node = new ConfigNode(nodeName);
  node->parent = this;
  children.insert(at < 0 ? children.size() : at, 1, &node);
  return node;
}

void ConfigNode::removeNode(int index) {
  if (index < 0 || index >= children.size())
    return;
  delete children[index];
  children.remove(index, 1);
}

void ConfigNode::clear() {
  for (ConfigNode* child : children)
    delete child;
  children.clearAndFree();
  entries.clearAndFree();
  name.clear();
}

// ---- reading ------------------------------------------------------------------

namespace {

bool is_blank(char c) { return c == ' ' || c == '\t'; }
bool is_line_end(char c) { return c == '\r' || c == '\n'; }
bool is_quote(char c) { return c == '"' || c == '\''; }

struct Token {
  const char* begin = nullptr;
  const char* end = nullptr;
  int len() const { return (int)(end - begin); }
};

struct Reader {
  const char* end;
  bool tooDeep = false;

  bool startsComment(const char* p) const { return p + 1 < end && p[0] == '/' && p[1] == '/'; }

  const char* skipBlanks(const char* p) const {
    while (p < end && is_blank(*p))
      p++;
    return p;
  }

  // A quoted string from its opening quote, quotes included. A line end stops
  // an unterminated string; a backslash takes the next character, or the whole
  // run of line ends after it (the string continues on the next line).
  const char* scanQuoted(const char* p) const {
    char quote = *p++;
    while (p < end && !is_line_end(*p)) {
      char c = *p++;
      if (c == quote)
        break;
      if (c == '\\') {
        if (p >= end)
          break;
        if (!is_line_end(*p))
          p++;
        else
          while (p < end && is_line_end(*p))
            p++;
      }
    }
    return p;
  }

  // Reads items into node until the end or a "}" at the start of an item.
  const char* parseItems(ConfigNode* node, const char* p, int depth);
};

// A token as text: quoted tokens lose their quotes and have escapes resolved.
void token_to_string(const Token& t, String& out) {
  int l = t.len();
  if (l < 2 || !is_quote(t.begin[0]) || t.begin[l - 1] != t.begin[0]) {
    out.assignBytes(t.begin, l);
    return;
  }
  DynArray<char> text;
  text.reserve(l);
  for (const char* p = t.begin + 1; p < t.end - 1; p++) {
    char c = *p;
    if (c == '\\' && p + 1 < t.end - 1) {
      c = *++p;
      if (c == 'r')
        c = '\r';
      else if (c == 'n')
        c = '\n';
      else if (c == 't')
        c = '\t';
      else if (c == '0')
        c = 0;
    }
    text.push(&c);
  }
  out.assignBytes(text.data, text.size());
}

const char* Reader::parseItems(ConfigNode* node, const char* p, int depth) {
  for (;;) {
    p = skipBlanks(p);
    if (p >= end || *p == '}')
      return p;
    Token key, value;
    bool hasKey = false, hasValue = false;
    if (!is_line_end(*p) && !startsComment(p)) {
      hasKey = true;
      key.begin = p;
      if (is_quote(*p))
        p = scanQuoted(p);
      else
        while (p < end && !is_blank(*p) && *p != '=' && *p != '{' && !is_line_end(*p))
          p++;
      key.end = p;
      p = skipBlanks(p);
      if (p < end && *p == '{') {
        if (depth >= CONFIG_MAX_DEPTH) {
          tooDeep = true;
          return p;
        }
        ConfigNode* child = node->addNode(nullptr);
        token_to_string(key, child->name);
        p = parseItems(child, p + 1, depth + 1);
        if (tooDeep)
          return p;
        if (p < end && *p == '}')
          p++;
        hasKey = false;
      } else if (p < end && *p == '=') {
        p = skipBlanks(p + 1);
        value.begin = p;
        if (p < end && is_quote(*p)) {
          p = scanQuoted(p);
          value.end = p;
        } else {
          while (p < end && !is_line_end(*p))
            p++;
          value.end = p;
          while (value.end > value.begin && is_blank(value.end[-1]))
            value.end--;
        }
        hasValue = true;
      }
    }
    if (startsComment(p))
      while (p < end && !is_line_end(*p))
        p++;
    while (p < end && is_line_end(*p))
      p++;
    if (hasKey && hasValue &&
        !(key.len() == (int)sizeof(VERSION_KEY) - 1 && memcmp(key.begin, VERSION_KEY, sizeof(VERSION_KEY) - 1) == 0)) {
      ConfigEntry& e = node->entries.push();
      token_to_string(key, e.key);
      token_to_string(value, e.value);
    }
  }
}

}  // namespace

// Parses into node; on too deep nesting removes what was appended and returns -1.
static int parse_into(ConfigNode* node, const char* text, int len) {
  int oldEntries = node->entries.size();
  int oldChildren = node->children.size();
  Reader reader{text + len};
  const char* stop = reader.parseItems(node, text, 0);
  if (!reader.tooDeep)
    return (int)(stop - text);
  node->entries.resize(oldEntries);
  while (node->children.size() > oldChildren)
    node->removeNode(node->children.size() - 1);
  return -1;
}

int ConfigNode::parse(const char* text, int len) {
  int used = parse_into(this, text, len);
  if (used < 0)
    debug("config: blocks nested deeper than %d levels", CONFIG_MAX_DEPTH);
  return used;
}

bool ConfigNode::load(const char* path) {
  DynArray<unsigned char> bytes;
  if (!load_physfs_file(path, bytes))
    return false;
  if (parse_into(this, (const char*)bytes.data, bytes.size()) < 0) {
    debug("config '%s': blocks nested deeper than %d levels", path, CONFIG_MAX_DEPTH);
    return false;
  }
  return true;
}

ConfigNode* ConfigNode::fromFile(const char* path) {
  ConfigNode* node = new ConfigNode();
  if (node->load(path))
    return node;
  delete node;
  return nullptr;
}

// ---- writing ------------------------------------------------------------------

static bool needs_quotes(const String& s, bool isKey) {
  const char* text = s.c_str();
  int l = s.len();
  for (int i = 0; i < l; i++) {
    char c = text[i];
    if (c == 0 || c == '\r' || c == '\n' || c == '"' || c == '\'' || c == ' ' || c == '\t')
      return true;
    if (isKey && (c == '=' || c == '{'))
      return true;
  }
  // What would end a block, start a comment or be dropped as the header's key.
  return isKey && l > 0 &&
         (text[0] == '}' || (l > 1 && text[0] == '/' && text[1] == '/') || same_text(s, VERSION_KEY));
}

static void write_text(OutputStream& out, const String& s, bool isKey) {
  if (!needs_quotes(s, isKey)) {
    out.write(s.c_str(), s.len());
    return;
  }
  DynArray<char> q;
  q.reserve(s.len() * 2 + 2);
  auto put = [&](char c) { q.push(&c); };
  put('"');
  for (int i = 0; i < s.len(); i++) {
    char c = s.c_str()[i];
    switch (c) {
      case '\\': put('\\'); put('\\'); break;
      case '\r': put('\\'); put('r'); break;
      case '\n': put('\\'); put('n'); break;
      case '\t': put('\\'); put('t'); break;
      case 0: put('\\'); put('0'); break;
      case '"': put('\\'); put('"'); break;
      default: put(c);
    }
  }
  put('"');
  out.write(q.data, q.size());
}

static void write_indent(OutputStream& out, int depth) {
  for (int i = 0; i < 2 * depth; i++)
    out.write(" ", 1);
}

void ConfigNode::write(OutputStream& out, int depth) const {
  for (const ConfigEntry& e : entries) {
    write_indent(out, depth);
    write_text(out, e.key, true);
    out.write("=", 1);
    write_text(out, e.value, false);
    out.write("\r\n", 2);
  }
  for (const ConfigNode* child : children) {
    out.write("\r\n", 2);
    write_indent(out, depth);
    write_text(out, child->name, true);
    if (!child->name.isEmpty())
      out.write(" ", 1);
    out.write("{\r\n", 3);
    child->write(out, depth + 1);
    write_indent(out, depth);
    out.write("}\r\n", 3);
  }
}

// True when blocks below node nest deeper than `levels`.
static bool nests_deeper(const ConfigNode* node, int levels) {
  for (const ConfigNode* child : node->children)
    if (levels == 0 || nests_deeper(child, levels - 1))
      return true;
  return false;
}

// The real path of a file relative to the virtual file system's write folder.
static bool real_write_path(const char* path, char* out, size_t size) {
  const char* dir = PHYSFS_getWriteDir();
  if (!dir)
    return false;
  size_t l = strlen(dir);
  const char* sep = l > 0 && dir[l - 1] == '/' ? "" : "/";
  return (size_t)snprintf(out, size, "%s%s%s", dir, sep, path) < size;
}

bool ConfigNode::save(const char* path) const {
  if (nests_deeper(this, CONFIG_MAX_DEPTH)) {
    debug("config '%s': not saved, blocks nested deeper than %d levels", path, CONFIG_MAX_DEPTH);
    return false;
  }
  char tempPath[1024];
  if ((size_t)snprintf(tempPath, sizeof(tempPath), "%s.tmp", path) >= sizeof(tempPath))
    return false;
  char realTemp[4096], realTarget[4096];
  if (!real_write_path(tempPath, realTemp, sizeof(realTemp)) || !real_write_path(path, realTarget, sizeof(realTarget)))
    return false;

  PhysFSFileOutputStream out(tempPath, false);
  if (!out.isOpen())
    return false;
  bool ok = true;
  try {
    static const char header[] = "_CONFIG_VERSION_=2\r\n\r\n";
    out.write(header, (int)sizeof(header) - 1);
    write(out, 0);
  } catch (const OutputStream::Exception&) {
    ok = false;
  }
  ok = out.close() && ok;
  if (ok) {
    // On the disk before it replaces the old file.
    int fd = open(realTemp, O_RDONLY);
    ok = fd >= 0 && fsync(fd) == 0;
    if (fd >= 0)
      close(fd);
  }
  if (ok)
    ok = rename(realTemp, realTarget) == 0;
  if (!ok)
    PHYSFS_delete(tempPath);
  return ok;
}
