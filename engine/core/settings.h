#pragma once
// The settings file "settings.cfg" in the per-user folder: a flat list of
// key=value lines, loaded on the first query or change and written back by
// flush_app_config (once a second from the main loop) when something changed.
// A missing setting is never an error: callers set their default first and let
// the getter overwrite it.
//
// The format has no quoting: a key or value that a line could not carry as it
// stands is refused by set_config_str with a logged error (see there).
#include "engine/core/dynarray.h"

// One setting; key and value are heap copies (engine allocator), NUL-terminated.
struct SettingRecord {
  char* key = nullptr;
  char* value = nullptr;
  int keyLen = 0;
  int valueLen = 0;

  SettingRecord() = default;
  SettingRecord(const SettingRecord& other);
  SettingRecord& operator=(const SettingRecord& other);
  ~SettingRecord();
  void setKey(const char* text, int len);
  void setValue(const char* text, int len);
};

// The records in file order, then those added later; a key read twice from the
// file gives two records and every lookup finds the first.
extern DynArray<SettingRecord> setting_records;

// Copies the value of the first record with `key` (byte-exact) and its NUL into
// buffer; false, buffer untouched, when there is none or it does not fit.
bool get_config_str(const char* key, char* buffer, int size);
// Integer with base detection (decimal, 0x hexadecimal, leading-zero octal);
// false, output untouched, when missing or no digit could be parsed.
bool get_config_int(const char* key, int* out);
bool get_config_bool(const char* key, bool* out);
bool get_config_float(const char* key, float* out);

// Replaces the value of the first record with `key`, or appends one; the
// settings count as unsaved. value null means ""; len < 0 means the whole text.
// Refused (false, logged, nothing changed), because the file would not read
// them back: a key holding a space, tab, "=", CR or LF, beginning with "//", or
// the reserved "_CONFIG_VERSION_"; a value holding CR, LF or NUL, or beginning
// or ending with a space or tab.
bool set_config_str(const char* key, const char* value, int len = -1);
bool set_config_int(const char* key, int value);
bool set_config_bool(const char* key, bool value);
bool set_config_float(const char* key, float value);

// Writes the file when a change is pending: into "settings.cfg.tmp" beside it,
// then renamed over the old one, so a failed write leaves the old file intact
// and is retried at the next flush. A file that exists but could not be read is
// never overwritten. True when nothing was pending or the write succeeded.
bool flush_app_config();

// Forgets the loaded settings and their state; the next access reads the file
// again. For shut-down and tests.
void close_app_config();
