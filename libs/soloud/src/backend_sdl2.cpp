// SDL2 audio: SDL's audio thread asks for float frames and the mixer fills them.
#include <SDL2/SDL.h>

#include "backends.h"

namespace SoLoud
{
	struct Sdl2Backend
	{
		SDL_AudioDeviceID device = 0;
		bool startedSubsystem = false;
	};

	static void sdl2_callback(void *aUser, Uint8 *aStream, int aLength)
	{
		Soloud *soloud = (Soloud *)aUser;
		unsigned int frames = (unsigned int)aLength / (sizeof(float) * soloud->getBackendChannels());
		soloud->mix((float *)aStream, frames);
	}

	static void sdl2_cleanup(Soloud *aSoloud)
	{
		Sdl2Backend *backend = (Sdl2Backend *)aSoloud->mBackendData;
		if (!backend)
			return;
		// Closing waits for a running callback, so no mixing happens after this.
		SDL_CloseAudioDevice(backend->device);
		if (backend->startedSubsystem)
			SDL_QuitSubSystem(SDL_INIT_AUDIO);
		delete backend;
		aSoloud->mBackendData = 0;
	}

	result sdl2_backend_init(Soloud *aSoloud, unsigned int aFlags, unsigned int aSamplerate, unsigned int aBuffer,
	                         unsigned int aChannels)
	{
		Sdl2Backend *backend = new Sdl2Backend;
		if (!SDL_WasInit(SDL_INIT_AUDIO))
		{
			if (SDL_InitSubSystem(SDL_INIT_AUDIO) < 0)
			{
				aSoloud->mBackendError = SDL_GetError();
				delete backend;
				return DLL_NOT_FOUND;
			}
			backend->startedSubsystem = true;
		}
		SDL_AudioSpec want = {}, have = {};
		want.freq = (int)aSamplerate;
		want.format = AUDIO_F32SYS;
		want.channels = (Uint8)aChannels;
		want.samples = (Uint16)(aBuffer > 32768 ? 32768 : aBuffer);
		want.callback = sdl2_callback;
		want.userdata = aSoloud;
		backend->device = SDL_OpenAudioDevice(0, 0, &want, &have, SDL_AUDIO_ALLOW_FREQUENCY_CHANGE | SDL_AUDIO_ALLOW_SAMPLES_CHANGE);
		if (!backend->device)
		{
			// Taken before the clean-up, which may leave another error behind.
			aSoloud->mBackendError = SDL_GetError();
			if (backend->startedSubsystem)
				SDL_QuitSubSystem(SDL_INIT_AUDIO);
			delete backend;
			return UNKNOWN_ERROR;
		}
		aSoloud->postinit_internal((unsigned int)have.freq, have.samples, aFlags, have.channels);
		aSoloud->mBackendData = backend;
		aSoloud->mBackendCleanupFunc = sdl2_cleanup;
		aSoloud->mBackendString = "SDL2";
		aSoloud->mBackendID = Soloud::SDL2;
		SDL_PauseAudioDevice(backend->device, 0);
		return SO_NO_ERROR;
	}
}
