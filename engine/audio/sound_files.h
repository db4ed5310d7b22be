#pragma once
// Sound files through the virtual file system: the mixer's File over a PhysicsFS read
// handle, and the loaded samples and music streams of the sound script.
//
// The script holds sounds by id, never by pointer: an id names one entry of
// sound_samples or sound_streams for one generation of loading, so an id kept across
// free_all_sounds (a script reload) no longer resolves and plays nothing.
#include <physfs.h>

#include <cstdint>

#include "engine/core/dynarray.h"
#include "soloud_file.h"

namespace SoLoud {
class Wav;
class WavStream;
}

// The mixer reads a virtual path through this; it owns its handle (null when the
// file could not be opened).
class PhysFsFile : public SoLoud::File {
public:
  explicit PhysFsFile(const char* path);
  ~PhysFsFile() override;
  PhysFsFile(const PhysFsFile&) = delete;
  PhysFsFile& operator=(const PhysFsFile&) = delete;

  int eof() override;
  unsigned int read(unsigned char* dst, unsigned int bytes) override;
  // 0 for a file whose length cannot be told (PhysicsFS reports -1) or does not fit.
  unsigned int length() override;
  void seek(int offset) override;
  unsigned int pos() override;
  FILE* getFilePtr() override { return nullptr; }
  unsigned char* getMemPtr() override { return nullptr; }

  PHYSFS_File* handle = nullptr;
};

// 0 is no sound; others come from load_sample and load_music.
typedef int32_t SoundId;

// Every sample and stream loaded since the last free_all_sounds, in loading order.
extern DynArray<SoLoud::Wav*> sound_samples;
extern DynArray<SoLoud::WavStream*> sound_streams;
// Files that failed to open or to load since the script's last start or reload.
extern int missing_sound_files;

// Loads a whole sample (single instance, at the given default volume); 0 when the
// file is missing or not a sound ("ERROR: missing sound file %s", counted).
SoundId load_sample(const char* path, float volume);
// Loads music to be streamed from memory (single instance, looping from loop_point
// seconds); 0 on failure, reported as for samples.
SoundId load_music(const char* path, float loop_point);
// The sound an id names, null for 0, for an id of another kind, or one from before
// the last free_all_sounds.
SoLoud::Wav* get_sample(SoundId id);
SoLoud::WavStream* get_music(SoundId id);
// Deletes every sample and stream (their voices stop) and invalidates every id.
void free_all_sounds();

// The sounds of one run of the sound script, kept while another run is tried.
struct SoundSet {
  DynArray<SoLoud::Wav*> samples;
  DynArray<SoLoud::WavStream*> streams;
  uint32_t generation = 0;
};
// Moves every loaded sound into a set, still playing and its ids still naming them
// once it is restored; loading starts again empty, under ids of a new generation.
SoundSet set_sounds_aside();
// Frees the sounds loaded since the set was made and makes its sounds, and their
// ids, the loaded ones again.
void restore_sounds(SoundSet& set);
// Deletes a set's sounds (their voices stop).
void free_sounds(SoundSet& set);
