#pragma once
// What the sound events call in the application shell above them. The shell fills the
// table at start-up; an empty entry does nothing, so the sound code also runs alone
// (tests, benchmarks).
struct AudioHooks {
  // Told of every sound event the player accepts (the shell's developer log of them).
  void (*log_sound_event)(int id) = nullptr;
};

extern AudioHooks audio_hooks;
