// Linear interpolation of one channel at evenly spaced positions: the inner loop of
// resampling a voice to the output rate.
#pragma once
#include <cstdint>

namespace SoLoud
{
	// Positions are 32.32 fixed point: each one exact and independent of the one before.
	const double LERP_FIXED_ONE = 4294967296.0;

	// aOut[k] = the blend of aIn[j] and aIn[j + 1] at position aStart + k * aStep
	// (j its integer part, the blend weight its fraction to 24 bits), k < aCount. Every
	// position must stay below aInCount - 1, so that aIn[j + 1] is one of the aInCount
	// frames of aIn.
	void lerp_channel(const float *aIn, unsigned int aInCount, float *aOut, unsigned int aCount, uint64_t aStart,
	                  uint64_t aStep);
}
