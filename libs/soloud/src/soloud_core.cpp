// Engine set-up, voices and handles, and the per-voice attributes.
#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstring>

#include "backends.h"
#include "mixer_internal.h"
#include "soloud.h"
#include "soloud_bus.h"

namespace SoLoud
{
	typedef std::lock_guard<std::recursive_mutex> Lock;

	// Source ids are unique across engines, so a source never matches another's voices.
	static std::atomic<unsigned int> next_audio_source_id{1};

	// A handle is the voice slot + 1 in the low 12 bits and the voice's play index above,
	// so a handle of a voice that stopped (or whose slot was reused) matches nothing.
	static const unsigned int SLOT_BITS = 12;
	static const unsigned int PLAY_INDEX_MASK = (1u << (32 - SLOT_BITS)) - 1;

	void Fader::set(float aFrom, float aTo, int64_t aStart, int64_t aEnd)
	{
		mActive = true;
		mFrom = aFrom;
		mTo = aTo;
		mStart = aStart;
		mEnd = aEnd;
	}

	float Fader::get(int64_t aSample) const
	{
		if (aSample >= mEnd)
			return mTo;
		if (aSample <= mStart)
			return mFrom;
		return mFrom + (mTo - mFrom) * (float)((double)(aSample - mStart) / (double)(mEnd - mStart));
	}

	// A NaN volume is silence: one NaN voice would otherwise make the whole output NaN.
	static float volume_or_silence(float aVolume)
	{
		return aVolume == aVolume ? aVolume : 0.0f;
	}

	void pan_to_channel_volumes(float aPan, float *aVolumes)
	{
		// Constant power: left^2 + right^2 = 1 across the field. A NaN pan (a position
		// computed from nothing) is the centre: it must not turn the whole mix into NaN.
		float pan = aPan == aPan ? std::clamp(aPan, -1.0f, 1.0f) : 0.0f;
		float angle = (pan + 1.0f) * 0.78539816f;
		aVolumes[0] = cosf(angle);
		aVolumes[1] = sinf(angle);
	}

	AudioSourceInstance::AudioSourceInstance() {}

	AudioSourceInstance::~AudioSourceInstance()
	{
		delete[] mResampleData;
	}

	void AudioSourceInstance::init(AudioSource &aSource, unsigned int aPlayIndex)
	{
		mPlayIndex = aPlayIndex;
		mBaseSamplerate = aSource.mBaseSamplerate;
		mChannels = aSource.mChannels;
		mAudioSourceID = aSource.mAudioSourceID;
		mLoopPoint = aSource.mLoopPoint;
		mFlags = 0;
		if (aSource.mFlags & AudioSource::SHOULD_LOOP)
			mFlags |= LOOPING;
		if (aSource.mFlags & AudioSource::INAUDIBLE_KILL)
			mFlags |= INAUDIBLE_KILL;
		if (aSource.mFlags & AudioSource::INAUDIBLE_TICK)
			mFlags |= INAUDIBLE_TICK;
	}

	result AudioSourceInstance::seek(time aSeconds, float *aScratch, unsigned int aScratchSize)
	{
		if (aSeconds < mStreamPosition)
		{
			result res = rewind();
			if (res != SO_NO_ERROR)
				return res;
		}
		unsigned int perRead = aScratchSize / (mChannels ? mChannels : 1);
		double frames = (aSeconds - mStreamPosition) * mBaseSamplerate;
		while (frames >= 1.0 && perRead > 0 && !hasEnded())
		{
			unsigned int n = frames < perRead ? (unsigned int)frames : perRead;
			unsigned int got = getAudio(aScratch, n, perRead);
			if (got == 0)
				break;
			frames -= got;
		}
		return SO_NO_ERROR;
	}

	// Loop points may come from untrusted input: negative and NaN mean the start; huge ones are
	// capped (still past any end, so they too loop to the start) so that turning them
	// into frame numbers never overflows.
	static time valid_loop_point(time aLoopPoint)
	{
		const time longest = 1e9;
		if (!(aLoopPoint > 0))
			return 0;
		return aLoopPoint < longest ? aLoopPoint : longest;
	}

	AudioSource::AudioSource() {}

	AudioSource::~AudioSource()
	{
		stop();
	}

	void AudioSource::setVolume(float aVolume)
	{
		mVolume = volume_or_silence(aVolume);
	}

	void AudioSource::setLooping(bool aLoop)
	{
		mFlags = aLoop ? (mFlags | SHOULD_LOOP) : (mFlags & ~SHOULD_LOOP);
	}

	void AudioSource::setSingleInstance(bool aSingleInstance)
	{
		mFlags = aSingleInstance ? (mFlags | SINGLE_INSTANCE) : (mFlags & ~SINGLE_INSTANCE);
	}

	void AudioSource::setLoopPoint(time aLoopPoint)
	{
		mLoopPoint = valid_loop_point(aLoopPoint);
	}

	time AudioSource::getLoopPoint()
	{
		return mLoopPoint;
	}

	void AudioSource::setInaudibleBehavior(bool aMustTick, bool aKill)
	{
		mFlags &= ~(INAUDIBLE_KILL | INAUDIBLE_TICK);
		if (aMustTick)
			mFlags |= INAUDIBLE_TICK;
		if (aKill)
			mFlags |= INAUDIBLE_KILL;
	}

	void AudioSource::stop()
	{
		if (mSoloud)
			mSoloud->stopAudioSource(*this);
	}

	Soloud::Soloud() {}

	Soloud::~Soloud()
	{
		deinit();
	}

	result Soloud::init(unsigned int aFlags, unsigned int aBackend, unsigned int aSamplerate, unsigned int aBufferSize,
	                    unsigned int aChannels)
	{
		if (mInited)
			deinit();
		mBackendError.clear();
		if (aChannels != 1 && aChannels != 2)
			return INVALID_PARAMETER;
		if (aBackend >= BACKEND_MAX)
			return INVALID_PARAMETER;
		unsigned int rate = aSamplerate ? aSamplerate : 44100;
		unsigned int buffer = aBufferSize ? aBufferSize : 2048;
		switch (aBackend)
		{
		case AUTO:
		case SDL2:
		case XAUDIO2:
			return sdl2_backend_init(this, aFlags, rate, buffer, aChannels);
		case NULLDRIVER:
			return null_backend_init(this, aFlags, rate, buffer, aChannels);
		default:
			return NOT_IMPLEMENTED;
		}
	}

	void Soloud::postinit_internal(unsigned int aSamplerate, unsigned int aBufferSize, unsigned int aFlags,
	                               unsigned int aChannels)
	{
		Lock lock(mMutex);
		mSamplerate = aSamplerate;
		mBufferSize = aBufferSize;
		mFlags = aFlags;
		mChannels = aChannels;
		mVisualizationEnabled = (aFlags & ENABLE_VISUALIZATION) != 0;
		mScratchStride = std::max(aBufferSize, (unsigned int)RESAMPLE_CAP);
		delete[] mScratch;
		delete[] mMixBuffer;
		delete[] mDiscard;
		mScratch = new float[(size_t)MAX_BUS_DEPTH * MAX_CHANNELS * mScratchStride];
		mMixBuffer = new float[(size_t)MAX_CHANNELS * mScratchStride];
		mDiscard = new float[(size_t)MAX_CHANNELS * mScratchStride];
		mInited = true;
	}

	void Soloud::deinit()
	{
		// The back end's thread takes the lock to mix: stop it before taking the lock.
		if (mBackendCleanupFunc)
			mBackendCleanupFunc(this);
		mBackendCleanupFunc = 0;
		Lock lock(mMutex);
		for (int i = 0; i < VOICE_COUNT; i++)
			stopVoice(i);
		delete[] mScratch;
		delete[] mMixBuffer;
		delete[] mDiscard;
		mScratch = mMixBuffer = mDiscard = 0;
		mBackendData = 0;
		mBackendString = 0;
		mBackendID = 0;
		mInited = false;
	}

	const char *Soloud::getErrorString(result aErrorCode) const
	{
		switch (aErrorCode)
		{
		case SO_NO_ERROR: return "No error";
		case INVALID_PARAMETER: return "Some parameter is invalid";
		case FILE_NOT_FOUND: return "File not found";
		case FILE_LOAD_FAILED: return "File found, but could not be loaded";
		case DLL_NOT_FOUND: return "Audio library or device not available";
		case OUT_OF_MEMORY: return "Out of memory";
		case NOT_IMPLEMENTED: return "Feature not implemented";
		default: return "Other error";
		}
	}

	unsigned int Soloud::getBackendId() { return mBackendID; }
	const char *Soloud::getBackendString() { return mBackendString; }
	unsigned int Soloud::getBackendChannels() { return mChannels; }
	unsigned int Soloud::getBackendSamplerate() { return mSamplerate; }
	unsigned int Soloud::getBackendBufferSize() { return mBufferSize; }

	AudioSourceInstance *Soloud::voiceOf(handle aVoiceHandle)
	{
		unsigned int slot = (aVoiceHandle & ((1u << SLOT_BITS) - 1));
		if (slot == 0 || slot > (unsigned int)VOICE_COUNT)
			return 0;
		AudioSourceInstance *v = mVoice[slot - 1];
		if (!v || v->mPlayIndex != (aVoiceHandle >> SLOT_BITS))
			return 0;
		return v;
	}

	handle Soloud::handleOf(int aVoiceSlot)
	{
		AudioSourceInstance *v = mVoice[aVoiceSlot];
		return v ? ((v->mPlayIndex << SLOT_BITS) | (unsigned int)(aVoiceSlot + 1)) : 0;
	}

	int Soloud::findFreeVoice()
	{
		int oldest = -1;
		for (int i = 0; i < VOICE_COUNT; i++)
		{
			AudioSourceInstance *v = mVoice[i];
			if (!v)
				return i;
			if (v->mFlags & AudioSourceInstance::PROTECTED)
				continue;
			if (oldest < 0 || v->mPlayOrder < mVoice[oldest]->mPlayOrder)
				oldest = i;
		}
		return oldest;
	}

	void Soloud::stopVoice(int aVoiceSlot)
	{
		AudioSourceInstance *v = mVoice[aVoiceSlot];
		if (!v)
			return;
		// Clear the slot first: a bus's instance stops its own voices as it goes.
		mVoice[aVoiceSlot] = 0;
		mActive[aVoiceSlot] = 0;
		delete v;
	}

	void Soloud::stopVoicesOfBus(handle aBusHandle)
	{
		for (int i = 0; i < VOICE_COUNT; i++)
			if (mVoice[i] && mVoice[i]->mBusHandle == aBusHandle)
				stopVoice(i);
	}

	handle Soloud::play(AudioSource &aSound, float aVolume, float aPan, bool aPaused, handle aBus)
	{
		Lock lock(mMutex);
		if (!mInited)
			return 0;
		if (aBus && !voiceOf(aBus))
			return 0;
		if (aSound.mFlags & AudioSource::SINGLE_INSTANCE)
			stopAudioSource(aSound);
		if (!aSound.mAudioSourceID)
			aSound.mAudioSourceID = next_audio_source_id++;
		aSound.mSoloud = this;
		int slot = findFreeVoice();
		if (slot < 0)
			return 0;
		AudioSourceInstance *v = aSound.createInstance();
		if (!v)
			return 0;
		stopVoice(slot);
		mPlayCounter++;
		unsigned int playIndex = (unsigned int)(mPlayCounter & PLAY_INDEX_MASK);
		if (playIndex == 0)
			playIndex = 1;
		v->init(aSound, playIndex);
		if (dynamic_cast<BusInstance *>(v))
			v->mFlags |= AudioSourceInstance::IS_BUS | AudioSourceInstance::PROTECTED | AudioSourceInstance::INAUDIBLE_TICK;
		v->mPlayOrder = mPlayCounter;
		v->mBusHandle = aBus;
		v->mSetVolume = aVolume < 0 ? aSound.mVolume : volume_or_silence(aVolume);
		v->mPan = aPan;
		pan_to_channel_volumes(aPan, v->mChannelVolume);
		if (aPaused)
			v->mFlags |= AudioSourceInstance::PAUSED;
		unsigned int channels = std::min(std::max(v->mChannels, 1u), (unsigned int)MAX_SOURCE_CHANNELS);
		v->mChannels = channels;
		v->mResampleData = new float[(size_t)channels * RESAMPLE_CAP]();
		mVoice[slot] = v;
		handle h = handleOf(slot);
		if (v->mFlags & AudioSourceInstance::IS_BUS)
		{
			BusInstance *bi = static_cast<BusInstance *>(v);
			bi->mSelfHandle = h;
			bi->mParent->mChannelHandle = h;
		}
		return h;
	}

	handle Soloud::playBackground(AudioSource &aSound, float aVolume, bool aPaused, handle aBus)
	{
		Lock lock(mMutex);
		handle h = play(aSound, aVolume, 0.0f, aPaused, aBus);
		setPanAbsolute(h, 1.0f, 1.0f);
		return h;
	}

	result Soloud::seek(handle aVoiceHandle, time aSeconds)
	{
		Lock lock(mMutex);
		AudioSourceInstance *v = voiceOf(aVoiceHandle);
		if (!v)
			return INVALID_PARAMETER;
		result res = v->seek(aSeconds, mDiscard, MAX_CHANNELS * mScratchStride);
		v->mBufCount = 0;
		v->mSrcPos = 0;
		v->mSourceExhausted = false;
		return res;
	}

	void Soloud::stop(handle aVoiceHandle)
	{
		Lock lock(mMutex);
		if (voiceOf(aVoiceHandle))
			stopVoice((int)(aVoiceHandle & ((1u << SLOT_BITS) - 1)) - 1);
	}

	void Soloud::stopAll()
	{
		Lock lock(mMutex);
		for (int i = 0; i < VOICE_COUNT; i++)
			stopVoice(i);
	}

	void Soloud::stopAudioSource(AudioSource &aSound)
	{
		Lock lock(mMutex);
		if (!aSound.mAudioSourceID)
			return;
		for (int i = 0; i < VOICE_COUNT; i++)
			if (mVoice[i] && mVoice[i]->mAudioSourceID == aSound.mAudioSourceID)
				stopVoice(i);
	}

	int Soloud::countAudioSource(AudioSource &aSound)
	{
		Lock lock(mMutex);
		int n = 0;
		for (int i = 0; i < VOICE_COUNT; i++)
			if (aSound.mAudioSourceID && mVoice[i] && mVoice[i]->mAudioSourceID == aSound.mAudioSourceID)
				n++;
		return n;
	}

	void Soloud::setGlobalVolume(float aVolume)
	{
		Lock lock(mMutex);
		mGlobalVolumeFader.mActive = false;
		mGlobalVolume = volume_or_silence(aVolume);
	}

	float Soloud::getGlobalVolume()
	{
		Lock lock(mMutex);
		return mGlobalVolume;
	}

	void Soloud::setPostClipScaler(float aScaler)
	{
		Lock lock(mMutex);
		mPostClipScaler = aScaler;
	}

	float Soloud::getPostClipScaler()
	{
		Lock lock(mMutex);
		return mPostClipScaler;
	}

	void Soloud::setMaxActiveVoiceCount(unsigned int aVoiceCount)
	{
		Lock lock(mMutex);
		mMaxActiveVoices = std::clamp(aVoiceCount, 1u, (unsigned int)VOICE_COUNT);
	}

	unsigned int Soloud::getMaxActiveVoiceCount()
	{
		Lock lock(mMutex);
		return mMaxActiveVoices;
	}

	unsigned int Soloud::getActiveVoiceCount()
	{
		Lock lock(mMutex);
		updateActiveVoices(false);
		unsigned int n = 0;
		for (int i = 0; i < VOICE_COUNT; i++)
			n += mActive[i] == 1;
		return n;
	}

	unsigned int Soloud::getVoiceCount()
	{
		Lock lock(mMutex);
		unsigned int n = 0;
		for (int i = 0; i < VOICE_COUNT; i++)
			n += mVoice[i] != 0;
		return n;
	}

	bool Soloud::isValidVoiceHandle(handle aVoiceHandle)
	{
		Lock lock(mMutex);
		return voiceOf(aVoiceHandle) != 0;
	}

#define VOICE_OR(fallback)                        \
	Lock lock(mMutex);                            \
	AudioSourceInstance *v = voiceOf(aVoiceHandle); \
	if (!v)                                       \
		return fallback;

	float Soloud::getVolume(handle aVoiceHandle)
	{
		VOICE_OR(0.0f);
		return v->mSetVolume;
	}

	float Soloud::getOverallVolume(handle aVoiceHandle)
	{
		VOICE_OR(0.0f);
		return v->mSetVolume * std::max(v->mChannelVolume[0], v->mChannelVolume[1]);
	}

	void Soloud::setVolume(handle aVoiceHandle, float aVolume)
	{
		VOICE_OR();
		v->mVolumeFader.mActive = false;
		v->mSetVolume = volume_or_silence(aVolume);
	}

	float Soloud::getPan(handle aVoiceHandle)
	{
		VOICE_OR(0.0f);
		return v->mPan;
	}

	void Soloud::setPan(handle aVoiceHandle, float aPan)
	{
		VOICE_OR();
		v->mPanFader.mActive = false;
		v->mPan = aPan;
		pan_to_channel_volumes(aPan, v->mChannelVolume);
	}

	void Soloud::setPanAbsolute(handle aVoiceHandle, float aLVolume, float aRVolume)
	{
		VOICE_OR();
		v->mPanFader.mActive = false;
		v->mChannelVolume[0] = volume_or_silence(aLVolume);
		v->mChannelVolume[1] = volume_or_silence(aRVolume);
	}

	void Soloud::setChannelVolume(handle aVoiceHandle, unsigned int aChannel, float aVolume)
	{
		VOICE_OR();
		if (aChannel < (unsigned int)MAX_CHANNELS)
			v->mChannelVolume[aChannel] = volume_or_silence(aVolume);
	}

	float Soloud::getSamplerate(handle aVoiceHandle)
	{
		VOICE_OR(0.0f);
		return v->mBaseSamplerate;
	}

	void Soloud::setSamplerate(handle aVoiceHandle, float aSamplerate)
	{
		VOICE_OR();
		if (aSamplerate > 0)
			v->mBaseSamplerate = aSamplerate;
	}

	float Soloud::getRelativePlaySpeed(handle aVoiceHandle)
	{
		VOICE_OR(1.0f);
		return v->mSetRelativePlaySpeed;
	}

	void Soloud::setRelativePlaySpeed(handle aVoiceHandle, float aSpeed)
	{
		VOICE_OR();
		v->mSpeedFader.mActive = false;
		if (aSpeed > 0)
			v->mSetRelativePlaySpeed = aSpeed;
	}

	bool Soloud::getProtectVoice(handle aVoiceHandle)
	{
		VOICE_OR(false);
		return (v->mFlags & AudioSourceInstance::PROTECTED) != 0;
	}

	void Soloud::setProtectVoice(handle aVoiceHandle, bool aProtect)
	{
		VOICE_OR();
		v->mFlags = aProtect ? (v->mFlags | AudioSourceInstance::PROTECTED) : (v->mFlags & ~AudioSourceInstance::PROTECTED);
	}

	bool Soloud::getPause(handle aVoiceHandle)
	{
		VOICE_OR(false);
		return (v->mFlags & AudioSourceInstance::PAUSED) != 0;
	}

	void Soloud::setPause(handle aVoiceHandle, bool aPause)
	{
		VOICE_OR();
		v->mPauseAt = -1;
		v->mFlags = aPause ? (v->mFlags | AudioSourceInstance::PAUSED) : (v->mFlags & ~AudioSourceInstance::PAUSED);
	}

	void Soloud::setPauseAll(bool aPause)
	{
		Lock lock(mMutex);
		for (int i = 0; i < VOICE_COUNT; i++)
			if (mVoice[i])
				setPause(handleOf(i), aPause);
	}

	bool Soloud::getLooping(handle aVoiceHandle)
	{
		VOICE_OR(false);
		return (v->mFlags & AudioSourceInstance::LOOPING) != 0;
	}

	void Soloud::setLooping(handle aVoiceHandle, bool aLooping)
	{
		VOICE_OR();
		v->mFlags = aLooping ? (v->mFlags | AudioSourceInstance::LOOPING) : (v->mFlags & ~AudioSourceInstance::LOOPING);
	}

	time Soloud::getLoopPoint(handle aVoiceHandle)
	{
		VOICE_OR(0.0);
		return v->mLoopPoint;
	}

	void Soloud::setLoopPoint(handle aVoiceHandle, time aLoopPoint)
	{
		VOICE_OR();
		v->mLoopPoint = valid_loop_point(aLoopPoint);
	}

	unsigned int Soloud::getLoopCount(handle aVoiceHandle)
	{
		VOICE_OR(0u);
		return v->mLoopCount;
	}

	void Soloud::setInaudibleBehavior(handle aVoiceHandle, bool aMustTick, bool aKill)
	{
		VOICE_OR();
		v->mFlags &= ~(AudioSourceInstance::INAUDIBLE_KILL | AudioSourceInstance::INAUDIBLE_TICK);
		if (aMustTick)
			v->mFlags |= AudioSourceInstance::INAUDIBLE_TICK;
		if (aKill)
			v->mFlags |= AudioSourceInstance::INAUDIBLE_KILL;
	}

	time Soloud::getStreamTime(handle aVoiceHandle)
	{
		VOICE_OR(0.0);
		return mSamplerate ? (double)v->mMixedSamples / mSamplerate : 0.0;
	}

	time Soloud::getStreamPosition(handle aVoiceHandle)
	{
		VOICE_OR(0.0);
		return v->mStreamPosition;
	}

	// NaN and times up to 0 are "now"; very long ones are capped at about seven centuries
	// of samples, which keeps the sample arithmetic of faders and schedules in range.
	static int64_t seconds_to_samples(time aTime, unsigned int aSamplerate)
	{
		const double longest = 1e15;
		double n = aTime * aSamplerate;
		if (!(n > 0))
			return 0;
		return n < longest ? (int64_t)llround(n) : (int64_t)longest;
	}

	void Soloud::fadeVolume(handle aVoiceHandle, float aTo, time aTime)
	{
		VOICE_OR();
		int64_t n = seconds_to_samples(aTime, mSamplerate);
		if (n <= 0)
		{
			setVolume(aVoiceHandle, aTo);
			return;
		}
		v->mVolumeFader.set(v->mSetVolume, volume_or_silence(aTo), v->mMixedSamples, v->mMixedSamples + n);
	}

	void Soloud::fadePan(handle aVoiceHandle, float aTo, time aTime)
	{
		VOICE_OR();
		int64_t n = seconds_to_samples(aTime, mSamplerate);
		if (n <= 0)
		{
			setPan(aVoiceHandle, aTo);
			return;
		}
		v->mPanFader.set(v->mPan, aTo, v->mMixedSamples, v->mMixedSamples + n);
	}

	void Soloud::fadeRelativePlaySpeed(handle aVoiceHandle, float aTo, time aTime)
	{
		VOICE_OR();
		int64_t n = seconds_to_samples(aTime, mSamplerate);
		if (n <= 0 || aTo <= 0)
		{
			setRelativePlaySpeed(aVoiceHandle, aTo);
			return;
		}
		v->mSpeedFader.set(v->mSetRelativePlaySpeed, aTo, v->mMixedSamples, v->mMixedSamples + n);
	}

	void Soloud::fadeGlobalVolume(float aTo, time aTime)
	{
		Lock lock(mMutex);
		int64_t n = seconds_to_samples(aTime, mSamplerate);
		if (n <= 0)
		{
			setGlobalVolume(aTo);
			return;
		}
		mGlobalVolumeFader.set(mGlobalVolume, volume_or_silence(aTo), mMixedSamples, mMixedSamples + n);
	}

	void Soloud::schedulePause(handle aVoiceHandle, time aTime)
	{
		VOICE_OR();
		int64_t n = seconds_to_samples(aTime, mSamplerate);
		if (n <= 0)
		{
			setPause(aVoiceHandle, true);
			return;
		}
		v->mPauseAt = v->mMixedSamples + n;
	}

	void Soloud::scheduleStop(handle aVoiceHandle, time aTime)
	{
		VOICE_OR();
		int64_t n = seconds_to_samples(aTime, mSamplerate);
		if (n <= 0)
		{
			stop(aVoiceHandle);
			return;
		}
		v->mStopAt = v->mMixedSamples + n;
	}

	void Soloud::setVisualizationEnable(bool aEnable)
	{
		Lock lock(mMutex);
		mVisualizationEnabled = aEnable;
	}

	bool Soloud::getVisualizationEnable()
	{
		Lock lock(mMutex);
		return mVisualizationEnabled;
	}

	float *Soloud::getWave()
	{
		Lock lock(mMutex);
		memcpy(mVisualizationWave, mWaveHistory + 256, sizeof(mVisualizationWave));
		return mVisualizationWave;
	}

	float *Soloud::calcFFT()
	{
		Lock lock(mMutex);
		calc_fft_magnitudes(mWaveHistory, mFFTData);
		return mFFTData;
	}

	float Soloud::getApproximateVolume(unsigned int aChannel)
	{
		Lock lock(mMutex);
		return aChannel < mChannels ? mApproximateVolume[aChannel] : 0.0f;
	}
}
