#include <algorithm>
#include <cstring>
#include <new>
#include <vector>

#include "decoder.h"
#include "soloud_wav.h"

namespace SoLoud
{
	WavInstance::WavInstance(Wav *aParent) : mParent(aParent)
	{
	}

	unsigned int WavInstance::getAudio(float *aBuffer, unsigned int aSamplesToRead, unsigned int aBufferSize)
	{
		const Wav *w = mParent;
		if (!w->mData || w->mSampleCount == 0)
			return 0;
		unsigned int written = 0;
		while (written < aSamplesToRead)
		{
			if (mOffset >= w->mSampleCount)
			{
				if (!(mFlags & LOOPING))
					break;
				double loopFrame = mLoopPoint * mBaseSamplerate;
				mOffset = loopFrame < w->mSampleCount ? (unsigned int)loopFrame : 0;
				mLoopCount++;
			}
			unsigned int take = std::min(w->mSampleCount - mOffset, aSamplesToRead - written);
			for (unsigned int c = 0; c < mChannels; c++)
				memcpy(aBuffer + c * aBufferSize + written, w->mData + (size_t)c * w->mSampleCount + mOffset,
				       take * sizeof(float));
			mOffset += take;
			written += take;
		}
		mStreamPosition = mOffset / (double)mBaseSamplerate;
		return written;
	}

	bool WavInstance::hasEnded()
	{
		return !(mFlags & LOOPING) && mOffset >= mParent->mSampleCount;
	}

	result WavInstance::rewind()
	{
		mOffset = 0;
		mStreamPosition = 0;
		return SO_NO_ERROR;
	}

	result WavInstance::seek(time aSeconds, float *, unsigned int)
	{
		double frame = aSeconds * mBaseSamplerate;
		mOffset = frame <= 0 ? 0 : (unsigned int)std::min(frame, (double)mParent->mSampleCount);
		mStreamPosition = mOffset / (double)mBaseSamplerate;
		return SO_NO_ERROR;
	}

	Wav::Wav() {}

	Wav::~Wav()
	{
		stop();
		freeData();
	}

	void Wav::freeData()
	{
		delete[] mData;
		mData = 0;
		mSampleCount = 0;
	}

	result Wav::takeInterleaved(const float *aInterleaved, unsigned int aFrames, float aSamplerate, unsigned int aChannels)
	{
		if (!aInterleaved || aFrames == 0 || aChannels == 0 || aChannels > (unsigned int)MAX_SOURCE_CHANNELS ||
		    !(aSamplerate > 0))
			return INVALID_PARAMETER;
		float *data = new (std::nothrow) float[(size_t)aFrames * aChannels];
		if (!data)
			return OUT_OF_MEMORY;
		for (unsigned int c = 0; c < aChannels; c++)
			for (unsigned int k = 0; k < aFrames; k++)
				data[(size_t)c * aFrames + k] = aInterleaved[(size_t)k * aChannels + c];
		// Voices read the old data while they play: stop them before replacing it.
		stop();
		freeData();
		mData = data;
		mSampleCount = aFrames;
		mChannels = aChannels;
		mBaseSamplerate = aSamplerate;
		return SO_NO_ERROR;
	}

	result Wav::loadFailed(result aError)
	{
		stop();
		freeData();
		return aError;
	}

	result Wav::load(const char *aFilename)
	{
		DiskFile f;
		result res = f.open(aFilename);
		if (res != SO_NO_ERROR)
			return loadFailed(res);
		return loadFile(&f);
	}

	result Wav::loadMem(const unsigned char *aMem, unsigned int aLength, bool aCopy, bool aTakeOwnership)
	{
		MemoryFile f;
		result res = f.openMem(aMem, aLength, false, aTakeOwnership && !aCopy);
		if (res != SO_NO_ERROR)
			return loadFailed(res);
		return loadFile(&f);
	}

	result Wav::loadFile(File *aFile)
	{
		if (!aFile)
			return loadFailed(INVALID_PARAMETER);
		DecoderInfo info;
		std::vector<float> samples;
		if (!decode_all(aFile, &info, &samples))
			return loadFailed(FILE_LOAD_FAILED);
		result res = takeInterleaved(samples.data(), (unsigned int)(samples.size() / info.channels),
		                             (float)info.samplerate, info.channels);
		return res == SO_NO_ERROR ? res : loadFailed(res);
	}

	result Wav::loadRawWave8(const unsigned char *aMem, unsigned int aLength, float aSamplerate, unsigned int aChannels)
	{
		if (!aMem || aChannels == 0)
			return INVALID_PARAMETER;
		std::vector<float> samples(aLength);
		for (unsigned int i = 0; i < aLength; i++)
			samples[i] = ((signed)aMem[i] - 128) / 128.0f;
		return takeInterleaved(samples.data(), aLength / aChannels, aSamplerate, aChannels);
	}

	result Wav::loadRawWave16(const short *aMem, unsigned int aLength, float aSamplerate, unsigned int aChannels)
	{
		if (!aMem || aChannels == 0)
			return INVALID_PARAMETER;
		std::vector<float> samples(aLength);
		for (unsigned int i = 0; i < aLength; i++)
			samples[i] = aMem[i] / 32768.0f;
		return takeInterleaved(samples.data(), aLength / aChannels, aSamplerate, aChannels);
	}

	result Wav::loadRawWave(const float *aMem, unsigned int aLength, float aSamplerate, unsigned int aChannels, bool aCopy,
	                        bool aTakeOwnership)
	{
		if (!aMem || aChannels == 0)
			return INVALID_PARAMETER;
		// Data is always stored de-interleaved in a block of our own.
		result res = takeInterleaved(aMem, aLength / aChannels, aSamplerate, aChannels);
		if (res == SO_NO_ERROR && !aCopy && aTakeOwnership)
			delete[] aMem;
		return res;
	}

	AudioSourceInstance *Wav::createInstance()
	{
		return new WavInstance(this);
	}

	time Wav::getLength()
	{
		return mBaseSamplerate > 0 ? mSampleCount / (double)mBaseSamplerate : 0.0;
	}
}
