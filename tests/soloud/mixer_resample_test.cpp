// Resampling: every frame of a voice whose rate differs from the output's is the
// linear blend of its two source frames, whatever the step, the block sizes and the
// refills of the voice's buffer; and the interpolation loop on its own, at the edges
// of its fast paths.
#include "mixer_fixture.h"

#include <cmath>
#include <cstdint>

#include "libs/soloud/src/resample_lerp.h"

using namespace SoLoud;

namespace
{
	// Noise that changes a lot from frame to frame, so that a blend with the wrong
	// weight or the wrong neighbour shows.
	std::vector<float> noise(unsigned int aCount, uint32_t aSeed)
	{
		std::vector<float> data(aCount);
		for (float &x : data)
		{
			aSeed = aSeed * 1664525u + 1013904223u;
			x = (float)(aSeed >> 8) / 16777216.0f - 0.5f;
		}
		return data;
	}

	// The blend at a position, in double precision.
	double reference(const std::vector<float> &aIn, double aPos)
	{
		size_t j = (size_t)aPos;
		double t = aPos - (double)j;
		return aIn[j] + (aIn[j + 1] - (double)aIn[j]) * t;
	}
}

TEST_F(MixerTest, ResampledVoicesBlendTheirTwoSourceFrames)
{
	struct Case
	{
		float rate;
		float speed;
		unsigned int channels;
		unsigned int chunk;
	} cases[] = {
	    {22050, 1, 1, 256},  {22050, 1, 2, 100}, {11025, 1, 1, 256}, {48000, 1, 1, 300}, {32000, 1, 2, 256},
	    {8000, 1, 1, 77},    {96000, 1, 1, 256}, {22050, 1.37f, 1, 256}, {44100, 0.61f, 2, 128}, {7, 1, 1, 256},
	};
	const unsigned int FRAMES = 5000, OUT = 4000;
	for (const Case &c : cases)
	{
		soloud.stopAll();
		std::vector<float> data = noise(FRAMES * c.channels, 99);
		Wav wav;
		ASSERT_EQ(wav.loadRawWave(data.data(), FRAMES * c.channels, c.rate, c.channels, true), SO_NO_ERROR);
		handle h = soloud.playBackground(wav, 1.0f);
		if (c.speed != 1)
			soloud.setRelativePlaySpeed(h, c.speed);
		std::vector<float> out = mix(OUT, c.chunk);
		// The raw data is interleaved; a mono voice sounds in both output channels.
		std::vector<float> channels[2];
		for (unsigned int ch = 0; ch < 2; ch++)
			for (unsigned int k = 0; k < FRAMES; k++)
				channels[ch].push_back(data[k * c.channels + (c.channels == 2 ? ch : 0)]);
		double step = (double)c.rate * c.speed / TEST_RATE;
		int checked = 0;
		for (unsigned int k = 0; k < OUT; k++)
		{
			double pos = k * step;
			if (pos + 1 >= FRAMES)
				break;
			for (unsigned int ch = 0; ch < 2; ch++)
			{
				double expected = reference(channels[ch], pos);
				ASSERT_NEAR(out[2 * k + ch], expected, 2e-6)
				    << "rate " << c.rate << " speed " << c.speed << " channels " << c.channels << " frame " << k
				    << " channel " << ch;
			}
			checked++;
		}
		EXPECT_GT(checked, 100) << c.rate;
	}
}

// The loop on its own: every count, from every start, for steps on both sides of the
// fast paths' limits, stays on the blend and reads no frame past the last one given.
TEST(ResampleLerp, EveryFrameIsTheBlendOfItsNeighbours)
{
	const unsigned int IN = 40;
	std::vector<float> in = noise(IN, 7);
	const double steps[] = {0.5, 0.25, 0.75, 1.0, 0.999, 0.7256, 1.0001, 1.5, 2.17, 1.0 / 3};
	for (double step : steps)
		for (double startFrac : {0.0, 0.3, 0.999})
		{
			uint64_t start = (uint64_t)(startFrac * LERP_FIXED_ONE);
			uint64_t fixedStep = (uint64_t)(step * LERP_FIXED_ONE + 0.5);
			// As many frames as keep every position below the last frame.
			unsigned int most = (unsigned int)((((uint64_t)(IN - 1) << 32) - start + fixedStep - 1) / fixedStep);
			for (unsigned int count = 0; count <= most; count++)
			{
				// A block of exactly IN frames: a read past it shows under the address sanitizer.
				std::vector<float> exact(in);
				std::vector<float> out(count + 1, 123.0f);
				lerp_channel(exact.data(), IN, out.data(), count, start, fixedStep);
				for (unsigned int k = 0; k < count; k++)
				{
					double pos = (double)(start + (uint64_t)k * fixedStep) / LERP_FIXED_ONE;
					ASSERT_NEAR(out[k], reference(in, pos), 2e-6) << "step " << step << " count " << count << " k " << k;
				}
				EXPECT_EQ(out[count], 123.0f) << "nothing written past the count";
			}
		}
}
