// Writes the game's sound set: one short mono Ogg Vorbis clip per sound under
// <out>/sfx/ and a looping music track under <out>/music/. Every clip is a recipe of
// tones and noise bursts below, so the set can be changed and made again.
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "synth.h"

namespace {

struct Recipe {
  const char* name;
  float seconds;
  std::function<void(Sound&)> build;
};

Tone tone(Wave wave, float start, float length, float from, float to, float volume) {
  Tone t;
  t.wave = wave;
  t.start = start;
  t.length = length;
  t.from = from;
  t.to = to;
  t.volume = volume;
  return t;
}

Tone noise(float start, float length, float lowpass, float volume) {
  Tone t = tone(Wave::noise, start, length, 1000, 1000, volume);
  t.lowpassHz = lowpass;
  return t;
}

// An explosion: low rumble of filtered noise with a falling thump under it.
void explosion(Sound& s, float start, float length, float weight) {
  s.add(noise(start, length, 900 * weight, 1.0f));
  s.add(noise(start, length * 0.3f, 4000, 0.4f));
  s.add(tone(Wave::sine, start, length * 0.6f, 110, 35, 0.8f));
}

// Notes played one after another, each `step` seconds.
void arpeggio(Sound& s, Wave wave, float start, float step, std::vector<int> notes, float volume, float hold = 2.0f) {
  for (size_t i = 0; i < notes.size(); i++)
    s.add(tone(wave, start + step * i, step * hold, note(notes[i]), note(notes[i]), volume));
}

const std::vector<Recipe> recipes = {
    {"pistol_shot", 0.22f, [](Sound& s) {
       s.add(noise(0, 0.2f, 5000, 0.9f));
       s.add(tone(Wave::square, 0, 0.12f, 220, 60, 0.6f));
     }},
    {"plasma_shot", 0.3f, [](Sound& s) {
       s.add(tone(Wave::saw, 0, 0.28f, 1400, 250, 0.6f));
       s.add(tone(Wave::sine, 0, 0.2f, 2100, 500, 0.3f));
     }},
    {"plasma_misfire", 0.25f, [](Sound& s) {
       s.add(noise(0, 0.22f, 2500, 0.6f));
       Tone t = tone(Wave::square, 0, 0.2f, 160, 120, 0.4f);
       t.duty = 0.2f;
       s.add(t);
     }},
    {"punch_swing", 0.18f, [](Sound& s) {
       Tone t = noise(0, 0.16f, 1800, 0.8f);
       t.attack = 0.06f;
       s.add(t);
     }},
    {"punch_hit", 0.2f, [](Sound& s) {
       s.add(tone(Wave::sine, 0, 0.18f, 160, 45, 1.0f));
       s.add(noise(0, 0.08f, 3000, 0.7f));
     }},
    {"punch_hit2", 0.2f, [](Sound& s) {
       s.add(tone(Wave::sine, 0, 0.18f, 190, 55, 1.0f));
       s.add(noise(0, 0.1f, 2200, 0.7f));
     }},
    {"hero_jump", 0.18f, [](Sound& s) { s.add(tone(Wave::square, 0, 0.16f, 280, 620, 0.5f)); }},
    {"hero_hurt", 0.3f, [](Sound& s) {
       Tone t = tone(Wave::square, 0, 0.28f, 420, 160, 0.5f);
       t.vibratoHz = 30;
       t.vibratoDepth = 0.08f;
       s.add(t);
     }},
    {"hero_dead", 1.1f, [](Sound& s) {
       Tone t = tone(Wave::saw, 0, 1.05f, 420, 45, 0.6f);
       t.vibratoHz = 8;
       t.vibratoDepth = 0.05f;
       s.add(t);
       s.add(noise(0, 0.4f, 1500, 0.4f));
     }},
    {"game_over", 1.6f, [](Sound& s) { arpeggio(s, Wave::triangle, 0, 0.3f, {3, -2, -5, -9, -14}, 0.6f, 1.6f); }},
    {"enemy_spots_hero", 0.2f, [](Sound& s) {
       s.add(tone(Wave::square, 0, 0.07f, 800, 800, 0.4f));
       s.add(tone(Wave::square, 0.09f, 0.09f, 1200, 1200, 0.4f));
     }},
    {"enemy_hurt", 0.14f, [](Sound& s) { s.add(tone(Wave::square, 0, 0.13f, 320, 190, 0.5f)); }},
    {"enemy_dead", 0.55f, [](Sound& s) {
       s.add(tone(Wave::saw, 0, 0.5f, 320, 40, 0.5f));
       s.add(noise(0, 0.4f, 2000, 0.6f));
     }},
    {"enemy_magnet_jump", 0.35f, [](Sound& s) {
       Tone t = tone(Wave::sine, 0, 0.33f, 200, 900, 0.6f);
       t.vibratoHz = 25;
       t.vibratoDepth = 0.1f;
       s.add(t);
     }},
    {"enemy_jump", 0.14f, [](Sound& s) { s.add(tone(Wave::square, 0, 0.12f, 200, 420, 0.4f)); }},
    {"enemy_shoot", 0.18f, [](Sound& s) {
       s.add(tone(Wave::saw, 0, 0.16f, 950, 220, 0.5f));
       s.add(noise(0, 0.06f, 4000, 0.3f));
     }},
    {"enemy_shoot_burst", 0.45f, [](Sound& s) {
       for (int i = 0; i < 3; i++) {
         s.add(tone(Wave::saw, 0.13f * i, 0.12f, 1000, 260, 0.5f));
         s.add(noise(0.13f * i, 0.05f, 4000, 0.3f));
       }
     }},
    {"enemy_charge_gun", 0.65f, [](Sound& s) {
       Tone t = tone(Wave::sine, 0, 0.63f, 180, 1600, 0.5f);
       t.sustain = true;
       t.attack = 0.3f;
       t.vibratoHz = 18;
       t.vibratoDepth = 0.03f;
       s.add(t);
     }},
    {"enemy_flyer_change_dir", 0.1f, [](Sound& s) { s.add(tone(Wave::triangle, 0, 0.09f, 640, 480, 0.5f)); }},
    {"bullet_destroys_wall", 0.4f, [](Sound& s) {
       s.add(noise(0, 0.38f, 1400, 0.9f));
       s.add(noise(0.05f, 0.1f, 5000, 0.3f));
     }},
    {"bullet_hits_indestructible", 0.15f, [](Sound& s) {
       s.add(tone(Wave::square, 0, 0.12f, 1800, 1750, 0.3f));
       s.add(tone(Wave::sine, 0, 0.14f, 2600, 2600, 0.4f));
     }},
    {"torvane_elevator", 2.0f, [](Sound& s) {
       Tone hum = tone(Wave::saw, 0, 2.0f, 55, 55, 0.4f);
       hum.sustain = true;
       hum.lowpassHz = 400;
       hum.attack = 0.3f;
       s.add(hum);
       Tone whine = tone(Wave::sine, 0, 2.0f, 330, 440, 0.15f);
       whine.sustain = true;
       whine.attack = 0.5f;
       s.add(whine);
     }},
    {"upgrade_screen", 0.7f, [](Sound& s) { arpeggio(s, Wave::triangle, 0, 0.1f, {3, 7, 10, 15, 19}, 0.5f); }},
    {"upgrade_plus", 0.12f, [](Sound& s) { s.add(tone(Wave::square, 0, 0.1f, 600, 900, 0.35f)); }},
    {"upgrade_minus", 0.12f, [](Sound& s) { s.add(tone(Wave::square, 0, 0.1f, 900, 600, 0.35f)); }},
    {"upgrade_accept", 0.6f, [](Sound& s) {
       arpeggio(s, Wave::square, 0, 0.08f, {3, 7, 10}, 0.3f);
       s.add(tone(Wave::triangle, 0.24f, 0.35f, note(15), note(15), 0.5f));
     }},
    {"jingle_zone", 1.2f, [](Sound& s) {
       arpeggio(s, Wave::triangle, 0, 0.15f, {0, 4, 7, 12, 7, 12}, 0.5f);
       s.add(tone(Wave::square, 0, 1.1f, note(-24), note(-24), 0.25f));
     }},
    {"jingle_boss", 1.4f, [](Sound& s) {
       arpeggio(s, Wave::saw, 0, 0.18f, {0, 1, 0, -2, 0, 6}, 0.45f);
       s.add(tone(Wave::square, 0, 1.3f, note(-27), note(-27), 0.3f));
     }},
    {"new_game", 0.8f, [](Sound& s) {
       s.add(tone(Wave::saw, 0, 0.5f, 200, 800, 0.3f));
       arpeggio(s, Wave::triangle, 0.3f, 0.08f, {12, 16, 19, 24}, 0.4f, 3.0f);
     }},
    {"barrel_explode", 0.9f, [](Sound& s) { explosion(s, 0, 0.85f, 1.0f); }},
    {"bonus_heart", 0.35f, [](Sound& s) { arpeggio(s, Wave::sine, 0, 0.12f, {7, 12}, 0.6f, 1.8f); }},
    {"bonus_up", 0.4f, [](Sound& s) { arpeggio(s, Wave::square, 0, 0.06f, {0, 4, 7, 12, 16}, 0.3f); }},
    {"ui_hover", 0.04f, [](Sound& s) { s.add(tone(Wave::sine, 0, 0.035f, 2200, 2200, 0.3f)); }},
    {"ui_click", 0.06f, [](Sound& s) {
       s.add(tone(Wave::square, 0, 0.05f, 1000, 900, 0.3f));
       s.add(noise(0, 0.015f, 6000, 0.2f));
     }},
    {"ui_release", 0.05f, [](Sound& s) { s.add(tone(Wave::square, 0, 0.04f, 800, 760, 0.25f)); }},
    {"ui_back", 0.1f, [](Sound& s) { s.add(tone(Wave::triangle, 0, 0.09f, 600, 380, 0.45f)); }},
    {"boss_part_damaged", 0.2f, [](Sound& s) {
       Tone t = tone(Wave::square, 0, 0.18f, 140, 90, 0.5f);
       t.duty = 0.25f;
       s.add(t);
       s.add(noise(0, 0.1f, 3000, 0.4f));
     }},
    {"boss_part_explode", 0.7f, [](Sound& s) { explosion(s, 0, 0.65f, 1.3f); }},
    {"boss_dead", 1.8f, [](Sound& s) {
       explosion(s, 0, 1.0f, 1.0f);
       explosion(s, 0.4f, 1.0f, 0.8f);
       explosion(s, 0.8f, 1.0f, 0.6f);
     }},
    {"boss_alarm", 0.9f, [](Sound& s) {
       for (int i = 0; i < 2; i++) {
         Tone t = tone(Wave::saw, 0.45f * i, 0.4f, 300, 600, 0.4f);
         t.sustain = true;
         t.attack = 0.02f;
         s.add(t);
       }
     }},
    {"boss1_shoot", 0.35f, [](Sound& s) {
       s.add(tone(Wave::saw, 0, 0.33f, 500, 90, 0.6f));
       s.add(noise(0, 0.12f, 2500, 0.5f));
     }},
    {"boss1_drop_bomb", 0.55f, [](Sound& s) {
       Tone t = tone(Wave::sine, 0, 0.53f, 1500, 380, 0.5f);
       t.sustain = true;
       s.add(t);
     }},
    {"boss_dying", 1.6f, [](Sound& s) {
       for (int i = 0; i < 5; i++)
         explosion(s, 0.28f * i, 0.4f, 0.7f + 0.1f * i);
     }},
    {"boss2_reassemble", 0.8f, [](Sound& s) {
       Tone t = tone(Wave::square, 0, 0.78f, 120, 700, 0.4f);
       t.vibratoHz = 12;
       t.vibratoDepth = 0.1f;
       t.sustain = true;
       t.attack = 0.2f;
       s.add(t);
     }},
    {"boss2_shoot", 0.3f, [](Sound& s) {
       s.add(tone(Wave::saw, 0, 0.28f, 1600, 200, 0.5f));
       s.add(tone(Wave::square, 0, 0.2f, 800, 100, 0.3f));
     }},
};

// Eight seconds at 120 beats a minute, ending where it starts so it loops cleanly.
Sound make_music() {
  const float beat = 0.5f;
  Sound s(16 * beat);
  const int bass[4] = {-33, -36, -31, -29};
  const int chords[4][3] = {{0, 3, 7}, {-3, 0, 3}, {2, 5, 9}, {4, 7, 11}};
  for (int bar = 0; bar < 4; bar++) {
    float barStart = bar * 4 * beat;
    for (int b = 0; b < 4; b++) {
      Tone low = tone(Wave::square, barStart + b * beat, beat * 0.9f, note(bass[bar]), note(bass[bar]), 0.25f);
      low.lowpassHz = 700;
      s.add(low);
      s.add(noise(barStart + b * beat + beat / 2, 0.05f, 8000, 0.08f));
    }
    for (int step = 0; step < 8; step++) {
      int n = chords[bar][step % 3] + (step >= 4 ? 12 : 0);
      s.add(tone(Wave::triangle, barStart + step * beat / 2, beat * 0.45f, note(n), note(n), 0.2f));
    }
  }
  s.normalize(0.7f);
  return s;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    fprintf(stderr, "usage: sfxgen <output folder, e.g. data/sound>\n");
    return 2;
  }
  std::string out = argv[1];
  int failures = 0;
  for (const Recipe& r : recipes) {
    Sound s(r.seconds);
    r.build(s);
    s.normalize(0.9f);
    s.softenEdges(0.003f);
    std::string path = out + "/sfx/" + r.name + ".ogg";
    if (!write_ogg(path, s, 0.2)) {
      fprintf(stderr, "sfxgen: cannot write %s\n", path.c_str());
      failures++;
    }
  }
  std::string music = out + "/music/theme.ogg";
  if (!write_ogg(music, make_music(), 0.25)) {
    fprintf(stderr, "sfxgen: cannot write %s\n", music.c_str());
    failures++;
  }
  printf("sfxgen: %d sounds and one music track written to %s\n", (int)recipes.size() - failures, out.c_str());
  return failures ? 1 : 0;
}
