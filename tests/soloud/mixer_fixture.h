// A mixer on the null back end and helpers to make sources and read the output.
#pragma once

#include <gtest/gtest.h>

#include <vector>

#include "soloud.h"
#include "soloud_bus.h"
#include "soloud_wav.h"

static const unsigned int TEST_RATE = 44100;

struct MixerTest : ::testing::Test
{
	SoLoud::Soloud soloud;

	void SetUp() override
	{
		ASSERT_EQ(soloud.init(0, SoLoud::Soloud::NULLDRIVER, TEST_RATE, 256, 2), SoLoud::SO_NO_ERROR);
	}

	// Mixes aFrames stereo frames in chunks of aChunk, returns them interleaved.
	std::vector<float> mix(unsigned int aFrames, unsigned int aChunk = 256)
	{
		std::vector<float> out(aFrames * 2);
		for (unsigned int at = 0; at < aFrames; at += aChunk)
			soloud.mix(out.data() + at * 2, std::min(aChunk, aFrames - at));
		return out;
	}
};

// A mono sample whose every frame is aValue.
inline void make_constant(SoLoud::Wav &aWav, float aValue, unsigned int aFrames, float aRate = TEST_RATE)
{
	std::vector<float> data(aFrames, aValue);
	ASSERT_EQ(aWav.loadRawWave(data.data(), aFrames, aRate, 1, true), SoLoud::SO_NO_ERROR);
}

// A mono sample whose frame k is aScale * k: positions can be read back from the output.
inline void make_ramp(SoLoud::Wav &aWav, unsigned int aFrames, float aScale, float aRate = TEST_RATE)
{
	std::vector<float> data(aFrames);
	for (unsigned int k = 0; k < aFrames; k++)
		data[k] = aScale * k;
	ASSERT_EQ(aWav.loadRawWave(data.data(), aFrames, aRate, 1, true), SoLoud::SO_NO_ERROR);
}
