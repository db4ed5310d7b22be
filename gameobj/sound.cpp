// Sound events: through the sound script, by id, with volume and pan from where
// they happen relative to the camera.
/*
import sound
*/
#include "gameobj/sound.h"

#include <cmath>

#include "engine/audio/sound_events.h"
#include "engine/world/camera.h"

namespace {
constexpr int MAX_RECORDED = 64;
int recorded[MAX_RECORDED];
int recorded_count = 0;

void record(int id) {
  if (recorded_count < MAX_RECORDED)
    recorded[recorded_count++] = id;
}

// Beyond this distance from the camera nothing is heard.
constexpr float HEARING_RANGE = 320;
constexpr float PAN_RANGE = 160;
}  // namespace

void play_event(int id) {
  record(id);
  play_sfx_event(id, 1.0f, 0.0f);
}

void play_event_at(int id, float x, float y) {
  record(id);
  __m128 cam = get_camera_pos();
  float dx = x - _mm_cvtss_f32(cam);
  float dy = y - _mm_cvtss_f32(_mm_shuffle_ps(cam, cam, _MM_SHUFFLE(1, 1, 1, 1)));
  float volume = 1.0f - std::sqrt(dx * dx + dy * dy) / HEARING_RANGE;
  if (volume <= 0.05f)
    return;
  float pan = dx / PAN_RANGE;
  pan = pan < -1 ? -1 : (pan > 1 ? 1 : pan);
  play_sfx_event(id, volume, pan);
}

int take_played_events(int* ids, int capacity) {
  int n = recorded_count < capacity ? recorded_count : capacity;
  for (int i = 0; i < n; i++)
    ids[i] = recorded[i];
  recorded_count = 0;
  return n;
}
