// Auxiliary standard library: default error handlers that print the call stack.
#ifndef SQSTD_AUXLIB_H
#define SQSTD_AUXLIB_H
#include "squirrel.h"
#ifdef __cplusplus
extern "C" {
#endif
SQUIRREL_API void sqstd_seterrorhandlers(HSQUIRRELVM v);
SQUIRREL_API void sqstd_printcallstack(HSQUIRRELVM v);
#ifdef __cplusplus
}
#endif
#endif
