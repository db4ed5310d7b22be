// Helpers shared by the mixer's source files.
#pragma once

namespace SoLoud
{
	// Left and right gains of a pan position in -1..1, keeping constant power.
	void pan_to_channel_volumes(float aPan, float *aVolumes);
	// Peak of each of the two channels of a block.
	void record_peak(const float *aOut, unsigned int aFrames, unsigned int aStride, float *aPeak);
	// Shifts the newest samples of a block (mono mix) into a history of aSize, newest last.
	void push_history(float *aHistory, unsigned int aSize, const float *aOut, unsigned int aFrames, unsigned int aStride);
}
