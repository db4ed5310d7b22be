#pragma once
// The sound script's VM in Squirrel: runs "sound/sound.nut" read through the virtual
// file system, offers the natives of sound_natives.h, and holds one closure per
// sound event with a weak reference to the script's `events` table.
#include <squirrel.h>

#include "engine/audio/sound_events.h"
#include "engine/core/dynarray.h"
#include "engine/core/strings.h"

class SquirrelSoundVM : public SoundScriptVM {
public:
  ~SquirrelSoundVM() override;
  bool open() override;
  void close() override;
  bool include(const char* path, String& error) override;
  bool filesChanged() override;
  bool reload(String& error) override;
  void releaseEvents() override;
  bool bindEvents(const char* const* names, int count, bool* bound, String& error) override;
  bool isEventBound(int id) override;
  bool callEvent(int id, float volume, float pan, int64_t& result, String& error) override;

  HSQUIRRELVM vm = nullptr;
  // The last compile or run-time error the VM reported.
  String lastError;

private:
  struct ScriptFile {
    String path;
    int64_t modTime = -1;
  };
  bool runFile(const char* path, String& error);
  // Pushes the `events` table behind the weak reference; false when it is gone.
  bool pushEventsTable();

  DynArray<ScriptFile> files;
  HSQOBJECT eventsTable = {};  // weak reference to `events`
  HSQOBJECT eventClosures[NUM_SOUND_EVENTS] = {};
};

extern SquirrelSoundVM squirrel_sound_vm;
