// A voice's level on each channel: volume, constant-power pan, buses, end of a sample,
// resampling, clipping and the level meters.
#include <cmath>
#include <functional>

#include "mixer_fixture.h"

using namespace SoLoud;

struct PanCase
{
	float volume, pan;
};

TEST_F(MixerTest, VoicePlaysAtItsVolumeAndConstantPowerPan)
{
	Wav dc;
	make_constant(dc, 0.5f, 2000);
	const PanCase cases[] = {{1.0f, 0.0f}, {0.5f, -1.0f}, {0.8f, 1.0f}, {1.0f, 0.5f}, {0.25f, -0.3f}};
	for (const PanCase &c : cases)
	{
		handle h = soloud.play(dc, c.volume, c.pan);
		ASSERT_NE(h, 0u);
		std::vector<float> out = mix(300);
		float angle = (c.pan + 1.0f) * 3.14159265f / 4.0f;
		for (unsigned int k : {0u, 100u, 299u})
		{
			EXPECT_NEAR(out[2 * k], 0.5f * c.volume * cosf(angle), 1e-5f) << "pan " << c.pan;
			EXPECT_NEAR(out[2 * k + 1], 0.5f * c.volume * sinf(angle), 1e-5f) << "pan " << c.pan;
		}
		// Constant power: the sum of squares does not depend on the pan.
		float power = out[0] * out[0] + out[1] * out[1];
		EXPECT_NEAR(power, 0.25f * c.volume * c.volume, 1e-5f);
		soloud.stop(h);
	}
}

TEST_F(MixerTest, NanPanIsTheCentreAndLeavesTheRestOfTheMixAlone)
{
	Wav dc, other;
	make_constant(dc, 0.5f, 2000);
	make_constant(other, 0.25f, 2000);
	Bus effects;
	soloud.playBackground(effects);
	soloud.playBackground(other, 1.0f);
	handle played = effects.play(dc, 1.0f, std::nanf(""));
	handle panned = soloud.play(dc, 1.0f, 0.0f);
	soloud.setPan(panned, std::nanf(""));
	std::vector<float> out = mix(300);
	const float centre = 0.5f * cosf(3.14159265f / 4.0f);
	for (unsigned int k : {0u, 150u, 299u})
	{
		EXPECT_NEAR(out[2 * k], 0.25f + 2 * centre, 1e-5f) << k;
		EXPECT_NEAR(out[2 * k + 1], 0.25f + 2 * centre, 1e-5f) << k;
	}
	soloud.fadePan(played, std::nanf(""), 0.001);
	out = mix(300);
	EXPECT_NEAR(out[2 * 299], 0.25f + 2 * centre, 1e-5f);
}

TEST_F(MixerTest, NanVolumeIsSilenceAndLeavesTheRestOfTheMixAlone)
{
	const float nan = std::nanf("");
	struct Case
	{
		const char *name;
		std::function<void(Soloud &, Wav &, handle)> apply;
	} cases[] = {
		{"setVolume", [&](Soloud &s, Wav &, handle h) { s.setVolume(h, nan); }},
		{"fadeVolume", [&](Soloud &s, Wav &, handle h) { s.fadeVolume(h, nan, 0.001); }},
		{"fadeVolume now", [&](Soloud &s, Wav &, handle h) { s.fadeVolume(h, nan, 0.0); }},
		{"setPanAbsolute", [&](Soloud &s, Wav &, handle h) { s.setPanAbsolute(h, nan, nan); }},
		{"setChannelVolume", [&](Soloud &s, Wav &, handle h) { s.setChannelVolume(h, 0, nan), s.setChannelVolume(h, 1, nan); }},
		{"play", [&](Soloud &s, Wav &w, handle h) { s.stop(h), s.playBackground(w, nan); }},
		{"source volume", [&](Soloud &s, Wav &w, handle h) { s.stop(h), w.setVolume(nan), s.playBackground(w); }},
	};
	for (const Case &c : cases)
	{
		SCOPED_TRACE(c.name);
		Wav dc, other;
		make_constant(dc, 0.5f, 2000);
		make_constant(other, 0.25f, 2000);
		soloud.playBackground(other, 1.0f);
		c.apply(soloud, dc, soloud.playBackground(dc, 1.0f));
		std::vector<float> out = mix(300);
		EXPECT_NEAR(out[2 * 299], 0.25f, 1e-6f);
		EXPECT_NEAR(out[2 * 299 + 1], 0.25f, 1e-6f);
		soloud.stopAll();
	}
	// A NaN global volume silences everything instead of filling the output with NaN.
	Wav dc;
	make_constant(dc, 0.5f, 2000);
	soloud.playBackground(dc, 1.0f);
	soloud.setGlobalVolume(nan);
	EXPECT_EQ(mix(10)[0], 0.0f);
	soloud.setGlobalVolume(1.0f);
	soloud.fadeGlobalVolume(nan, 0.001);
	EXPECT_EQ(mix(100)[2 * 99], 0.0f);
}

TEST_F(MixerTest, NegativeVolumeTakesTheSourceVolume)
{
	Wav dc;
	make_constant(dc, 0.5f, 1000);
	dc.setVolume(0.4f);
	handle h = soloud.playBackground(dc);
	EXPECT_FLOAT_EQ(soloud.getVolume(h), 0.4f);
	std::vector<float> out = mix(10);
	// Background voices play at full volume on both channels.
	EXPECT_NEAR(out[0], 0.2f, 1e-6f);
	EXPECT_NEAR(out[1], 0.2f, 1e-6f);
}

TEST_F(MixerTest, StereoSourceKeepsItsChannelsApart)
{
	Wav st;
	std::vector<float> data;
	for (int k = 0; k < 500; k++)
	{
		data.push_back(0.6f);
		data.push_back(-0.2f);
	}
	ASSERT_EQ(st.loadRawWave(data.data(), (unsigned int)data.size(), TEST_RATE, 2, true), SO_NO_ERROR);
	EXPECT_EQ(st.mChannels, 2u);
	handle h = soloud.playBackground(st, 1.0f);
	soloud.setPanAbsolute(h, 0.5f, 1.0f);
	std::vector<float> out = mix(100);
	EXPECT_NEAR(out[100], 0.3f, 1e-6f);
	EXPECT_NEAR(out[101], -0.2f, 1e-6f);
}

TEST_F(MixerTest, VoicesAddUpAndBusesScaleTheirVoices)
{
	Bus sfx, music;
	handle sfxBus = soloud.playBackground(sfx);
	handle musicBus = soloud.playBackground(music);
	ASSERT_NE(sfxBus, 0u);
	ASSERT_NE(musicBus, 0u);
	soloud.setVolume(sfxBus, 0.5f);
	soloud.setVolume(musicBus, 0.25f);

	Wav a, b, direct;
	make_constant(a, 0.4f, 5000);
	make_constant(b, 0.2f, 5000);
	make_constant(direct, 0.1f, 5000);
	handle ha = sfx.play(a, 1.0f);
	handle hb = music.play(b, 1.0f);
	handle hd = soloud.playBackground(direct, 1.0f);
	soloud.setPanAbsolute(ha, 1, 1);
	soloud.setPanAbsolute(hb, 1, 1);
	ASSERT_TRUE(ha && hb && hd);

	std::vector<float> out = mix(512, 100);
	float expected = 0.4f * 0.5f + 0.2f * 0.25f + 0.1f;
	for (unsigned int k : {0u, 1u, 255u, 511u})
	{
		EXPECT_NEAR(out[2 * k], expected, 1e-6f) << k;
		EXPECT_NEAR(out[2 * k + 1], expected, 1e-6f) << k;
	}
	EXPECT_EQ(sfx.getActiveVoiceCount(), 1u);

	// Stopping a bus stops what plays through it; playing on a stopped bus gives 0.
	soloud.stop(sfxBus);
	EXPECT_FALSE(soloud.isValidVoiceHandle(ha));
	EXPECT_TRUE(soloud.isValidVoiceHandle(hb));
	EXPECT_EQ(sfx.play(a), 0u);
}

TEST_F(MixerTest, BusPlayedAgainReplacesItsEarlierInstance)
{
	Bus bus;
	handle first = soloud.playBackground(bus);
	handle second = soloud.playBackground(bus);
	EXPECT_FALSE(soloud.isValidVoiceHandle(first));
	EXPECT_TRUE(soloud.isValidVoiceHandle(second));
	EXPECT_EQ(bus.mChannelHandle, second);
}

TEST_F(MixerTest, SampleEndsOnItsLastFrameAndFreesTheVoice)
{
	Wav dc;
	make_constant(dc, 0.5f, 300);
	handle h = soloud.playBackground(dc, 1.0f);
	std::vector<float> out = mix(400, 64);
	EXPECT_FLOAT_EQ(out[2 * 299], 0.5f);
	EXPECT_FLOAT_EQ(out[2 * 300], 0.0f);
	EXPECT_FALSE(soloud.isValidVoiceHandle(h));
	EXPECT_EQ(soloud.getVoiceCount(), 0u);
}

TEST_F(MixerTest, SlowerSourceIsResampledLinearly)
{
	// A ramp at half the output rate: every other output frame falls between two frames.
	Wav ramp;
	make_ramp(ramp, 100, 0.01f, TEST_RATE / 2);
	soloud.playBackground(ramp, 1.0f);
	std::vector<float> out = mix(150);
	EXPECT_NEAR(out[2 * 20], 0.10f, 1e-5f);
	EXPECT_NEAR(out[2 * 21], 0.105f, 1e-5f);
	EXPECT_NEAR(out[2 * 101], 0.505f, 1e-5f);
	EXPECT_EQ(soloud.getVoiceCount(), 1u);

	// Relative play speed doubles the rate back: frame k of the output is frame k of the ramp.
	soloud.stopAll();
	handle h = soloud.playBackground(ramp, 1.0f);
	soloud.setRelativePlaySpeed(h, 2.0f);
	out = mix(50);
	EXPECT_NEAR(out[2 * 30], 0.30f, 1e-5f);
}

TEST_F(MixerTest, HardClipWithoutRoundoffAndGlobalVolumeBeforeIt)
{
	Wav loud;
	make_constant(loud, 0.9f, 1000);
	soloud.playBackground(loud, 1.0f);
	soloud.playBackground(loud, 1.0f);
	soloud.playBackground(loud, 1.0f);
	std::vector<float> out = mix(10);
	EXPECT_FLOAT_EQ(out[0], 1.0f);
	soloud.setGlobalVolume(0.25f);
	out = mix(10);
	EXPECT_NEAR(out[0], 0.675f, 1e-6f);
}

TEST(MixerRoundoff, RoundoffClipperStaysBelowOneAndKeepsQuietSounds)
{
	Soloud soloud;
	ASSERT_EQ(soloud.init(Soloud::CLIP_ROUNDOFF, Soloud::NULLDRIVER, TEST_RATE, 256, 2), SO_NO_ERROR);
	Wav quiet, loud;
	make_constant(quiet, 0.3f, 100);
	make_constant(loud, 5.0f, 100);
	soloud.playBackground(quiet, 1.0f);
	float out[2];
	soloud.mix(out, 1);
	EXPECT_FLOAT_EQ(out[0], 0.3f);
	soloud.playBackground(loud, 1.0f);
	soloud.mix(out, 1);
	EXPECT_GT(out[0], 0.9f);
	EXPECT_LT(out[0], 1.0f);
}

TEST_F(MixerTest, LevelMetersFollowTheLastBlock)
{
	Bus bus;
	soloud.setVisualizationEnable(true);
	bus.setVisualizationEnable(true);
	handle busHandle = soloud.playBackground(bus);
	soloud.setVolume(busHandle, 0.5f);
	Wav dc;
	make_constant(dc, 0.8f, 10000);
	handle h = bus.play(dc, 1.0f);
	soloud.setPanAbsolute(h, 1.0f, 0.5f);
	mix(512);
	// The bus meters before its own volume, the engine after it.
	EXPECT_NEAR(bus.getApproximateVolume(0), 0.8f, 1e-6f);
	EXPECT_NEAR(bus.getApproximateVolume(1), 0.4f, 1e-6f);
	EXPECT_NEAR(soloud.getApproximateVolume(0), 0.4f, 1e-6f);
	EXPECT_NEAR(soloud.getApproximateVolume(1), 0.2f, 1e-6f);
	EXPECT_EQ(soloud.getApproximateVolume(2), 0.0f);
	EXPECT_NEAR(soloud.getWave()[255], 0.3f, 1e-6f);
	EXPECT_NEAR(bus.getWave()[255], 0.6f, 1e-6f);
	// A constant signal has all its energy in the first bin.
	float *fft = soloud.calcFFT();
	EXPECT_NEAR(fft[0], 0.3f * 512, 1e-2f);
	EXPECT_NEAR(fft[10], 0.0f, 1e-2f);
}
