// "settings.cfg": loading, the typed accessors and the safe write-back.
#include "engine/core/settings.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "engine/core/log.h"
#include "engine/core/strings.h"
#include "engine/core/utils.h"

static const char SETTINGS_FILE[] = "settings.cfg";
static const char VERSION_KEY[] = "_CONFIG_VERSION_";

// State of the records; the list itself is one of the core globals.
static bool settings_loaded;      // the first access has tried to read the file
static bool settings_saved;       // the file on disk holds the list
static bool settings_unreadable;  // the file exists but could not be read: never overwrite it
static bool settings_write_failing;  // the last flush failed (log once per failing streak)

static char* copy_text(const char* text, int len) {
  char* p = (char*)dlmalloc((size_t)len + 1);
  ASSERT(p);
  if (len > 0)
    memcpy(p, text, (size_t)len);
  p[len] = 0;
  return p;
}

SettingRecord::SettingRecord(const SettingRecord& other) {
  setKey(other.key, other.keyLen);
  setValue(other.value, other.valueLen);
}

SettingRecord& SettingRecord::operator=(const SettingRecord& other) {
  if (this != &other) {
    setKey(other.key, other.keyLen);
    setValue(other.value, other.valueLen);
  }
  return *this;
}

SettingRecord::~SettingRecord() {
  dlfree(key);
  dlfree(value);
}

void SettingRecord::setKey(const char* text, int len) {
  char* copy = copy_text(text, len);
  dlfree(key);
  key = copy;
  keyLen = len;
}

void SettingRecord::setValue(const char* text, int len) {
  char* copy = copy_text(text, len);
  dlfree(value);
  value = copy;
  valueLen = len;
}

static void append_record(const char* key, int keyLen, const char* value, int valueLen) {
  SettingRecord& r = setting_records.push();
  r.setKey(key, keyLen);
  r.setValue(value, valueLen);
}

static bool is_blank(char c) { return c == ' ' || c == '\t'; }
static bool is_line_end(char c) { return c == '\r' || c == '\n'; }

// The file's text, NUL-terminated: key=value lines, "//" comments.
static void parse_settings(const char* p) {
  while (*p) {
    while (is_blank(*p))
      p++;
    if (p[0] == '/' && p[1] == '/') {
      while (*p && !is_line_end(*p))
        p++;
    } else if (*p && !is_line_end(*p)) {
      const char* key = p;
      while (*p && !is_blank(*p) && *p != '=' && !is_line_end(*p))
        p++;
      int keyLen = (int)(p - key);
      while (is_blank(*p))
        p++;
      if (*p == '=') {
        p++;
        while (is_blank(*p))
          p++;
        const char* value = p;
        while (*p && !is_line_end(*p))
          p++;
        const char* valueEnd = p;
        while (valueEnd > value && is_blank(valueEnd[-1]))
          valueEnd--;
        if (!(keyLen == (int)sizeof(VERSION_KEY) - 1 && memcmp(key, VERSION_KEY, (size_t)keyLen) == 0))
          append_record(key, keyLen, value, (int)(valueEnd - value));
      } else if (p[0] == '/' && p[1] == '/') {
        while (*p && !is_line_end(*p))
          p++;
      }
      // Anything else after a dropped key is read as a new item.
    }
    while (is_line_end(*p))
      p++;
  }
}

// The whole file into a NUL-terminated heap block; null on failure with errno set.
static char* read_whole_file(FILE* f) {
  struct stat st;
  if (fstat(fileno(f), &st) != 0)
    return nullptr;
  if (!S_ISREG(st.st_mode) || st.st_size > INT_MAX - 1) {
    errno = S_ISDIR(st.st_mode) ? EISDIR : EFBIG;
    return nullptr;
  }
  size_t length = (size_t)st.st_size;
  char* text = (char*)dlmalloc(length + 1);
  ASSERT(text);
  if (fread(text, 1, length, f) != length) {
    if (!ferror(f))
      errno = EIO;  // the file shrank while it was read
    dlfree(text);
    return nullptr;
  }
  text[length] = 0;
  return text;
}

static void load_app_config() {
  settings_loaded = true;
  settings_saved = false;
  TempString<260> path = get_appdata_folder_path(SETTINGS_FILE);
  FILE* f = fopen(path, "rb");
  if (!f) {
    if (errno != ENOENT) {
      settings_unreadable = true;
      debug("settings: can't read '%s' (%s); it will not be overwritten", path.c_str(), strerror(errno));
    }
    return;  // no file yet: the first flush creates it
  }
  char* text = read_whole_file(f);
  int err = errno;
  fclose(f);
  if (!text) {
    settings_unreadable = true;
    debug("settings: can't read '%s' (%s); it will not be overwritten", path.c_str(), strerror(err));
    return;
  }
  setting_records.clear();
  parse_settings(text);
  dlfree(text);
  settings_saved = true;
}

static void ensure_loaded() {
  if (!settings_loaded)
    load_app_config();
}

static SettingRecord* find_record(const char* key) {
  if (!key)
    return nullptr;
  int keyLen = (int)strlen(key);
  for (SettingRecord& r : setting_records)
    if (r.keyLen == keyLen && memcmp(r.key, key, (size_t)keyLen) == 0)
      return &r;
  return nullptr;
}

bool get_config_str(const char* key, char* buffer, int size) {
  ensure_loaded();
  SettingRecord* r = find_record(key);
  if (!r || r->valueLen + 1 > size)
    return false;
  memcpy(buffer, r->value, (size_t)r->valueLen + 1);
  return true;
}

bool get_config_int(const char* key, int* out) {
  char text[64];
  if (!get_config_str(key, text, sizeof(text)))
    return false;
  return parse_int(text, out);
}

bool get_config_bool(const char* key, bool* out) {
  int value;
  if (!get_config_int(key, &value))
    return false;
  *out = value != 0;
  return true;
}

bool get_config_float(const char* key, float* out) {
  char text[64];
  if (!get_config_str(key, text, sizeof(text)))
    return false;
  double value;
  if (!parse_double(text, &value))
    return false;
  *out = (float)value;
  return true;
}

// Why the file could not carry this key, or null when it can.
static const char* key_problem(const char* key) {
  if (strpbrk(key, " \t=\r\n"))
    return "it holds a space, tab, '=' or line break";
  if (key[0] == '/' && key[1] == '/')
    return "it begins with '//'";
  if (strcmp(key, VERSION_KEY) == 0)
    return "it is reserved";
  return nullptr;
}

static const char* value_problem(const char* value, int len) {
  for (int i = 0; i < len; i++)
    if (value[i] == 0 || is_line_end(value[i]))
      return "it holds a NUL or line break";
  if (len > 0 && (is_blank(value[0]) || is_blank(value[len - 1])))
    return "it begins or ends with a space or tab";
  return nullptr;
}

bool set_config_str(const char* key, const char* value, int len) {
  if (!key)
    return false;
  if (!value)
    value = "";
  if (len < 0)
    len = (int)strlen(value);
  if (const char* problem = key_problem(key)) {
    debug("settings: refused key '%s': %s", key, problem);
    return false;
  }
  if (const char* problem = value_problem(value, len)) {
    debug("settings: refused value of '%s': %s", key, problem);
    return false;
  }
  ensure_loaded();
  if (SettingRecord* r = find_record(key))
    r->setValue(value, len);
  else
    append_record(key, (int)strlen(key), value, len);
  settings_saved = false;
  return true;
}

bool set_config_int(const char* key, int value) {
  TempString<32> text;
  return set_config_str(key, text.format("%d", value));
}

bool set_config_bool(const char* key, bool value) { return set_config_int(key, value ? 1 : 0); }

bool set_config_float(const char* key, float value) {
  TempString<64> text;
  return set_config_str(key, text.format("%g", (double)value));
}

static bool write_all(FILE* f, const char* text, size_t len) {
  return len == 0 || fwrite(text, 1, len, f) == len;
}

// The records into `path`, flushed to the disk; false on any failure.
static bool write_settings_file(const char* path) {
  FILE* f = fopen(path, "w");
  if (!f)
    return false;
  static const char header[] = "// Game settings\n_CONFIG_VERSION_=1\n\n";
  bool ok = write_all(f, header, sizeof(header) - 1);
  for (int i = 0; ok && i < setting_records.size(); i++) {
    const SettingRecord& r = setting_records[i];
    ok = write_all(f, r.key, (size_t)r.keyLen) && write_all(f, "=", 1) &&
         write_all(f, r.value, (size_t)r.valueLen) && write_all(f, "\n", 1);
  }
  ok = ok && fflush(f) == 0 && fsync(fileno(f)) == 0;
  return fclose(f) == 0 && ok;
}

bool flush_app_config() {
  // A flush before anything was read must not replace the file with an empty list.
  ensure_loaded();
  if (settings_saved)
    return true;
  if (settings_unreadable)
    return false;  // logged when the load failed
  // Write beside the real file (a link to the settings is kept as a link) and
  // rename over it, so the old settings survive any failure.
  TempString<260> path = get_appdata_folder_path(SETTINGS_FILE);
  char target[PATH_MAX];
  if (!realpath(path, target))
    snprintf(target, sizeof(target), "%s", path.c_str());
  char temp[PATH_MAX + 8];
  snprintf(temp, sizeof(temp), "%s.tmp", target);
  bool ok = write_settings_file(temp);
  int err = errno;
  if (ok && rename(temp, target) != 0) {
    ok = false;
    err = errno;
  }
  // A failed save is not tried again every second: the next change tries again.
  settings_saved = true;
  if (!ok) {
    unlink(temp);
    if (!settings_write_failing)
      debug("settings: can't save '%s' (%s); will try again after the next change", target, strerror(err));
    settings_write_failing = true;
    return false;
  }
  settings_write_failing = false;
  debug("app config saved");
  return true;
}

void close_app_config() {
  setting_records.clearAndFree();
  settings_loaded = false;
  settings_saved = false;
  settings_unreadable = false;
  settings_write_failing = false;
}
