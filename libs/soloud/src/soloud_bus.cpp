#include <cstring>

#include "mixer_internal.h"
#include "soloud_bus.h"

namespace SoLoud
{
	typedef std::lock_guard<std::recursive_mutex> Lock;

	BusInstance::BusInstance(Bus *aParent) : mParent(aParent)
	{
	}

	BusInstance::~BusInstance()
	{
		// A bus that stops takes its voices with it; the engine's lock is held here.
		Soloud *s = mParent->mSoloud;
		if (s && mSelfHandle)
			s->stopVoicesOfBus(mSelfHandle);
		if (mParent->mInstance == this)
		{
			mParent->mInstance = 0;
			mParent->mChannelHandle = 0;
		}
	}

	unsigned int BusInstance::getAudio(float *aBuffer, unsigned int aSamplesToRead, unsigned int aBufferSize)
	{
		Soloud *s = mParent->mSoloud;
		memset(aBuffer, 0, aSamplesToRead * sizeof(float));
		memset(aBuffer + aBufferSize, 0, aSamplesToRead * sizeof(float));
		if (s->mBusDepth + 1 < MAX_BUS_DEPTH)
		{
			s->mBusDepth++;
			s->mixBus(aBuffer, aSamplesToRead, aBufferSize, mSelfHandle);
			s->mBusDepth--;
		}
		if (mParent->mVisualizationEnabled)
		{
			record_peak(aBuffer, aSamplesToRead, aBufferSize, mParent->mApproximateVolume);
			push_history(mParent->mWaveHistory, 256, aBuffer, aSamplesToRead, aBufferSize);
		}
		if (mChannels == 1)
			for (unsigned int k = 0; k < aSamplesToRead; k++)
				aBuffer[k] = (aBuffer[k] + aBuffer[aBufferSize + k]) * 0.5f;
		return aSamplesToRead;
	}

	Bus::Bus()
	{
		mChannels = 2;
		// Only one instance of a bus plays.
		mFlags |= SINGLE_INSTANCE;
	}

	Bus::~Bus()
	{
		stop();
	}

	AudioSourceInstance *Bus::createInstance()
	{
		// The engine stopped the earlier instance already (single instance).
		BusInstance *bi = new BusInstance(this);
		mInstance = bi;
		return bi;
	}

	handle Bus::play(AudioSource &aSound, float aVolume, float aPan, bool aPaused)
	{
		if (!mSoloud)
			return 0;
		Lock lock(mSoloud->mMutex);
		if (!mInstance || !mChannelHandle)
			return 0;
		return mSoloud->play(aSound, aVolume, aPan, aPaused, mChannelHandle);
	}

	void Bus::setChannels(unsigned int aChannels)
	{
		if (aChannels == 1 || aChannels == 2)
			mChannels = aChannels;
	}

	void Bus::setVisualizationEnable(bool aEnable)
	{
		mVisualizationEnabled = aEnable;
	}

	float *Bus::getWave()
	{
		if (mSoloud)
		{
			Lock lock(mSoloud->mMutex);
			memcpy(mVisualizationWave, mWaveHistory, sizeof(mVisualizationWave));
		}
		return mVisualizationWave;
	}

	float *Bus::calcFFT()
	{
		float samples[512] = {};
		if (mSoloud)
		{
			Lock lock(mSoloud->mMutex);
			memcpy(samples + 256, mWaveHistory, sizeof(mWaveHistory));
		}
		calc_fft_magnitudes(samples, mFFTData);
		return mFFTData;
	}

	float Bus::getApproximateVolume(unsigned int aChannel)
	{
		if (aChannel >= 2 || !mSoloud)
			return 0.0f;
		Lock lock(mSoloud->mMutex);
		return mApproximateVolume[aChannel];
	}

	unsigned int Bus::getActiveVoiceCount()
	{
		if (!mSoloud)
			return 0;
		Lock lock(mSoloud->mMutex);
		if (!mChannelHandle)
			return 0;
		mSoloud->updateActiveVoices(false);
		unsigned int n = 0;
		for (int i = 0; i < VOICE_COUNT; i++)
			n += mSoloud->mVoice[i] && mSoloud->mVoice[i]->mBusHandle == mChannelHandle && mSoloud->mActive[i] == 1;
		return n;
	}

	void Bus::annexSound(handle aVoiceHandle)
	{
		if (!mSoloud)
			return;
		Lock lock(mSoloud->mMutex);
		AudioSourceInstance *v = mSoloud->voiceOf(aVoiceHandle);
		if (v && mChannelHandle && aVoiceHandle != mChannelHandle)
			v->mBusHandle = mChannelHandle;
	}
}
