// Voice bookkeeping: handles, stealing, protection, single instance, active voices,
// looping with a loop point, pause, deleting a playing source.
#include "mixer_fixture.h"

using namespace SoLoud;

TEST_F(MixerTest, StaleHandleDoesNothingToTheVoiceThatReusedItsSlot)
{
	Wav dc;
	make_constant(dc, 0.5f, 10000);
	handle old = soloud.playBackground(dc, 1.0f);
	soloud.stop(old);
	handle fresh = soloud.playBackground(dc, 1.0f);
	ASSERT_NE(fresh, 0u);
	EXPECT_NE(fresh, old);
	EXPECT_FALSE(soloud.isValidVoiceHandle(old));

	soloud.setVolume(old, 0.0f);
	soloud.setPause(old, true);
	soloud.fadeVolume(old, 0.0f, 0.001);
	soloud.scheduleStop(old, 0.0);
	soloud.stop(old);
	EXPECT_EQ(soloud.getVolume(old), 0.0f);
	EXPECT_EQ(soloud.getRelativePlaySpeed(old), 1.0f);
	EXPECT_FALSE(soloud.getPause(old));

	EXPECT_TRUE(soloud.isValidVoiceHandle(fresh));
	EXPECT_FLOAT_EQ(soloud.getVolume(fresh), 1.0f);
	std::vector<float> out = mix(100);
	EXPECT_FLOAT_EQ(out[198], 0.5f);
	EXPECT_EQ(soloud.isValidVoiceHandle(0), false);
	EXPECT_EQ(soloud.isValidVoiceHandle(0xffffffffu), false);
}

TEST_F(MixerTest, FullEngineStealsTheOldestUnprotectedVoice)
{
	Wav dc;
	make_constant(dc, 0.0f, 100);
	std::vector<handle> handles;
	for (int i = 0; i < VOICE_COUNT; i++)
		handles.push_back(soloud.play(dc));
	ASSERT_EQ(soloud.getVoiceCount(), (unsigned int)VOICE_COUNT);
	soloud.setProtectVoice(handles[0], true);
	EXPECT_TRUE(soloud.getProtectVoice(handles[0]));

	handle extra = soloud.play(dc);
	EXPECT_NE(extra, 0u);
	EXPECT_TRUE(soloud.isValidVoiceHandle(handles[0]));
	EXPECT_FALSE(soloud.isValidVoiceHandle(handles[1]));
	EXPECT_TRUE(soloud.isValidVoiceHandle(handles[2]));

	handle another = soloud.play(dc);
	EXPECT_NE(another, 0u);
	EXPECT_FALSE(soloud.isValidVoiceHandle(handles[2]));
	EXPECT_TRUE(soloud.isValidVoiceHandle(extra));
	EXPECT_EQ(soloud.getVoiceCount(), (unsigned int)VOICE_COUNT);
}

TEST_F(MixerTest, NothingIsStolenWhenEveryVoiceIsProtected)
{
	Wav dc;
	make_constant(dc, 0.0f, 100);
	for (int i = 0; i < VOICE_COUNT; i++)
		soloud.setProtectVoice(soloud.play(dc), true);
	EXPECT_EQ(soloud.play(dc), 0u);
	soloud.stopAll();
	EXPECT_EQ(soloud.getVoiceCount(), 0u);
}

TEST_F(MixerTest, SingleInstanceSourceStopsItsEarlierVoice)
{
	Wav once, many;
	make_constant(once, 0.1f, 1000);
	make_constant(many, 0.1f, 1000);
	once.setSingleInstance(true);
	handle a = soloud.play(once);
	handle b = soloud.play(once);
	EXPECT_FALSE(soloud.isValidVoiceHandle(a));
	EXPECT_TRUE(soloud.isValidVoiceHandle(b));
	EXPECT_EQ(soloud.countAudioSource(once), 1);
	soloud.play(many);
	soloud.play(many);
	EXPECT_EQ(soloud.countAudioSource(many), 2);
	many.stop();
	EXPECT_EQ(soloud.countAudioSource(many), 0);
	EXPECT_EQ(soloud.countAudioSource(once), 1);
}

TEST_F(MixerTest, OnlyTheLoudestVoicesSoundAboveTheActiveLimit)
{
	soloud.setMaxActiveVoiceCount(2);
	Wav dc;
	make_constant(dc, 0.1f, 10000);
	handle quiet = soloud.playBackground(dc, 0.5f);
	soloud.playBackground(dc, 1.0f);
	handle protectedQuiet = soloud.playBackground(dc, 0.25f);
	soloud.setProtectVoice(protectedQuiet, true);
	EXPECT_EQ(soloud.getActiveVoiceCount(), 2u);
	std::vector<float> out = mix(10);
	EXPECT_NEAR(out[0], 0.1f + 0.025f, 1e-6f);
	// The silent voice waits where it was (it is not ticking) and comes back later.
	soloud.stopAll();
	EXPECT_EQ(soloud.getActiveVoiceCount(), 0u);
	(void)quiet;
}

TEST_F(MixerTest, ProtectedVoicesAndBusesSoundEvenBeyondTheActiveLimit)
{
	// The engine's layout: two buses and protected music inside one of them, more than
	// the limit allows. All of them sound; ordinary voices, inside a bus or not, only
	// get what is left of the limit (here nothing).
	soloud.setMaxActiveVoiceCount(1);
	Wav dc;
	make_constant(dc, 0.1f, 10000);
	Bus effects, music;
	soloud.playBackground(effects);
	soloud.playBackground(music);
	handle shot = effects.play(dc, 1.0f);
	soloud.setPanAbsolute(shot, 1.0f, 1.0f);
	handle theme = music.play(dc, 0.5f);
	soloud.setPanAbsolute(theme, 1.0f, 1.0f);
	soloud.setProtectVoice(theme, true);
	handle loud = soloud.playBackground(dc, 1.0f);
	std::vector<float> out = mix(10);
	EXPECT_NEAR(out[0], 0.05f, 1e-6f);
	EXPECT_NEAR(out[1], 0.05f, 1e-6f);
	EXPECT_TRUE(soloud.isValidVoiceHandle(shot));
	EXPECT_TRUE(soloud.isValidVoiceHandle(loud));

	// With room for two more the two loudest ordinary voices join them.
	soloud.setMaxActiveVoiceCount(5);
	soloud.playBackground(dc, 0.01f);
	out = mix(10);
	EXPECT_NEAR(out[0], 0.05f + 0.1f + 0.1f, 1e-6f);
}

TEST_F(MixerTest, InaudibleVoiceCanBeKilled)
{
	soloud.setMaxActiveVoiceCount(1);
	Wav dc;
	make_constant(dc, 0.1f, 10000);
	soloud.playBackground(dc, 1.0f);
	handle weak = soloud.playBackground(dc, 0.1f);
	soloud.setInaudibleBehavior(weak, false, true);
	// Asking does not kill; the next mix does.
	EXPECT_EQ(soloud.getActiveVoiceCount(), 1u);
	EXPECT_TRUE(soloud.isValidVoiceHandle(weak));
	mix(10);
	EXPECT_FALSE(soloud.isValidVoiceHandle(weak));
}

TEST_F(MixerTest, LoopingSampleWrapsToItsLoopPoint)
{
	Wav ramp;
	make_ramp(ramp, 100, 0.001f);
	ramp.setLooping(true);
	ramp.setLoopPoint(40.0 / TEST_RATE);
	handle h = soloud.playBackground(ramp, 1.0f);
	std::vector<float> out = mix(400, 37);
	EXPECT_NEAR(out[2 * 99], 0.099f, 1e-6f);
	EXPECT_NEAR(out[2 * 100], 0.040f, 1e-6f);
	EXPECT_NEAR(out[2 * 159], 0.099f, 1e-6f);
	EXPECT_NEAR(out[2 * 160], 0.040f, 1e-6f);
	EXPECT_TRUE(soloud.isValidVoiceHandle(h));
	EXPECT_EQ(soloud.getLoopCount(h), 5u);
	EXPECT_TRUE(soloud.getLooping(h));

	// Looping switched off on the voice: it plays to the end of the sample and stops.
	soloud.setLooping(h, false);
	mix(200);
	EXPECT_FALSE(soloud.isValidVoiceHandle(h));
}

TEST_F(MixerTest, PausedVoiceHoldsItsPlace)
{
	Wav ramp;
	make_ramp(ramp, 1000, 0.001f);
	handle h = soloud.playBackground(ramp, 1.0f, true);
	std::vector<float> out = mix(50);
	EXPECT_EQ(out[0], 0.0f);
	soloud.setPause(h, false);
	out = mix(50);
	EXPECT_NEAR(out[2 * 10], 0.010f, 1e-6f);
	soloud.setPauseAll(true);
	mix(50);
	soloud.setPauseAll(false);
	out = mix(1);
	EXPECT_NEAR(out[0], 0.050f, 1e-6f);
}

TEST_F(MixerTest, SeekMovesTheVoice)
{
	Wav ramp;
	make_ramp(ramp, 1000, 0.001f);
	handle h = soloud.playBackground(ramp, 1.0f);
	mix(10);
	ASSERT_EQ(soloud.seek(h, 500.0 / TEST_RATE), SO_NO_ERROR);
	std::vector<float> out = mix(1);
	EXPECT_NEAR(out[0], 0.5f, 1e-6f);
	EXPECT_NEAR(soloud.getStreamPosition(h), 501.0 / TEST_RATE, 1e-9);
}

TEST_F(MixerTest, DeletingAPlayingSourceStopsItsVoices)
{
	Wav *dc = new Wav;
	make_constant(*dc, 0.5f, 10000);
	handle h = soloud.play(*dc);
	mix(10);
	delete dc;
	EXPECT_FALSE(soloud.isValidVoiceHandle(h));
	std::vector<float> out = mix(10);
	EXPECT_EQ(out[0], 0.0f);
}

TEST_F(MixerTest, ReloadingASampleStopsItsVoices)
{
	Wav dc;
	make_constant(dc, 0.5f, 10000);
	handle h = soloud.play(dc);
	make_constant(dc, 0.25f, 10);
	EXPECT_FALSE(soloud.isValidVoiceHandle(h));
}

TEST(MixerLifecycle, PlayBeforeInitGivesNoVoiceAndDeinitStopsAll)
{
	Soloud soloud;
	Wav dc;
	make_constant(dc, 0.5f, 100);
	EXPECT_EQ(soloud.play(dc), 0u);
	ASSERT_EQ(soloud.init(0, Soloud::NULLDRIVER, 0, 0, 2), SO_NO_ERROR);
	EXPECT_EQ(soloud.getBackendSamplerate(), 44100u);
	EXPECT_EQ(soloud.getBackendBufferSize(), 2048u);
	EXPECT_STREQ(soloud.getBackendString(), "null driver");
	handle h = soloud.play(dc);
	EXPECT_TRUE(soloud.isValidVoiceHandle(h));
	soloud.deinit();
	EXPECT_FALSE(soloud.isValidVoiceHandle(h));
	EXPECT_EQ(soloud.init(0, Soloud::NULLDRIVER, 44100, 1024, 3), INVALID_PARAMETER);
	EXPECT_STREQ(soloud.getErrorString(FILE_NOT_FOUND), "File not found");
}
