#include "engine/core/error_message.h"

#include <cstring>

#include "engine/core/log.h"
#include "engine/core/strings.h"

namespace {

struct ErrorPart {
  String source;  // "" for the part of no source
  String text;
};

DynArray<ErrorPart> error_parts;

int find_part(const char* source) {
  for (int i = 0; i < error_parts.size(); i++)
    if (strcmp(error_parts[i].source.c_str(), source) == 0)
      return i;
  return -1;
}

// The shown message, made again from the parts after each change.
void join_parts() {
  error_message_text.clear();
  for (const ErrorPart& part : error_parts) {
    if (!error_message_text.isEmpty())
      error_message_text.last() = '\n';
    error_message_text.append(part.text.len() + 1, part.text.c_str());
  }
}

// The text to store, copied first: it may be a part of the shown message, which the
// change rebuilds.
String text_of(const char* text, int len) {
  String copy;
  if (!text || len == 0)
    return copy;
  int n = len < 0 ? (int)strlen(text) : (int)strnlen(text, (size_t)len);
  copy.assignBytes(text, n);
  return copy;
}

void set_part(const char* source, String&& text) {
  int i = find_part(source);
  if (text.isEmpty()) {
    if (i >= 0)
      error_parts.remove(i, 1);
  } else {
    if (i < 0) {
      i = error_parts.size();
      error_parts.push().source.assign(source);
    }
    error_parts[i].text = static_cast<String&&>(text);
  }
  join_parts();
}

void append_part(const char* source, const char* text, int len) {
  String more = text_of(text, len);
  if (more.isEmpty())
    return;
  int i = find_part(source);
  if (i < 0) {
    set_part(source, static_cast<String&&>(more));
    return;
  }
  String& part = error_parts[i].text;
  part.insert(part.len(), "\n", 1);
  part.insert(part.len(), more.c_str(), more.len());
  join_parts();
}

}  // namespace

DynArray<char> error_message_text;

void set_source_error(const char* source, const char* text) {
  String copy = text_of(text, -1);
  bool shown = !copy.isEmpty();
  set_part(source ? source : "", static_cast<String&&>(copy));
  if (shown)
    debug("ERROR MESSAGE SET: %s", error_parts[find_part(source ? source : "")].text.c_str());
}

void append_source_error(const char* source, const char* text, int len) { append_part(source ? source : "", text, len); }

bool has_source_error(const char* source) { return find_part(source ? source : "") >= 0; }

void set_error_message(const char* text) {
  String copy = text_of(text, -1);
  error_parts.clear();
  bool shown = !copy.isEmpty();
  set_part("", static_cast<String&&>(copy));
  if (shown)
    debug("ERROR MESSAGE SET: %s", error_message_text.data);
}

void append_error_message(const char* text, int len) { append_part("", text, len); }

bool has_error_message() { return !error_message_text.isEmpty(); }
