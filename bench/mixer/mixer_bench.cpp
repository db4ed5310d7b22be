// Cost of mixing one second of 44.1 kHz stereo output with 64 voices playing,
// in the engine's buffers of 1024 frames. One iteration = one second of audio.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <vector>

#include "soloud.h"
#include "soloud_bus.h"
#include "soloud_wav.h"

static const unsigned int RATE = 44100;
static const int VOICES = 64;

static void make_noise(SoLoud::Wav &aWav, float aRate, unsigned int aChannels)
{
	std::vector<float> data((size_t)aRate * aChannels);
	uint32_t s = 12345;
	for (float &x : data)
	{
		s = s * 1664525u + 1013904223u;
		x = ((s >> 8) / 16777216.0f - 0.5f) * 0.1f;
	}
	aWav.loadRawWave(data.data(), (unsigned int)data.size(), aRate, aChannels, true);
	aWav.setLooping(true);
}

// aSourceRate: the samples' rate (44100 mixes without interpolation, others resample).
// aOnBus: the voices play through a bus, as the game's effects do.
static void mix_one_second(benchmark::State &aState, float aSourceRate, unsigned int aChannels, bool aOnBus)
{
	SoLoud::Soloud soloud;
	soloud.init(0, SoLoud::Soloud::NULLDRIVER, RATE, 1024, 2);
	soloud.setMaxActiveVoiceCount(VOICES + 1);
	SoLoud::Bus bus;
	SoLoud::handle busHandle = soloud.playBackground(bus);
	SoLoud::Wav wav;
	make_noise(wav, aSourceRate, aChannels);
	for (int i = 0; i < VOICES; i++)
	{
		float volume = 0.2f + 0.01f * i, pan = -1.0f + 2.0f * i / VOICES;
		SoLoud::handle h = aOnBus ? bus.play(wav, volume, pan) : soloud.play(wav, volume, pan);
		soloud.seek(h, i * 0.01);
	}
	(void)busHandle;
	std::vector<float> out(1024 * 2);
	for (auto _ : aState)
	{
		for (unsigned int done = 0; done < RATE; done += 1024)
			soloud.mix(out.data(), std::min(1024u, RATE - done));
		benchmark::DoNotOptimize(out.data());
	}
	aState.counters["voices"] = (double)soloud.getActiveVoiceCount();
}

static void BM_Mix64StereoSameRate(benchmark::State &s) { mix_one_second(s, 44100.0f, 2, false); }
static void BM_Mix64StereoOnBus(benchmark::State &s) { mix_one_second(s, 44100.0f, 2, true); }
static void BM_Mix64MonoResampled(benchmark::State &s) { mix_one_second(s, 22050.0f, 1, true); }

BENCHMARK(BM_Mix64StereoSameRate)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Mix64StereoOnBus)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Mix64MonoResampled)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
