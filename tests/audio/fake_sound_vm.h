// A stand-in for the sound script's VM: "running the script" calls a C++ function
// that loads sounds through the natives, and each event's "function" is C++ too.
#pragma once

#include <functional>
#include <map>
#include <string>
#include <vector>

#include "engine/audio/sound_events.h"
#include "engine/audio/sound_files.h"

struct FakeSoundVM : SoundScriptVM {
  using EventFunc = std::function<bool(float volume, float pan, int64_t& result, String& error)>;

  bool canOpen = true;
  bool opened = false;
  // The script: runs at include and at reload; returns an error text, "" for success.
  std::function<std::string()> script = [] { return std::string(); };
  // What the script's `events` table holds after it ran; no table when hasEvents is false.
  bool hasEvents = true;
  std::map<std::string, EventFunc> events;
  bool changed = false;

  // What the host asked for, in order.
  std::vector<std::string> calls;
  std::vector<std::string> namesAskedFor;
  int samplesAtRelease = -1;
  bool bound[NUM_SOUND_EVENTS] = {};
  std::string boundNames[NUM_SOUND_EVENTS];

  bool open() override {
    calls.push_back("open");
    opened = canOpen;
    return canOpen;
  }
  void close() override {
    calls.push_back("close");
    opened = false;
  }
  bool run(String& error) {
    std::string failure = script();
    error = failure.c_str();
    return failure.empty();
  }
  bool include(const char* path, String& error) override {
    calls.push_back(std::string("include ") + path);
    return run(error);
  }
  bool filesChanged() override {
    bool was = changed;
    changed = false;
    return was;
  }
  bool reload(String& error) override {
    calls.push_back("reload");
    return run(error);
  }
  void releaseEvents() override {
    calls.push_back("release");
    samplesAtRelease = sound_samples.num;
    for (int i = 0; i < NUM_SOUND_EVENTS; i++) {
      bound[i] = false;
      boundNames[i].clear();
    }
  }
  bool bindEvents(const char* const* names, int count, bool* out, String& error) override {
    calls.push_back("bind");
    if (!hasEvents) {
      error = "the index 'events' does not exist";
      return false;
    }
    for (int i = 0; i < count; i++) {
      if (!names[i])
        continue;
      namesAskedFor.push_back(names[i]);
      bound[i] = out[i] = events.count(names[i]) != 0;
      if (bound[i])
        boundNames[i] = names[i];
    }
    return true;
  }
  bool isEventBound(int id) override { return bound[id]; }
  bool callEvent(int id, float volume, float pan, int64_t& result, String& error) override {
    calls.push_back("call " + boundNames[id]);
    return events.at(boundNames[id])(volume, pan, result, error);
  }
};
