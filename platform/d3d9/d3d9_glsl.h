#pragma once
// GLSL programs of one stage, built by the GL driver, with the driver's messages told
// in the shader's own files and lines.
//
// The compiler marks where each file of its output starts or resumes with a comment
// line "//#line N name": the next line is line N of that file. The driver's messages
// carry the line of the output ("0:30(7): error: ..."), which the marks turn back into
// a file and a line. (The driver's own #line support is not used: Mesa gives some
// messages, undeclared names among them, source-string number 0 whatever #line said.)
#include "platform/d3d9/d3d9_impl.h"

#include <string>

// The separable program of the stage, built on the device's context; 0 on failure,
// with the driver's messages (file names and lines restored) in *messages.
GLuint glsl_build_program(D3d9Device* dev, GLenum stage, const char* code, std::string* messages);

// A pixel stage as the layer builds it: the code with "#define D3D9_ALPHA_TEST 1" (or 0)
// after its #version line. data/d3d9.inc's output helper discards by the alpha test only
// in the first; the layer draws with it while the alpha test is on.
std::string glsl_alpha_test_variant(const char* code, bool alpha_test);

// Both variants of a pixel stage, or neither: true with the two programs, false with the
// driver's messages of the variant that failed.
bool glsl_build_pixel_programs(D3d9Device* dev, const char* code, GLuint* plain, GLuint* alpha_tested,
                               std::string* messages);

// The driver's log with each "S:L(C): text" (or "S(L): text") line turned into
// "name(line): text" after the marks of code; lines without a place (link errors), or
// placed before the first mark (the compiler's own header), go under the first file's
// name.
std::string glsl_map_messages(const char* code, const char* log);
