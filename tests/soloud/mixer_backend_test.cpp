// The SDL2 back end (on SDL's dummy audio driver here) mixes on its own thread; a
// start that fails keeps SDL's reason.
#include <SDL2/SDL.h>

#include <chrono>
#include <cstdlib>
#include <string>
#include <thread>

#include "mixer_fixture.h"

using namespace SoLoud;

TEST(MixerSdl2, OpensMixesOnItsThreadAndCloses)
{
	if (!getenv("SDL_AUDIODRIVER"))
		setenv("SDL_AUDIODRIVER", "dummy", 1);
	Soloud soloud;
	// The engine asks for XAudio2; here that is SDL2 audio.
	result res = soloud.init(0, Soloud::XAUDIO2, 0, 1024, 2);
	ASSERT_EQ(res, SO_NO_ERROR) << soloud.getErrorString(res) << " " << SDL_GetError();
	EXPECT_STREQ(soloud.getBackendString(), "SDL2");
	EXPECT_EQ(soloud.getBackendChannels(), 2u);
	EXPECT_GT(soloud.getBackendSamplerate(), 0u);

	Wav dc;
	make_constant(dc, 0.1f, 4000, (float)soloud.getBackendSamplerate());
	handle h = soloud.play(dc);
	ASSERT_NE(h, 0u);
	// The device thread consumes the short sample; the voice then goes away.
	for (int i = 0; i < 200 && soloud.isValidVoiceHandle(h); i++)
		std::this_thread::sleep_for(std::chrono::milliseconds(10));
	EXPECT_FALSE(soloud.isValidVoiceHandle(h));
	soloud.deinit();
	EXPECT_EQ(soloud.getBackendString(), nullptr);
}

TEST(MixerSdl2, PlayingStoppingAndDeletingWhileTheDeviceMixes)
{
	if (!getenv("SDL_AUDIODRIVER"))
		setenv("SDL_AUDIODRIVER", "dummy", 1);
	Soloud soloud;
	ASSERT_EQ(soloud.init(0, Soloud::SDL2, 44100, 256, 2), SO_NO_ERROR);
	Bus bus;
	handle busHandle = soloud.playBackground(bus);
	bus.setVisualizationEnable(true);
	auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(400);
	int rounds = 0;
	while (std::chrono::steady_clock::now() < until)
	{
		Wav *a = new Wav;
		Wav b;
		make_constant(*a, 0.1f, 2000);
		make_constant(b, 0.1f, 500);
		b.setLooping(true);
		handle h1 = bus.play(*a, 0.5f, -0.5f);
		handle h2 = soloud.play(b);
		soloud.fadeVolume(h2, 0.0f, 0.01);
		soloud.scheduleStop(h2, 0.01);
		std::this_thread::sleep_for(std::chrono::milliseconds(1));
		bus.getWave();
		bus.getApproximateVolume(0);
		soloud.setPan(h1, 0.3f);
		delete a;  // its voice stops first
		EXPECT_FALSE(soloud.isValidVoiceHandle(h1));
		rounds++;
	}
	EXPECT_GT(rounds, 10);
	EXPECT_TRUE(soloud.isValidVoiceHandle(busHandle));
	soloud.deinit();
}

// A device or driver that can't start: the result code's text stays the mixer's own,
// SDL's reason comes with it; an init that succeeds afterwards has no reason left.
TEST(MixerSdl2, AFailedStartKeepsSdlsReason)
{
	std::string file = std::string(getenv("XDG_DATA_HOME")) + "/no_such_folder/out.raw";
	struct Case
	{
		const char *driver;
		result expected;
		std::string reason;
	} cases[] = {
		{"disk", UNKNOWN_ERROR, "Couldn't open " + file},
		{"no_such_driver", DLL_NOT_FOUND, "Audio target 'no_such_driver' not available"},
		{"dummy", SO_NO_ERROR, ""},
	};
	setenv("SDL_DISKAUDIOFILE", file.c_str(), 1);
	Soloud soloud;
	for (const Case &c : cases)
	{
		SCOPED_TRACE(c.driver);
		setenv("SDL_AUDIODRIVER", c.driver, 1);
		EXPECT_EQ(soloud.init(0, Soloud::XAUDIO2, 0, 1024, 2), c.expected);
		EXPECT_EQ(soloud.getBackendErrorString(), c.reason);
		soloud.deinit();
	}
}
