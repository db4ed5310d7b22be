#pragma once
// The script VM behind the sound events, as the sound host uses it. The Squirrel
// implementation opens a reloadable VM, registers the natives of sound_natives.h and
// keeps one bound closure per event; tests drive the host with a fake.
#include <cstdint>

#include "engine/core/strings.h"

struct SoundScriptVM {
  virtual ~SoundScriptVM() = default;
  // Opens the VM (stack of 1024) and registers the seven natives; false when the
  // VM cannot be created.
  virtual bool open() = 0;
  virtual void close() = 0;
  // Runs a script file and records it for reloads; false with the VM's error.
  virtual bool include(const char* path, String& error) = 0;
  // True when one of the recorded script files changed since it last ran.
  virtual bool filesChanged() = 0;
  // Re-runs every recorded script file, forced; false with the VM's error.
  virtual bool reload(String& error) = 0;
  // Drops every event binding (closure and table reference).
  virtual void releaseEvents() = 0;
  // Binds events[i] to the slot names[i] of the root table "events" (a weak
  // reference to the table, and the closure or nothing), setting bound[i]. False
  // with the VM's error when there is no "events" table.
  virtual bool bindEvents(const char* const* names, int count, bool* bound, String& error) = 0;
  // True while the event has a closure and its table still exists.
  virtual bool isEventBound(int id) = 0;
  // Calls the event's function with `events` as this and (volume, pan). False with
  // the error text when the call fails or its result is not an integer.
  virtual bool callEvent(int id, float volume, float pan, int64_t& result, String& error) = 0;
};
