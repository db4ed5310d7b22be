// The null back end: no device and no thread. Whoever owns the engine calls mix() for
// as many samples as it wants, so the output is the same on every run.
#include "backends.h"

namespace SoLoud
{
	result null_backend_init(Soloud *aSoloud, unsigned int aFlags, unsigned int aSamplerate, unsigned int aBuffer,
	                         unsigned int aChannels)
	{
		aSoloud->postinit_internal(aSamplerate, aBuffer, aFlags, aChannels);
		aSoloud->mBackendString = "null driver";
		aSoloud->mBackendID = Soloud::NULLDRIVER;
		return SO_NO_ERROR;
	}
}
