// A sample decoded whole into memory as float frames: WAV, FLAC, Ogg Vorbis or MP3.
#pragma once

#include "soloud.h"

namespace SoLoud
{
	class File;
	class Wav;

	class WavInstance : public AudioSourceInstance
	{
	public:
		explicit WavInstance(Wav *aParent);
		unsigned int getAudio(float *aBuffer, unsigned int aSamplesToRead, unsigned int aBufferSize) override;
		bool hasEnded() override;
		result rewind() override;
		result seek(time aSeconds, float *aScratch, unsigned int aScratchSize) override;

		Wav *mParent;
		unsigned int mOffset = 0;
	};

	class Wav : public AudioSource
	{
	public:
		Wav();
		~Wav() override;
		result load(const char *aFilename);
		result loadMem(const unsigned char *aMem, unsigned int aLength, bool aCopy = false, bool aTakeOwnership = true);
		result loadFile(File *aFile);
		result loadRawWave8(const unsigned char *aMem, unsigned int aLength, float aSamplerate = 44100.0f, unsigned int aChannels = 1);
		result loadRawWave16(const short *aMem, unsigned int aLength, float aSamplerate = 44100.0f, unsigned int aChannels = 1);
		// aLength counts samples over all channels; the data is channel-interleaved.
		result loadRawWave(const float *aMem, unsigned int aLength, float aSamplerate = 44100.0f, unsigned int aChannels = 1, bool aCopy = false, bool aTakeOwnership = true);
		AudioSourceInstance *createInstance() override;
		time getLength();

		// Frames stored channel after channel: channel c starts at mData + c * mSampleCount.
		float *mData = 0;
		unsigned int mSampleCount = 0;

	private:
		void freeData();
		// Stops the voices and drops the data: a failed load leaves the sample silent.
		result loadFailed(result aError);
		result takeInterleaved(const float *aInterleaved, unsigned int aFrames, float aSamplerate, unsigned int aChannels);
	};
}
