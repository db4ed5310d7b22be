// The SDL2 back end (on SDL's dummy audio driver here) mixes on its own thread.
#include <SDL2/SDL.h>

#include <chrono>
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
