// The sound script's natives: the buses they play on, volumes and pans, checked ids,
// fading out, the script's generator, and the bus volumes.
#include <cmath>

#include "audio_fixture.h"
#include "engine/audio/sound_natives.h"
#include "soloud_wav.h"

TEST_F(AudioTest, PlaySfxUsesTheSampleVolumeThePanAndTheEffectsBus) {
  write_constant("sfx/dc.wav", 0.5f, 20000);
  SoundId id = load_sample("sfx/dc.wav", 0.5f);
  ASSERT_NE(id, 0);
  unsigned int voice = play_sfx(id, 0.8f, 0.0f);
  ASSERT_NE(voice, 0u);
  EXPECT_FLOAT_EQ(soloud.getVolume(voice), 0.4f);
  EXPECT_EQ(sfx_bus.getActiveVoiceCount(), 1u);
  std::vector<float> out = mix_frames(100);
  float centre = 0.5f * 0.4f * cosf(3.14159265f / 4);
  EXPECT_NEAR(out[0], centre, 1e-5f);
  EXPECT_NEAR(out[1], centre, 1e-5f);

  // The bus volume scales what plays on it.
  set_bus_volume(sfx_bus_handle, 0.5f);
  EXPECT_FLOAT_EQ(get_bus_volume(sfx_bus_handle), 0.5f);
  mix_frames(1024);  // past the glide of the volume change
  out = mix_frames(10);
  EXPECT_NEAR(out[0], centre * 0.5f, 1e-5f);
}

TEST_F(AudioTest, PlaySfxPansWithConstantPower) {
  write_constant("sfx/dc.wav", 0.5f, 20000);
  SoundId id = load_sample("sfx/dc.wav", 1.0f);
  play_sfx(id, 1.0f, 1.0f);
  std::vector<float> out = mix_frames(10);
  EXPECT_NEAR(out[0], 0.0f, 1e-6f);
  EXPECT_NEAR(out[1], 0.5f, 1e-6f);
}

TEST_F(AudioTest, PlayUiAndPlayMusicPlayFullOnBothSpeakers) {
  write_constant("sfx/dc.wav", 0.25f, 20000);
  write_constant("music/dc.wav", 0.125f, 20000);
  SoundId sample = load_sample("sfx/dc.wav", 0.5f);
  SoundId music = load_music("music/dc.wav", 0.0f);
  unsigned int ui = play_ui(sample, 0.5f);
  unsigned int tune = play_music(music);
  ASSERT_NE(ui, 0u);
  ASSERT_NE(tune, 0u);
  EXPECT_EQ(ui_bus.getActiveVoiceCount(), 1u);
  EXPECT_EQ(music_bus.getActiveVoiceCount(), 1u);
  EXPECT_TRUE(soloud.getProtectVoice(tune));
  EXPECT_FALSE(soloud.getProtectVoice(ui));
  EXPECT_FLOAT_EQ(soloud.getVolume(tune), 1.0f);
  std::vector<float> out = mix_frames(10);
  float expected = 0.25f * 0.25f + 0.125f;
  EXPECT_NEAR(out[0], expected, 1e-6f);
  EXPECT_NEAR(out[1], expected, 1e-6f);
}

TEST_F(AudioTest, PlayNativesRefuseNoSoundStaleIdsAndWrongKinds) {
  write_constant("sfx/dc.wav", 0.25f, 2000);
  SoundId sample = load_sample("sfx/dc.wav", 1.0f);
  SoundId music = load_music("sfx/dc.wav", 0.0f);
  EXPECT_EQ(play_sfx(0, 1.0f, 0.0f), 0u);
  EXPECT_EQ(play_ui(0, 1.0f), 0u);
  EXPECT_EQ(play_music(0), 0u);
  EXPECT_EQ(play_music(sample), 0u);
  EXPECT_EQ(play_sfx(music, 1.0f, 0.0f), 0u);
  EXPECT_EQ(play_sfx(-7, 1.0f, 0.0f), 0u);
  free_all_sounds();
  EXPECT_EQ(play_sfx(sample, 1.0f, 0.0f), 0u);
  EXPECT_EQ(play_music(music), 0u);
  EXPECT_EQ(soloud.getVoiceCount(), 3u);  // the three buses only
}

TEST_F(AudioTest, FadeOutAndStopFadesOverTheTimeAndStopsThen) {
  write_constant("sfx/dc.wav", 0.5f, 44100);
  SoundId id = load_sample("sfx/dc.wav", 1.0f);
  unsigned int voice = play_ui(id, 1.0f);
  mix_frames(10);
  fade_out_and_stop(voice, 500.0f);
  std::vector<float> out = mix_frames(22050);
  EXPECT_NEAR(out[0], 0.5f, 1e-3f);
  EXPECT_NEAR(out[2 * 11025], 0.25f, 1e-3f);
  EXPECT_NEAR(out[2 * 22049], 0.0f, 1e-3f);
  EXPECT_FALSE(soloud.isValidVoiceHandle(voice));

  // What is not a voice handle is ignored; other voices go on.
  unsigned int other = play_ui(id, 1.0f);
  for (int64_t bad : {(int64_t)0, (int64_t)-1, (int64_t)1 << 40, (int64_t)voice})
    fade_out_and_stop(bad, 100.0f);
  mix_frames(44100 / 5);
  EXPECT_TRUE(soloud.isValidVoiceHandle(other));
  EXPECT_FLOAT_EQ(soloud.getVolume(other), 1.0f);
}

TEST(SoundRnd, GameRndIsXorshift64StarWithTheTopBitCleared) {
  sound_rnd_seed = 1;
  EXPECT_EQ(game_rnd(), 158129437);
  EXPECT_EQ(game_rnd(), 1618568477);
  EXPECT_EQ(game_rnd(), 1802706775);
  sound_rnd_seed = 0xdeadbeefcafef00dULL;
  for (int i = 0; i < 1000; i++)
    EXPECT_GE(game_rnd(), 0);
}

TEST(MusicVolume, SettingMapsToBusVolumeClamped) {
  struct {
    int setting;
    float volume;
  } cases[] = {{10000, 1.0f}, {5000, 0.5f}, {0, 0.0f}, {-20, 0.0f}, {25000, 1.0f}, {1, 0.0001f}};
  for (auto& c : cases)
    EXPECT_FLOAT_EQ(music_volume_from_setting(c.setting), c.volume) << c.setting;
}
