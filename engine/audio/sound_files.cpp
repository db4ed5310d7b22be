#include "engine/audio/sound_files.h"

#include <climits>
#include <utility>

#include "engine/core/log.h"
#include "engine/core/vfs.h"
#include "soloud_wav.h"
#include "soloud_wavstream.h"

DynArray<SoLoud::Wav*> sound_samples;
DynArray<SoLoud::WavStream*> sound_streams;
int missing_sound_files = 0;

// Id layout: bits 0-18 index + 1, bit 19 set for music, bits 20-30 the generation.
static constexpr uint32_t ID_INDEX_BITS = 19;
static constexpr uint32_t ID_INDEX_MASK = (1u << ID_INDEX_BITS) - 1;
static constexpr uint32_t ID_MUSIC_BIT = 1u << ID_INDEX_BITS;
static constexpr uint32_t ID_GENERATION_SHIFT = 20;
static constexpr uint32_t ID_GENERATION_MASK = 0x7ff;
// Never 0, so no id is 0; advanced by every free_all_sounds.
static uint32_t sound_generation = 1;

PhysFsFile::PhysFsFile(const char* path) : handle(PHYSFS_openRead(path)) {}

PhysFsFile::~PhysFsFile() {
  if (handle)
    PHYSFS_close(handle);
}

int PhysFsFile::eof() {
  return handle ? PHYSFS_eof(handle) : 1;
}

unsigned int PhysFsFile::read(unsigned char* dst, unsigned int bytes) {
  if (!handle)
    return 0;
  int64_t got = vfs_read(handle, dst, 1, bytes);
  return got > 0 ? (unsigned int)got : 0;
}

unsigned int PhysFsFile::length() {
  PHYSFS_sint64 len = handle ? PHYSFS_fileLength(handle) : -1;
  // An unknown length is an error for the loaders (they then read nothing), never
  // a read of four gigabytes.
  if (len < 0 || len >= (PHYSFS_sint64)UINT_MAX)
    return 0;
  return (unsigned int)len;
}

void PhysFsFile::seek(int offset) {
  if (handle)
    PHYSFS_seek(handle, (PHYSFS_uint64)(PHYSFS_sint64)offset);
}

unsigned int PhysFsFile::pos() {
  PHYSFS_sint64 at = handle ? PHYSFS_tell(handle) : -1;
  return at < 0 ? 0 : (unsigned int)at;
}

static SoundId make_id(int index, bool music) {
  return (SoundId)((sound_generation << ID_GENERATION_SHIFT) | (music ? ID_MUSIC_BIT : 0) | (uint32_t)(index + 1));
}

// The list index an id names, -1 when it is not a live id of that kind.
static int index_of(SoundId id, bool music, int count) {
  uint32_t bits = (uint32_t)id;
  if (id <= 0 || ((bits >> ID_GENERATION_SHIFT) & ID_GENERATION_MASK) != sound_generation)
    return -1;
  if (((bits & ID_MUSIC_BIT) != 0) != music)
    return -1;
  int index = (int)(bits & ID_INDEX_MASK) - 1;
  return index < count ? index : -1;
}

static void report_missing(const char* path) {
  debug("ERROR: missing sound file %s", path);
  missing_sound_files++;
}

// Opens `path` and loads it into a new Source (`load` reads the whole file, so the
// file may close when this returns); null, counted as missing, when the file is
// absent, the table is full (`loaded` entries) or the bytes are no sound.
template <class Source, class Load>
static Source* load_source(const char* path, int loaded, Load load) {
  PhysFsFile file(path);
  if (!file.handle || loaded >= (int)ID_INDEX_MASK) {
    report_missing(path);
    return nullptr;
  }
  Source* source = new Source;
  if (load(*source, file) != SoLoud::SO_NO_ERROR) {
    delete source;
    report_missing(path);
    return nullptr;
  }
  return source;
}

SoundId load_sample(const char* path, float volume) {
  SoLoud::Wav* wav = load_source<SoLoud::Wav>(path, sound_samples.num,
                                              [](SoLoud::Wav& w, PhysFsFile& f) { return w.loadFile(&f); });
  if (!wav)
    return 0;
  wav->setSingleInstance(true);
  wav->setVolume(volume);
  sound_samples.push(&wav);
  return make_id(sound_samples.num - 1, false);
}

SoundId load_music(const char* path, float loop_point) {
  // The stream copies the file's bytes, so the file closes when loading returns.
  SoLoud::WavStream* stream = load_source<SoLoud::WavStream>(
      path, sound_streams.num, [](SoLoud::WavStream& s, PhysFsFile& f) { return s.loadFileToMem(&f); });
  if (!stream)
    return 0;
  stream->setSingleInstance(true);
  stream->setLooping(true);
  stream->setLoopPoint((double)loop_point);
  sound_streams.push(&stream);
  return make_id(sound_streams.num - 1, true);
}

SoLoud::Wav* get_sample(SoundId id) {
  int index = index_of(id, false, sound_samples.num);
  return index < 0 ? nullptr : sound_samples[index];
}

SoLoud::WavStream* get_music(SoundId id) {
  int index = index_of(id, true, sound_streams.num);
  return index < 0 ? nullptr : sound_streams[index];
}

static void delete_sounds(DynArray<SoLoud::Wav*>& samples, DynArray<SoLoud::WavStream*>& streams) {
  for (int i = 0; i < samples.num; i++)
    delete samples[i];
  samples.clear();
  for (int i = 0; i < streams.num; i++)
    delete streams[i];
  streams.clear();
}

static void next_generation() {
  sound_generation = sound_generation % ID_GENERATION_MASK + 1;
}

void free_all_sounds() {
  delete_sounds(sound_samples, sound_streams);
  next_generation();
}

SoundSet set_sounds_aside() {
  SoundSet set;
  set.samples = std::move(sound_samples);
  set.streams = std::move(sound_streams);
  set.generation = sound_generation;
  next_generation();
  return set;
}

void restore_sounds(SoundSet& set) {
  delete_sounds(sound_samples, sound_streams);
  sound_samples = std::move(set.samples);
  sound_streams = std::move(set.streams);
  sound_generation = set.generation;
}

void free_sounds(SoundSet& set) {
  delete_sounds(set.samples, set.streams);
}
