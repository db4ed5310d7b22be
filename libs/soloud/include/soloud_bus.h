// A mixing bus: an audio source that plays other sources. Its volume, pan and
// visualisation apply to everything played through it.
#pragma once

#include "soloud.h"

namespace SoLoud
{
	class Bus;

	class BusInstance : public AudioSourceInstance
	{
	public:
		explicit BusInstance(Bus *aParent);
		~BusInstance() override;
		unsigned int getAudio(float *aBuffer, unsigned int aSamplesToRead, unsigned int aBufferSize) override;
		bool hasEnded() override { return false; }

		Bus *mParent;
		handle mSelfHandle = 0;
	};

	class Bus : public AudioSource
	{
	public:
		Bus();
		~Bus() override;
		AudioSourceInstance *createInstance() override;

		// Plays a source through this bus; 0 when the bus itself is not playing.
		handle play(AudioSource &aSound, float aVolume = -1.0f, float aPan = 0.0f, bool aPaused = false);
		void setChannels(unsigned int aChannels);
		void setVisualizationEnable(bool aEnable);
		float *getWave();
		float *calcFFT();
		float getApproximateVolume(unsigned int aChannel);
		unsigned int getActiveVoiceCount();
		// Moves a playing voice under this bus.
		void annexSound(handle aVoiceHandle);

		// The bus voice currently playing, 0 when none. Only one instance of a bus plays.
		BusInstance *mInstance = 0;
		handle mChannelHandle = 0;
		bool mVisualizationEnabled = false;
		// Written by the mixer; getWave copies it out under the engine's lock.
		float mWaveHistory[256] = {};
		float mVisualizationWave[256] = {};
		float mFFTData[256] = {};
		float mApproximateVolume[2] = {};
	};
}
