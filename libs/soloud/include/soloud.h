// The audio engine: voices of audio sources mixed into buses and the main output,
// driven by a back end (SDL2 audio on its own thread, or the null back end that only
// mixes when Soloud::mix is called, so results repeat).
#pragma once

#include <cstdint>
#include <mutex>
#include <string>

#include "soloud_file.h"

#define SOLOUD_VERSION 202002

namespace SoLoud
{
	typedef unsigned int result;
	typedef unsigned int handle;
	typedef double time;

	enum SOLOUD_ERRORS
	{
		SO_NO_ERROR = 0,
		INVALID_PARAMETER = 1,
		FILE_NOT_FOUND = 2,
		FILE_LOAD_FAILED = 3,
		DLL_NOT_FOUND = 4,
		OUT_OF_MEMORY = 5,
		NOT_IMPLEMENTED = 6,
		UNKNOWN_ERROR = 7
	};

	// Voice slots; more voices than this steal the oldest unprotected one.
	const int VOICE_COUNT = 1024;
	// Channels of the output and of buses.
	const int MAX_CHANNELS = 2;
	// Channels a decoded source may carry (only the first two reach the output).
	const int MAX_SOURCE_CHANNELS = 8;
	// Source frames fetched per resampler refill.
	const int SAMPLE_GRANULARITY = 512;
	// Source frames a voice's resampler holds.
	const int RESAMPLE_CAP = 1024;
	// Buses may play buses this deep.
	const int MAX_BUS_DEPTH = 8;

	class Soloud;
	class AudioSource;

	// A linear ramp of one value, in output samples counted from the voice's start.
	struct Fader
	{
		bool mActive = false;
		float mFrom = 0, mTo = 0;
		int64_t mStart = 0, mEnd = 0;
		void set(float aFrom, float aTo, int64_t aStart, int64_t aEnd);
		float get(int64_t aSample) const;
	};

	// One playing voice of a source.
	class AudioSourceInstance
	{
	public:
		enum FLAGS
		{
			LOOPING = 1,
			PROTECTED = 2,
			PAUSED = 4,
			INAUDIBLE_KILL = 8,
			INAUDIBLE_TICK = 16,
			IS_BUS = 32
		};

		AudioSourceInstance();
		virtual ~AudioSourceInstance();
		AudioSourceInstance(const AudioSourceInstance &) = delete;
		AudioSourceInstance &operator=(const AudioSourceInstance &) = delete;

		// Writes up to aSamplesToRead frames at the source's own rate; channel c goes to
		// aBuffer + c * aBufferSize. Returns the frames written (fewer only at the end).
		virtual unsigned int getAudio(float *aBuffer, unsigned int aSamplesToRead, unsigned int aBufferSize) = 0;
		virtual bool hasEnded() = 0;
		virtual result rewind() { return NOT_IMPLEMENTED; }
		// Default: rewind when going back, then read forward into the scratch buffer.
		virtual result seek(time aSeconds, float *aScratch, unsigned int aScratchSize);

		void init(AudioSource &aSource, unsigned int aPlayIndex);

		unsigned int mPlayIndex = 0;
		// Order of starting, for stealing the oldest voice.
		uint64_t mPlayOrder = 0;
		unsigned int mLoopCount = 0;
		unsigned int mFlags = 0;
		float mSetVolume = 1.0f;
		float mPan = 0.0f;
		float mChannelVolume[MAX_CHANNELS] = {1.0f, 1.0f};
		float mBaseSamplerate = 44100.0f;
		float mSetRelativePlaySpeed = 1.0f;
		unsigned int mChannels = 1;
		unsigned int mAudioSourceID = 0;
		handle mBusHandle = 0;
		time mLoopPoint = 0;
		// Source position in seconds (wraps to the loop point when looping).
		time mStreamPosition = 0;

		// Mixer state, touched only under the engine's lock.
		int64_t mMixedSamples = 0;
		Fader mVolumeFader, mPanFader, mSpeedFader;
		int64_t mStopAt = -1, mPauseAt = -1;
		float mPrevGain[MAX_CHANNELS] = {0, 0};
		bool mGainPrimed = false;
		float *mResampleData = 0;
		double mSrcPos = 0;
		unsigned int mBufCount = 0;
		bool mSourceExhausted = false;
		bool mFinished = false;
	};

	class AudioSource
	{
	public:
		enum FLAGS
		{
			SHOULD_LOOP = 1,
			SINGLE_INSTANCE = 2,
			INAUDIBLE_KILL = 4,
			INAUDIBLE_TICK = 8
		};

		AudioSource();
		virtual ~AudioSource();
		AudioSource(const AudioSource &) = delete;
		AudioSource &operator=(const AudioSource &) = delete;
		virtual AudioSourceInstance *createInstance() = 0;

		void setVolume(float aVolume);
		void setLooping(bool aLoop);
		void setSingleInstance(bool aSingleInstance);
		void setLoopPoint(time aLoopPoint);
		time getLoopPoint();
		void setInaudibleBehavior(bool aMustTick, bool aKill);
		// Stops every voice playing this source.
		void stop();

		unsigned int mFlags = 0;
		float mBaseSamplerate = 44100.0f;
		float mVolume = 1.0f;
		unsigned int mChannels = 1;
		unsigned int mAudioSourceID = 0;
		time mLoopPoint = 0;
		Soloud *mSoloud = 0;
	};

	class Soloud
	{
	public:
		enum BACKENDS
		{
			AUTO = 0,
			SDL1,
			SDL2,
			PORTAUDIO,
			WINMM,
			XAUDIO2,
			WASAPI,
			ALSA,
			JACK,
			OSS,
			OPENAL,
			COREAUDIO,
			OPENSLES,
			VITA_HOMEBREW,
			MINIAUDIO,
			NOSOUND,
			NULLDRIVER,
			BACKEND_MAX
		};

		enum FLAGS
		{
			CLIP_ROUNDOFF = 1,
			ENABLE_VISUALIZATION = 2,
			LEFT_HANDED_3D = 4,
			NO_FPU_REGISTER_CHANGE = 8
		};

		enum RESAMPLER
		{
			RESAMPLER_POINT,
			RESAMPLER_LINEAR
		};

		Soloud();
		~Soloud();
		Soloud(const Soloud &) = delete;
		Soloud &operator=(const Soloud &) = delete;

		// aBackend XAUDIO2 and AUTO open SDL2 audio; NULLDRIVER mixes only on mix().
		// aSamplerate and aBufferSize of AUTO (0) mean 44100 Hz and 2048 frames.
		result init(unsigned int aFlags = CLIP_ROUNDOFF, unsigned int aBackend = AUTO, unsigned int aSamplerate = AUTO,
		            unsigned int aBufferSize = AUTO, unsigned int aChannels = 2);
		void deinit();
		unsigned int getVersion() const { return SOLOUD_VERSION; }
		const char *getErrorString(result aErrorCode) const;
		// The back end's own reason why the last init failed (SDL's error text for SDL2
		// audio), or an empty text.
		const char *getBackendErrorString() const { return mBackendError.c_str(); }
		unsigned int getBackendId();
		const char *getBackendString();
		unsigned int getBackendChannels();
		unsigned int getBackendSamplerate();
		unsigned int getBackendBufferSize();

		// aVolume below 0 takes the source's own volume.
		handle play(AudioSource &aSound, float aVolume = -1.0f, float aPan = 0.0f, bool aPaused = false, handle aBus = 0);
		handle playBackground(AudioSource &aSound, float aVolume = -1.0f, bool aPaused = false, handle aBus = 0);
		result seek(handle aVoiceHandle, time aSeconds);
		void stop(handle aVoiceHandle);
		void stopAll();
		void stopAudioSource(AudioSource &aSound);
		int countAudioSource(AudioSource &aSound);

		void setGlobalVolume(float aVolume);
		float getGlobalVolume();
		void setPostClipScaler(float aScaler);
		float getPostClipScaler();
		void setMaxActiveVoiceCount(unsigned int aVoiceCount);
		unsigned int getMaxActiveVoiceCount();
		unsigned int getActiveVoiceCount();
		unsigned int getVoiceCount();
		bool isValidVoiceHandle(handle aVoiceHandle);

		float getVolume(handle aVoiceHandle);
		float getOverallVolume(handle aVoiceHandle);
		void setVolume(handle aVoiceHandle, float aVolume);
		float getPan(handle aVoiceHandle);
		void setPan(handle aVoiceHandle, float aPan);
		void setPanAbsolute(handle aVoiceHandle, float aLVolume, float aRVolume);
		void setChannelVolume(handle aVoiceHandle, unsigned int aChannel, float aVolume);
		float getSamplerate(handle aVoiceHandle);
		void setSamplerate(handle aVoiceHandle, float aSamplerate);
		float getRelativePlaySpeed(handle aVoiceHandle);
		void setRelativePlaySpeed(handle aVoiceHandle, float aSpeed);
		bool getProtectVoice(handle aVoiceHandle);
		void setProtectVoice(handle aVoiceHandle, bool aProtect);
		bool getPause(handle aVoiceHandle);
		void setPause(handle aVoiceHandle, bool aPause);
		void setPauseAll(bool aPause);
		bool getLooping(handle aVoiceHandle);
		void setLooping(handle aVoiceHandle, bool aLooping);
		time getLoopPoint(handle aVoiceHandle);
		void setLoopPoint(handle aVoiceHandle, time aLoopPoint);
		unsigned int getLoopCount(handle aVoiceHandle);
		void setInaudibleBehavior(handle aVoiceHandle, bool aMustTick, bool aKill);
		// Seconds this voice has played.
		time getStreamTime(handle aVoiceHandle);
		// Position in the source, in seconds.
		time getStreamPosition(handle aVoiceHandle);

		// Faders run in output samples counted from each voice's start, so a fade or a
		// scheduled stop lands on an exact sample whatever the buffer sizes.
		void fadeVolume(handle aVoiceHandle, float aTo, time aTime);
		void fadePan(handle aVoiceHandle, float aTo, time aTime);
		void fadeRelativePlaySpeed(handle aVoiceHandle, float aTo, time aTime);
		void fadeGlobalVolume(float aTo, time aTime);
		void schedulePause(handle aVoiceHandle, time aTime);
		void scheduleStop(handle aVoiceHandle, time aTime);

		void setVisualizationEnable(bool aEnable);
		bool getVisualizationEnable();
		// The last 256 output samples (mono mix, after clipping).
		float *getWave();
		// 256 magnitudes of the spectrum of the last 512 output samples.
		float *calcFFT();
		// Peak level of one output channel over the last mixed block.
		float getApproximateVolume(unsigned int aChannel);

		// Mixes aSamples stereo frames, interleaved, into aBuffer (any count: it is split
		// into blocks of the buffer size).
		void mix(float *aBuffer, unsigned int aSamples);
		void mixSigned16(short *aBuffer, unsigned int aSamples);
		void postinit_internal(unsigned int aSamplerate, unsigned int aBufferSize, unsigned int aFlags, unsigned int aChannels);

		// For back ends.
		void *mBackendData = 0;
		void (*mBackendCleanupFunc)(Soloud *aSoloud) = 0;
		const char *mBackendString = 0;
		unsigned int mBackendID = 0;
		std::string mBackendError;

		// Internal: used by the sources and buses, under the lock.
		friend class AudioSource;
		friend class Bus;
		friend class BusInstance;
		std::recursive_mutex mMutex;
		AudioSourceInstance *mVoice[VOICE_COUNT] = {};

	private:
		AudioSourceInstance *voiceOf(handle aVoiceHandle);
		handle handleOf(int aVoiceSlot);
		int findFreeVoice();
		void stopVoice(int aVoiceSlot);
		void stopVoicesOfBus(handle aBusHandle);
		// Picks the voices that sound this block; aApply also stops the inaudible
		// voices that ask to be killed (only the mixer does that, never a query).
		void updateActiveVoices(bool aApply);
		void mixBus(float *aOut, unsigned int aFrames, unsigned int aStride, handle aBusHandle);
		void mixVoice(AudioSourceInstance *aVoice, float *aOut, unsigned int aFrames, unsigned int aStride);
		unsigned int resample(AudioSourceInstance *aVoice, float *aOut, unsigned int aFrames, unsigned int aStride);
		void mixBlock(float *aBuffer, unsigned int aFrames);

		bool mInited = false;
		unsigned int mFlags = 0;
		unsigned int mSamplerate = 0;
		unsigned int mBufferSize = 0;
		unsigned int mChannels = 2;
		unsigned int mMaxActiveVoices = 16;
		uint64_t mPlayCounter = 0;
		float mGlobalVolume = 1.0f;
		Fader mGlobalVolumeFader;
		int64_t mMixedSamples = 0;
		float mPostClipScaler = 1.0f;
		bool mVisualizationEnabled = false;
		float mVisualizationWave[256] = {};
		float mFFTData[256] = {};
		float mApproximateVolume[MAX_CHANNELS] = {};
		// Per slot: 0 silent, 1 mixed, 2 advanced without being heard.
		unsigned char mActive[VOICE_COUNT] = {};
		// Resampled voice output, one pair of channels per bus depth, and the main mix.
		float *mScratch = 0;
		unsigned int mScratchStride = 0;
		float *mMixBuffer = 0;
		float *mDiscard = 0;
		int mBusDepth = 0;
		float mWaveHistory[512] = {};
	};

	// Fills aMagnitudes[0..255] from 512 real samples.
	void calc_fft_magnitudes(const float *aSamples512, float *aMagnitudes);
}
