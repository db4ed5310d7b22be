// Shader slots, the shader cache, compiling and hot reload.
#include "engine/render/d3d_shaders.h"

#include "engine/core/error_message.h"
#include "engine/core/fatal.h"
#include "engine/core/log.h"
#include "engine/core/mem.h"
#include "engine/core/stream.h"
#include "engine/core/utils.h"
#include "engine/core/vfs.h"
#include "engine/core/watch.h"
#include "engine/render/d3d_device.h"

#include <physfs.h>
#include <cstdio>
#include <cstring>

char vs_profile[32] = "vs_3_0";
char ps_profile[32] = "ps_3_0";

static Shader shaders[MAX_SHADERS];
static pD3DCompile compiler_compile = nullptr;
static pD3DDisassemble compiler_disassemble = nullptr;
static bool reloading = false;

template <class T>
static void release(T*& p) {
  if (p) p->Release();
  p = nullptr;
}

// ---- the compiler -------------------------------------------------------------------

void load_shader_compiler() {
  compiler_compile = (pD3DCompile)d3dcompiler_get_proc("D3DCompile");
  compiler_disassemble = (pD3DDisassemble)d3dcompiler_get_proc("D3DDisassemble");
  if (compiler_compile && compiler_disassemble) {
    debug("shader compiler available");
    return;
  }
  unload_shader_compiler();
  debug("no shader compiler");
}

void unload_shader_compiler() {
  compiler_compile = nullptr;
  compiler_disassemble = nullptr;
}

bool has_shader_compiler() { return compiler_compile != nullptr; }

// ---- definitions and the cache path -------------------------------------------------

// Length of a definition list with its final empty string.
static int defines_size(const char* defines) {
  if (!defines) return 1;
  const char* p = defines;
  while (*p) p += strlen(p) + 1;
  return (int)(p - defines) + 1;
}

TempString<260> shader_define_suffix(const char* defines) {
  TempString<260> out;
  if (!defines) return out;
  char buf[260];
  int n = 0;
  bool ambiguous = false;
  for (const char* s = defines; *s; s += strlen(s) + 1) {
    ASSERT(n + 1 < (int)sizeof(buf));
    buf[n++] = '@';
    for (const char* c = s; *c; c++) {
      bool keep = (*c >= 'a' && *c <= 'z') || (*c >= 'A' && *c <= 'Z') || (*c >= '0' && *c <= '9');
      ambiguous |= !keep && *c != '_';
      ASSERT(n + 1 < (int)sizeof(buf));
      buf[n++] = keep ? *c : '_';
    }
  }
  buf[n] = 0;
  if (!ambiguous) {
    out.assign(buf);
    return out;
  }
  // Lists of letters, digits and '_' alone map to names one to one ('@' parts them).
  // Once another character became '_', two lists could meet in one name, so the exact
  // list is hashed in ('-' never appears in the names of the others).
  uint64_t hash = 0xcbf29ce484222325ull;
  int size = defines_size(defines);
  for (int i = 0; i < size; i++) hash = (hash ^ (uint8_t)defines[i]) * 0x100000001b3ull;
  out.format("%s-%016llx", buf, (unsigned long long)hash);
  return out;
}

TempString<260> shader_cache_path(const Shader* s) {
  TempString<260> path;
  path.format("cache/%s%s.cache", s->file.c_str(), shader_define_suffix(s->defines).c_str());
  return path;
}

// ---- dependencies -------------------------------------------------------------------

static void add_dependency(Shader* s, const char* name) {
  ShaderDep& d = s->deps.push();
  d.name.assign(name);
  d.realPath.assign(get_real_path(name).c_str());
  d.modTime = has_shader_compiler() ? vfs_last_mod_time(name) : 0;
}

// Reads a whole virtual-file-system file into a block from dlmalloc (with a NUL after
// it); null when it is missing, cannot be read whole or the block cannot be had (then
// *out_of_memory is set, when given).
static char* read_vfs_file(const char* name, int* size, bool* out_of_memory = nullptr) {
  PHYSFS_File* f = PHYSFS_openRead(name);
  if (!f) return nullptr;
  int64_t length = PHYSFS_fileLength(f);
  char* data = length >= 0 ? (char*)dlmalloc((size_t)length + 1) : nullptr;
  if (length >= 0 && !data && out_of_memory) *out_of_memory = true;
  if (data && vfs_read(f, data, 1, (uint32_t)length) != length) {
    dlfree(data);
    data = nullptr;
  }
  PHYSFS_close(f);
  if (data) {
    data[length] = 0;
    *size = (int)length;
  }
  return data;
}

HRESULT MyShaderInclude::Open(D3D_INCLUDE_TYPE, LPCSTR name, LPCVOID, LPCVOID* data, UINT* bytes) {
  ASSERT(data);
  ASSERT(bytes);
  int size = 0;
  bool out_of_memory = false;
  char* buffer = read_vfs_file(name, &size, &out_of_memory);
  if (!buffer) {
    *data = nullptr;
    *bytes = 0;
    return out_of_memory ? E_OUTOFMEMORY : D3DERR_INVALIDCALL;
  }
  *data = buffer;
  *bytes = size;
  if (owner) add_dependency(owner, name);
  return S_OK;
}

HRESULT MyShaderInclude::Close(LPCVOID data) {
  dlfree((void*)data);
  return S_OK;
}

// ---- slots --------------------------------------------------------------------------

static void release_stages(Shader* s) {
  release(s->vs);
  release(s->ps);
}

Shader* create_shader(const char* file, const char* defines) {
  int dsize = defines_size(defines);
  for (Shader& s : shaders) {
    if (!s.vs || strcmp(s.file.c_str(), file) != 0) continue;
    if (defines_size(s.defines) == dsize && memcmp(s.defines, defines ? defines : "", dsize) == 0) {
      s.refcount++;
      return &s;
    }
  }
  Shader* s = nullptr;
  for (Shader& slot : shaders) {
    if (!slot.vs) {
      s = &slot;
      break;
    }
  }
  if (!s) fatal("reached maximum shader count!");
  s->file.assign(file);
  {
    int l = dsize;
    const int BS = sizeof(s->defines);
    ASSERT(l<BS);
  }
  memcpy(s->defines, defines ? defines : "", dsize);
  s->refcount = 0;
  if (!load_shader_cache(s)) {
    if (!has_shader_compiler()) {
      s->deps.clearAndFree();
      release_stages(s);
      fatal("can't create shader from %s'%s'", "cache for ", file);
    }
    if (!compile_shader(s)) {
      s->deps.clearAndFree();
      release_stages(s);
      fatal("can't create shader from %s'%s'", "", file);
    }
  }
  s->refcount++;
  return s;
}

void destroy_shader(Shader* s) {
  if (!s) return;
  ASSERT(s->refcount>0);
  if (--s->refcount > 0) return;
  s->deps.clearAndFree();
  release_stages(s);
}

void set_shader(Shader* s) {
  d3d->SetVertexShader(s ? s->vs : nullptr);
  d3d->SetPixelShader(s ? s->ps : nullptr);
}

void set_vs_consts(int first, const float* data, int count) { d3d->SetVertexShaderConstantF(first, data, count); }
void set_ps_consts(int first, const float* data, int count) { d3d->SetPixelShaderConstantF(first, data, count); }

void release_all_shaders() {
  for (Shader& s : shaders) {
    s.deps.clearAndFree();
    release_stages(&s);
    s.refcount = 0;
  }
  for (Shader& s : shaders) ASSERT(s.deps.isEmpty());
}

// ---- the cache ----------------------------------------------------------------------

bool load_shader_cache(Shader* s) {
  TempString<260> path = shader_cache_path(s);
  s->deps.clear();
  int size = 0;
  char* data = read_vfs_file(path, &size);
  if (!data) return false;
  uint32_t head[4];
  bool ok = size >= 16;
  if (ok) memcpy(head, data, 16);
  ok = ok && head[0] == SHADER_CACHE_MAGIC && (uint64_t)16 + head[1] + head[2] + head[3] <= (uint64_t)size &&
       head[2] > 0 && head[3] > 0;
  // Both stages are NUL-terminated texts; a cache cut short or garbled is not used.
  const char* vs_code = data + 16 + (ok ? head[1] : 0);
  const char* ps_code = ok ? vs_code + head[2] : nullptr;
  ok = ok && vs_code[head[2] - 1] == 0 && ps_code[head[3] - 1] == 0;
  if (ok) {
    const char* name = data + 16;
    const char* end = name + head[1];
    while (name < end && *name) {
      size_t l = strnlen(name, end - name);
      if (name + l >= end) break;  // a name without its NUL ends the list
      add_dependency(s, name);
      name += l + 1;
    }
  }
  if (ok && has_shader_compiler()) {
    int64_t cache_time = vfs_last_mod_time(path);
    for (const ShaderDep& d : s->deps)
      if (d.modTime > cache_time) ok = false;  // stale: a source changed after the cache was written
  }
  if (ok && FAILED(d3d->CreateVertexShader((const DWORD*)vs_code, &s->vs))) ok = false;
  if (ok && FAILED(d3d->CreatePixelShader((const DWORD*)ps_code, &s->ps))) ok = false;
  dlfree(data);
  if (!ok) {
    release_stages(s);
    return false;
  }
  debug("loaded shader '%s' from cache", s->file.c_str());
  return true;
}

// The real path the cache is written to: the per-user folder (the write directory).
static TempString<260> cache_write_path(const char* vfs_path) {
  const char* dir = PHYSFS_getWriteDir();
  TempString<260> base = dir ? TempString<260>(dir) : get_appdata_folder_path("");
  TempString<260> out;
  int l = base.len();
  out.format("%s%s%s", base.c_str(), (l && base.c_str()[l - 1] == '/') ? "" : "/", vfs_path);
  return out;
}

static void write_shader_cache(Shader* s, ID3DBlob* vcode, ID3DBlob* pcode) {
  TempString<260> full = cache_write_path(shader_cache_path(s));
  TempString<260> folder(full);
  char* slash = strrchr(folder.str, '/');
  if (slash) *slash = 0;
  if (!create_directories(folder)) return;
  DynArray<char> names;
  for (const ShaderDep& d : s->deps) names.append(d.name.len() + 1, d.name.c_str());
  names.push() = 0;
  uint32_t head[4] = {SHADER_CACHE_MAGIC, (uint32_t)names.size(), (uint32_t)vcode->GetBufferSize(),
                      (uint32_t)pcode->GetBufferSize()};
  StdFileOutputStream out;
  try {
    if (!out.open(full, "wb")) throw OutputStream::Exception("can't open", -1);
    out.write(head, sizeof(head));
    out.write(names.data, names.size());
    out.write(vcode->GetBufferPointer(), (int)vcode->GetBufferSize());
    out.write(pcode->GetBufferPointer(), (int)pcode->GetBufferSize());
    if (!out.close()) throw OutputStream::Exception("can't close", -1);
  } catch (const OutputStream::Exception&) {
    out.close();
    remove(full);
  }
}

// ---- compiling ----------------------------------------------------------------------

// A shader file's part of the on-screen errors.
static TempString<300> shader_error_source(const Shader* s) {
  TempString<300> source;
  source.format("shader %s", s->file.c_str());
  return source;
}

ID3DBlob* compile_hlsl_shader(const char* file, const char* entry, const char* profile, Shader* owner) {
  D3D_SHADER_MACRO macros[130];
  int n = 0;
  if (owner) {
    for (const char* p = owner->defines; *p && n < 128;) {
      const char* name = p;
      p += strlen(p) + 1;
      const char* value = p;
      if (*p) p += strlen(p) + 1;
      macros[n++] = {name, value};
    }
  }
  macros[n++] = {strcmp(entry, "psh") == 0 ? "PSH" : "VSH", " 1"};
  macros[n] = {nullptr, nullptr};

  int size = 0;
  char* source = read_vfs_file(file, &size);
  if (source && owner) {
    TempString<260> check(file);  // a dependency name must fit a path
    add_dependency(owner, file);
  }
  MyShaderInclude include(owner);
  ID3DBlob *code = nullptr, *errors = nullptr;
  HRESULT hr = source ? compiler_compile(source, size, file, macros, &include, entry, profile,
                                         D3DCOMPILE_DEBUG | D3DCOMPILE_OPTIMIZATION_LEVEL3 |
                                             D3DCOMPILE_WARNINGS_ARE_ERRORS,
                                         0, &code, &errors)
                      : E_FAIL;
  dlfree(source);
  if (errors) {
    const char* text = (const char*)errors->GetBufferPointer();
    int len = (int)strnlen(text, errors->GetBufferSize());
    debug("HLSL '%s', func '%s':", file, entry);
    debug("%.*s", len, text);
    if (reloading && owner) {
      TempString<512> head;
      head.format("HLSL '%s', func '%s':", file, entry);
      TempString<300> source = shader_error_source(owner);
      append_source_error(source, head, -1);
      append_source_error(source, text, len);
    }
    errors->Release();
  }
  if (code) {
    ID3DBlob* listing = nullptr;
    if (SUCCEEDED(compiler_disassemble(code->GetBufferPointer(), code->GetBufferSize(), 0, nullptr, &listing))) {
      const char* p = (const char*)listing->GetBufferPointer();
      while (*p) {
        const char* eol = strchr(p, '\n');
        int l = eol ? (int)(eol - p) : (int)strlen(p);
        if (l >= 19 && strncmp(p, "//", 2) == 0 && memmem(p, l, " instruction slot", 17))
          debug("%s (%s): %.*s", file, entry, l - 2, p + 2);
        p += l + (eol ? 1 : 0);
      }
      listing->Release();
    }
  }
  if (FAILED(hr) || !code) {
    debug("FAILED to compile HLSL shader '%s', func '%s'", file, entry);
    release(code);
  }
  return code;
}

bool compile_shader(Shader* s) {
  ASSERT(s);
  s->deps.clear();
  ID3DBlob* vcode = compile_hlsl_shader(s->file.c_str(), "vsh", vs_profile, s);
  if (!vcode) return false;
  if (FAILED(d3d->CreateVertexShader((const DWORD*)vcode->GetBufferPointer(), &s->vs))) {
    debug("can't create vertex shader from '%s'", s->file.c_str());
    vcode->Release();
    return false;
  }
  ID3DBlob* pcode = compile_hlsl_shader(s->file.c_str(), "psh", ps_profile, s);
  if (!pcode) {
    vcode->Release();
    return false;
  }
  if (FAILED(d3d->CreatePixelShader((const DWORD*)pcode->GetBufferPointer(), &s->ps))) {
    debug("can't create pixel shader from '%s'", s->file.c_str());
    vcode->Release();
    pcode->Release();
    return false;
  }
  write_shader_cache(s, vcode, pcode);
  vcode->Release();
  pcode->Release();
  return true;
}

// ---- hot reload ---------------------------------------------------------------------

static bool shader_changed(const Shader& s) {
  if (s.deps.isEmpty()) return true;
  for (const ShaderDep& d : s.deps)
    if (was_real_file_changed(d.realPath.c_str()) && vfs_last_mod_time(d.name.c_str()) != d.modTime) return true;
  return false;
}

// True when a slot of the listed ones is of the same file as `s`.
static bool file_listed(const Shader& s, const DynArray<const Shader*>& slots) {
  for (const Shader* other : slots)
    if (other->file == s.file) return true;
  return false;
}

void reload_shaders(bool force) {
  if (!has_shader_compiler()) return;
  DynArray<const Shader*> failed, compiled;
  reloading = true;
  for (Shader& s : shaders) {
    if (!s.vs || !(force || shader_changed(s))) continue;
    // The other builds of a file that failed in this pass keep their old shaders too,
    // and the error is shown once.
    if (file_listed(s, failed)) {
      debug("kept shader '%s' of a file that failed to reload", s.file.c_str());
      continue;
    }
    // The file's error stands until every build of it compiles: the first build of
    // the file in this pass starts it afresh, and a failure of any build shows again.
    if (!file_listed(s, compiled)) set_source_error(shader_error_source(&s), nullptr);
    const Shader* attempt = &s;
    compiled.push(&attempt);
    IDirect3DVertexShader9* old_vs = s.vs;
    IDirect3DPixelShader9* old_ps = s.ps;
    s.vs = nullptr;
    s.ps = nullptr;
    if (compile_shader(&s)) {
      debug("reloaded shader '%s'", s.file.c_str());
      old_vs->Release();
      if (old_ps) old_ps->Release();
    } else {
      TempString<512> msg;
      msg.format("FAILED to reload shader '%s'", s.file.c_str());
      append_source_error(shader_error_source(&s), msg, -1);
      const Shader* broken = &s;
      failed.push(&broken);
      release_stages(&s);
      s.vs = old_vs;
      s.ps = old_ps;
    }
  }
  reloading = false;
}
