// Sound files read through the virtual file system, the sample and music lists, ids.
#include <sndfile.h>

#include <filesystem>

#include "audio_fixture.h"
#include "engine/audio/sound_files.h"
#include "engine/core/log.h"
#include "soloud_wav.h"
#include "soloud_wavstream.h"

static int open_descriptors() {
  int n = 0;
  for (auto& entry : std::filesystem::directory_iterator("/proc/self/fd")) {
    (void)entry;
    n++;
  }
  return n;
}

TEST_F(AudioTest, PhysFsFileReadsSeeksAndTellsThroughTheVfs) {
  write_raw("data/bytes.bin", "0123456789");
  PhysFsFile file("data/bytes.bin");
  ASSERT_NE(file.handle, nullptr);
  EXPECT_EQ(file.length(), 10u);
  unsigned char buf[8] = {};
  EXPECT_EQ(file.read(buf, 4), 4u);
  EXPECT_EQ(std::string((char*)buf, 4), "0123");
  file.seek(8);
  EXPECT_EQ(file.pos(), 8u);
  EXPECT_EQ(file.read(buf, 8), 2u);
  EXPECT_NE(file.eof(), 0);
  EXPECT_EQ(file.getFilePtr(), nullptr);
  EXPECT_EQ(file.getMemPtr(), nullptr);

  PhysFsFile missing("data/none.bin");
  EXPECT_EQ(missing.handle, nullptr);
  EXPECT_EQ(missing.length(), 0u);
  EXPECT_EQ(missing.read(buf, 4), 0u);
  EXPECT_NE(missing.eof(), 0);
}

TEST_F(AudioTest, EachFormatLoadsAsASampleThroughTheVfs) {
  struct {
    const char* name;
    int format;
  } files[] = {
      {"sfx/a.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_16},
      {"sfx/b.ogg", SF_FORMAT_OGG | SF_FORMAT_VORBIS},
      {"sfx/c.flac", SF_FORMAT_FLAC | SF_FORMAT_PCM_16},
  };
  for (auto& f : files) {
    SCOPED_TRACE(f.name);
    write_tone(f.name, f.format, 4410, 0.5f);
    SoundId id = load_sample(f.name, 0.7f);
    ASSERT_NE(id, 0);
    SoLoud::Wav* wav = get_sample(id);
    ASSERT_NE(wav, nullptr);
    EXPECT_EQ(sound_samples.last(), wav);
    EXPECT_FLOAT_EQ(wav->mVolume, 0.7f);
    EXPECT_TRUE(wav->mFlags & SoLoud::AudioSource::SINGLE_INSTANCE);
    EXPECT_NEAR(wav->getLength(), 0.2, 0.05);
  }
  EXPECT_EQ(sound_samples.num, 3);
  EXPECT_EQ(missing_sound_files, 0);
}

TEST_F(AudioTest, SamePathTwiceGivesTwoSamples) {
  write_tone("sfx/shot.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_16, 1000, 0.5f);
  SoundId a = load_sample("sfx/shot.wav", 1.0f);
  SoundId b = load_sample("sfx/shot.wav", 0.5f);
  ASSERT_NE(a, 0);
  ASSERT_NE(b, 0);
  EXPECT_NE(a, b);
  EXPECT_NE(get_sample(a), get_sample(b));
  EXPECT_EQ(sound_samples.num, 2);
}

TEST_F(AudioTest, MissingAndBrokenFilesAreCountedLoggedAndGiveNoSound) {
  write_raw("sfx/empty.wav", "");
  write_raw("sfx/garbage.ogg", std::string(3000, '\x13'));
  ::testing::internal::CaptureStdout();
  EXPECT_EQ(load_sample("sfx/nothing.wav", 1.0f), 0);
  EXPECT_EQ(load_sample("sfx/empty.wav", 1.0f), 0);
  EXPECT_EQ(load_music("sfx/garbage.ogg", 0.0f), 0);
  std::string log = ::testing::internal::GetCapturedStdout();
  EXPECT_EQ(missing_sound_files, 3);
  EXPECT_NE(log.find("ERROR: missing sound file sfx/nothing.wav"), std::string::npos) << log;
  EXPECT_NE(log.find("ERROR: missing sound file sfx/empty.wav"), std::string::npos);
  EXPECT_NE(log.find("ERROR: missing sound file sfx/garbage.ogg"), std::string::npos);
  EXPECT_EQ(sound_samples.num, 0);
  EXPECT_EQ(sound_streams.num, 0);
}

TEST_F(AudioTest, MusicLoadsIntoMemoryLoopingFromItsLoopPoint) {
  write_tone("music/theme.ogg", SF_FORMAT_OGG | SF_FORMAT_VORBIS, 22050, 0.3f);
  SoundId id = load_music("music/theme.ogg", 0.25f);
  ASSERT_NE(id, 0);
  SoLoud::WavStream* music = get_music(id);
  ASSERT_NE(music, nullptr);
  EXPECT_TRUE(music->mFlags & SoLoud::AudioSource::SHOULD_LOOP);
  EXPECT_TRUE(music->mFlags & SoLoud::AudioSource::SINGLE_INSTANCE);
  EXPECT_DOUBLE_EQ(music->getLoopPoint(), 0.25);
  // The file is closed already: the stream plays from its own copy.
  EXPECT_NE(music->mMemFile, nullptr);
  EXPECT_EQ(sound_streams.num, 1);
}

TEST_F(AudioTest, IdsAreCheckedByKindAndGeneration) {
  write_tone("sfx/a.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_16, 1000, 0.5f);
  write_tone("music/m.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_16, 1000, 0.5f);
  SoundId sample = load_sample("sfx/a.wav", 1.0f);
  SoundId music = load_music("music/m.wav", 0.0f);
  ASSERT_NE(sample, 0);
  ASSERT_NE(music, 0);
  EXPECT_EQ(get_music(sample), nullptr);
  EXPECT_EQ(get_sample(music), nullptr);
  for (SoundId bad : {0, -1, -sample, sample + 1, sample + 12345, (SoundId)0x7fffffff})
    EXPECT_EQ(get_sample(bad), nullptr) << bad;

  free_all_sounds();
  EXPECT_EQ(sound_samples.num, 0);
  EXPECT_EQ(sound_streams.num, 0);
  EXPECT_EQ(get_sample(sample), nullptr);
  EXPECT_EQ(get_music(music), nullptr);
  // A new load in the same list slot gets a new id; the old one stays dead.
  SoundId again = load_sample("sfx/a.wav", 1.0f);
  EXPECT_NE(again, sample);
  EXPECT_NE(get_sample(again), nullptr);
  EXPECT_EQ(get_sample(sample), nullptr);
}

TEST_F(AudioTest, FreeingStopsVoicesAndManyLoadsLeaveNoHandleOpen) {
  write_tone("sfx/a.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_16, 1000, 0.5f);
  write_tone("music/m.ogg", SF_FORMAT_OGG | SF_FORMAT_VORBIS, 5000, 0.5f);
  // The log opens its file at its first line: let that happen before counting.
  debug("counting open files");
  load_sample("sfx/missing.wav", 1.0f);
  int before = open_descriptors();
  for (int round = 0; round < 20; round++) {
    for (int i = 0; i < 5; i++) {
      load_sample("sfx/a.wav", 1.0f);
      load_music("music/m.ogg", 0.0f);
      load_sample("sfx/missing.wav", 1.0f);
    }
    free_all_sounds();
  }
  EXPECT_EQ(open_descriptors(), before);

  SoundId id = load_sample("sfx/a.wav", 1.0f);
  unsigned int voice = sfx_bus.play(*get_sample(id));
  ASSERT_TRUE(soloud.isValidVoiceHandle(voice));
  free_all_sounds();
  EXPECT_FALSE(soloud.isValidVoiceHandle(voice));
  mix_frames(100);
}
