#pragma once
// Shaders: a vertex and a pixel stage built from one ".sh" source with a list of
// definitions, shared by (file, definitions) through 256 reference-counted slots, kept
// in a cache file per pair so that the game also runs without the shader compiler, and
// recompiled in place when their sources change.
#include "platform/d3d9/d3d9.h"
#include "platform/d3d9/d3dcompiler.h"
#include "engine/core/dynarray.h"
#include "engine/core/strings.h"

#include <cstdint>

constexpr int MAX_SHADERS = 256;
constexpr uint32_t SHADER_CACHE_MAGIC = 0x20100715;

struct ShaderDep {
  String name;      // virtual path
  String realPath;  // path on disk
  int64_t modTime;  // at load or compile; 0 without a compiler
};

struct Shader {
  IDirect3DVertexShader9* vs;  // the slot is in use exactly while this is set
  IDirect3DPixelShader9* ps;
  String file;
  char defines[512];  // NUL-terminated strings (name, value, ...) ended by an empty one
  DynArray<ShaderDep> deps;
  int refcount;
};

extern char vs_profile[32];
extern char ps_profile[32];

Shader* create_shader(const char* file, const char* defines);
void destroy_shader(Shader* s);
void set_shader(Shader* s);
void set_vs_consts(int first, const float* data, int count);
void set_ps_consts(int first, const float* data, int count);
void reload_shaders(bool force);

ID3DBlob* compile_hlsl_shader(const char* file, const char* entry, const char* profile, Shader* deps_owner);
bool compile_shader(Shader* s);
bool load_shader_cache(Shader* s);
// The cache file's virtual path, "cache/<file><suffix>.cache".
TempString<260> shader_cache_path(const Shader* s);
// "@" + each definition string with characters other than ASCII letters and digits
// turned into "_". A list whose strings hold characters other than letters, digits
// and '_' gets "-" and a hash of the exact list appended, so no two lists share a cache.
TempString<260> shader_define_suffix(const char* defines);

void load_shader_compiler();
void unload_shader_compiler();
bool has_shader_compiler();
void release_all_shaders();

// The include handler of the compiler: reads includes through the virtual file system
// and records them as dependencies of the shader being compiled.
class MyShaderInclude : public ID3DInclude {
public:
  explicit MyShaderInclude(Shader* owner) : owner(owner) {}
  HRESULT Open(D3D_INCLUDE_TYPE type, LPCSTR name, LPCVOID parent, LPCVOID* data, UINT* bytes) override;
  HRESULT Close(LPCVOID data) override;

private:
  Shader* owner;
};
