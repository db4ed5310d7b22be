#pragma once
// The run-time shader compiler as the renderer calls it. Shader sources are GLSL 4.50
// core; "compiling" preprocesses one stage (the macros given, VSH or PSH among them,
// and #include through the include handler) into one self-contained GLSL text, which
// is the stage's "byte code": the GL driver compiles it when the shader is created.
#include "platform/d3d9/d3d9.h"

struct D3D_SHADER_MACRO {
  LPCSTR Name;
  LPCSTR Definition;
};

enum D3D_INCLUDE_TYPE : uint32_t { D3D_INCLUDE_LOCAL = 0, D3D_INCLUDE_SYSTEM = 1 };

class ID3DInclude {
public:
  virtual HRESULT Open(D3D_INCLUDE_TYPE type, LPCSTR name, LPCVOID parent, LPCVOID* data, UINT* bytes) = 0;
  virtual HRESULT Close(LPCVOID data) = 0;

protected:
  ~ID3DInclude() = default;
};

class ID3DBlob : public D3d9Object {
public:
  explicit ID3DBlob(size_t size);
  LPVOID GetBufferPointer() { return bytes; }
  size_t GetBufferSize() { return size; }
  ~ID3DBlob() override;

private:
  void* bytes;
  size_t size;
};

#define D3DCOMPILE_DEBUG (1u << 0)
#define D3DCOMPILE_OPTIMIZATION_LEVEL3 (1u << 15)
#define D3DCOMPILE_WARNINGS_ARE_ERRORS (1u << 18)

// code receives the NUL-terminated GLSL text (its size counts the NUL); errors, when
// anything went wrong, the messages as text, one "file(line): ..." per line. While a
// device lives, the driver builds the stage the target names ("vs_..." or "ps_...")
// and its errors are among them. E_FAIL on error.
HRESULT D3DCompile(LPCVOID source, size_t size, LPCSTR source_name, const D3D_SHADER_MACRO* defines,
                   ID3DInclude* include, LPCSTR entry, LPCSTR target, UINT flags1, UINT flags2, ID3DBlob** code,
                   ID3DBlob** errors);
// A listing of the code whose summary line reads "// approximately N instruction slots used".
HRESULT D3DDisassemble(LPCVOID code, size_t size, UINT flags, LPCSTR comments, ID3DBlob** listing);

typedef HRESULT (*pD3DCompile)(LPCVOID, size_t, LPCSTR, const D3D_SHADER_MACRO*, ID3DInclude*, LPCSTR, LPCSTR, UINT,
                               UINT, ID3DBlob**, ID3DBlob**);
typedef HRESULT (*pD3DDisassemble)(LPCVOID, size_t, UINT, LPCSTR, ID3DBlob**);

// Looks the built-in compiler up by its entry names ("D3DCompile", "D3DDisassemble"):
// null when absent (d3d9_compiler_disabled set).
void* d3dcompiler_get_proc(const char* name);
