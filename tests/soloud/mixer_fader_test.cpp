// Faders and schedules land on exact samples whatever the size of the mixed blocks.
#include <cmath>

#include "mixer_fixture.h"

using namespace SoLoud;

struct ChunkCase
{
	unsigned int chunk;
};

class MixerFaderTest : public MixerTest, public ::testing::WithParamInterface<unsigned int>
{
};

TEST_P(MixerFaderTest, FadeOutAndScheduledStopLandOnTheirSamples)
{
	Wav dc;
	make_constant(dc, 0.5f, 20000);
	handle h = soloud.playBackground(dc, 1.0f);
	mix(100, GetParam());
	// Fade to silence over 1000 samples and stop then: what the sound script's
	// fade_out_and_stop does.
	double t = 1000.0 / TEST_RATE;
	soloud.fadeVolume(h, 0.0f, t);
	soloud.scheduleStop(h, t);
	std::vector<float> out = mix(1200, GetParam());
	for (unsigned int k : {0u, 1u, 250u, 500u, 999u})
		EXPECT_NEAR(out[2 * k], 0.5f * (1.0f - k / 1000.0f), 1e-5f) << k;
	EXPECT_EQ(out[2 * 1000], 0.0f);
	EXPECT_EQ(out[2 * 1199], 0.0f);
	EXPECT_FALSE(soloud.isValidVoiceHandle(h));
}

TEST_P(MixerFaderTest, FadeInUpdatesTheVolumeAndEndsAtItsTarget)
{
	Wav dc;
	make_constant(dc, 0.5f, 20000);
	handle h = soloud.playBackground(dc, 0.0f);
	soloud.fadeVolume(h, 1.0f, 400.0 / TEST_RATE);
	std::vector<float> out = mix(600, GetParam());
	EXPECT_NEAR(out[2 * 200], 0.25f, 1e-5f);
	EXPECT_NEAR(out[2 * 500], 0.5f, 1e-6f);
	EXPECT_FLOAT_EQ(soloud.getVolume(h), 1.0f);
}

TEST_P(MixerFaderTest, SchedulePauseHoldsTheVoice)
{
	Wav ramp;
	make_ramp(ramp, 5000, 0.0001f);
	handle h = soloud.playBackground(ramp, 1.0f);
	soloud.schedulePause(h, 300.0 / TEST_RATE);
	std::vector<float> out = mix(500, GetParam());
	EXPECT_NEAR(out[2 * 299], 0.0299f, 1e-6f);
	EXPECT_EQ(out[2 * 300], 0.0f);
	EXPECT_TRUE(soloud.getPause(h));
	soloud.setPause(h, false);
	out = mix(1);
	EXPECT_NEAR(out[0], 0.03f, 1e-6f);
}

INSTANTIATE_TEST_SUITE_P(BlockSizes, MixerFaderTest, ::testing::Values(1u, 37u, 256u, 1000u));

TEST_F(MixerTest, SetVolumeCancelsAFadeAndRampsOverOneBlock)
{
	Wav dc;
	make_constant(dc, 1.0f, 20000);
	handle h = soloud.playBackground(dc, 1.0f);
	soloud.fadeVolume(h, 0.0f, 1.0);
	mix(10);
	soloud.setVolume(h, 0.5f);
	// A change between blocks glides across the next block, then holds.
	std::vector<float> out = mix(200, 100);
	EXPECT_GT(out[0], 0.5f);
	EXPECT_NEAR(out[2 * 150], 0.5f, 1e-6f);
}

TEST_F(MixerTest, PanFadeAndGlobalFade)
{
	Wav dc;
	make_constant(dc, 1.0f, 20000);
	handle h = soloud.play(dc, 1.0f, -1.0f);
	soloud.fadePan(h, 1.0f, 100.0 / TEST_RATE);
	soloud.fadeGlobalVolume(0.5f, 100.0 / TEST_RATE);
	std::vector<float> out = mix(150);
	EXPECT_NEAR(out[0], 1.0f, 1e-6f);
	EXPECT_NEAR(out[1], 0.0f, 1e-6f);
	EXPECT_NEAR(out[2 * 120], 0.0f, 1e-6f);
	EXPECT_NEAR(out[2 * 120 + 1], 0.5f, 1e-6f);
	EXPECT_FLOAT_EQ(soloud.getPan(h), 1.0f);
	EXPECT_FLOAT_EQ(soloud.getGlobalVolume(), 0.5f);
	EXPECT_NEAR(soloud.getStreamTime(h), 150.0 / TEST_RATE, 1e-9);
}

TEST_F(MixerTest, FadesAndSchedulesThatAreNoTimeAreNowAndEndlessOnesNever)
{
	Wav dc;
	make_constant(dc, 0.5f, 20000);
	dc.setLooping(true);
	struct Case
	{
		double seconds;
		bool now;
	} cases[] = {{-1.0, true}, {std::nan(""), true}, {0.0, true}, {1e30, false}, {HUGE_VAL, false}};
	for (const Case &c : cases)
	{
		SCOPED_TRACE(c.seconds);
		handle faded = soloud.playBackground(dc, 1.0f);
		handle stopped = soloud.playBackground(dc, 1.0f);
		mix(100);
		soloud.fadeVolume(faded, 0.0f, c.seconds);
		soloud.scheduleStop(stopped, c.seconds);
		mix(1000);
		EXPECT_EQ(soloud.isValidVoiceHandle(stopped), !c.now);
		// Endless: the fade has hardly begun.
		EXPECT_NEAR(soloud.getVolume(faded), c.now ? 0.0f : 1.0f, 1e-6f);
		soloud.stopAll();
	}
}
