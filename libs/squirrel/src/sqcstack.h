// Room left on the C stack of the calling thread: recursion that scripts control (the
// compiler's descent, calls nested through native code and threads) stops with an error
// while there is still room to report it.
#pragma once

// True when less than a safety margin of the thread's C stack is left.
bool sq_c_stack_low();
