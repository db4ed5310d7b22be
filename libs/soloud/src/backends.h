// Output back ends. Each opens its device, then calls Soloud::postinit_internal with
// what it got and sets the back-end string, id and clean-up function.
#pragma once

#include "soloud.h"

namespace SoLoud
{
	result sdl2_backend_init(Soloud *aSoloud, unsigned int aFlags, unsigned int aSamplerate, unsigned int aBuffer,
	                         unsigned int aChannels);
	result null_backend_init(Soloud *aSoloud, unsigned int aFlags, unsigned int aSamplerate, unsigned int aBuffer,
	                         unsigned int aChannels);
}
