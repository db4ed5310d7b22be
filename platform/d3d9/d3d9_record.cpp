// The call recorder: a test seam that lists the device calls of a frame as text.
#include "platform/d3d9/d3d9_impl.h"

#include <cstdio>

std::vector<std::string>* d3d9_recorder = nullptr;

void d3d9_set_call_recorder(std::vector<std::string>* lines) { d3d9_recorder = lines; }

void d3d9_record(const char* fmt, ...) {
  char line[512];
  va_list args;
  va_start(args, fmt);
  vsnprintf(line, sizeof(line), fmt, args);
  va_end(args);
  d3d9_recorder->push_back(line);
}

namespace {
struct ForcedResult {
  std::string method;
  HRESULT hr;
  int count;
};
std::vector<ForcedResult> forced_results;
}  // namespace

void d3d9_force_result(const char* method, HRESULT hr, int count) {
  for (ForcedResult& f : forced_results) {
    if (f.method != method) continue;
    f.hr = hr;
    f.count = count;
    return;
  }
  forced_results.push_back({method, hr, count});
}

bool d3d9_forced_result(const char* method, HRESULT* hr) {
  for (ForcedResult& f : forced_results) {
    if (f.method != method || f.count <= 0) continue;
    f.count--;
    *hr = f.hr;
    return true;
  }
  return false;
}

const char* d3d9_render_state_name(DWORD state) {
  switch (state) {
#define N(x) \
  case D3DRS_##x: return #x;
    N(ZENABLE) N(FILLMODE) N(SHADEMODE) N(ZWRITEENABLE) N(ALPHATESTENABLE) N(LASTPIXEL) N(SRCBLEND) N(DESTBLEND)
    N(CULLMODE) N(ZFUNC) N(ALPHAREF) N(ALPHAFUNC) N(DITHERENABLE) N(ALPHABLENDENABLE) N(FOGENABLE)
    N(SPECULARENABLE) N(STENCILENABLE) N(STENCILFAIL) N(STENCILZFAIL) N(STENCILPASS) N(STENCILFUNC)
    N(STENCILREF) N(STENCILMASK) N(STENCILWRITEMASK) N(TEXTUREFACTOR) N(LIGHTING) N(COLORWRITEENABLE)
    N(BLENDOP) N(SCISSORTESTENABLE) N(SLOPESCALEDEPTHBIAS) N(TWOSIDEDSTENCILMODE) N(SRGBWRITEENABLE)
    N(DEPTHBIAS) N(SEPARATEALPHABLENDENABLE) N(SRCBLENDALPHA) N(DESTBLENDALPHA) N(BLENDOPALPHA)
#undef N
  }
  return "?";
}

const char* d3d9_sampler_state_name(DWORD state) {
  switch (state) {
#define N(x) \
  case D3DSAMP_##x: return #x;
    N(ADDRESSU) N(ADDRESSV) N(ADDRESSW) N(BORDERCOLOR) N(MAGFILTER) N(MINFILTER) N(MIPFILTER) N(MIPMAPLODBIAS)
    N(MAXMIPLEVEL) N(MAXANISOTROPY) N(SRGBTEXTURE)
#undef N
  }
  return "?";
}
