// The built-in shader compiler: a C-style preprocessor over GLSL sources.
//
// Conditionals (#if, #ifdef, #ifndef, #elif, #else, #endif) are decided here, so the
// output holds one stage only; #include is read through the caller's include handler;
// #define and #undef are tracked for the conditionals and also passed on, so the GL
// driver expands the macros in the code. The output starts with "#version 450 core"
// followed by the caller's macros; #version lines of the sources are dropped.
//
// Every source line gives one output line (left empty when it is dropped), and each
// file starts or resumes with a mark "//#line N name" (the next line is line N of
// name), so that the driver's messages can be told in the file and line that hold the
// fault. While a device lives, the driver builds the stage here (a pixel stage in both
// of the layer's variants), so that its errors come back with the compiler's own.
#include "platform/d3d9/d3dcompiler.h"
#include "platform/d3d9/d3d9_glsl.h"
#include "platform/d3d9/d3d9_platform.h"

#include <cctype>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>

bool d3d9_compiler_disabled = false;

ID3DBlob::ID3DBlob(size_t n) : bytes(std::calloc(1, n ? n : 1)), size(n) {}
ID3DBlob::~ID3DBlob() { std::free(bytes); }

static ID3DBlob* make_blob(const std::string& text, bool with_nul) {
  size_t n = text.size() + (with_nul ? 1 : 0);
  ID3DBlob* blob = new ID3DBlob(n);
  std::memcpy(blob->GetBufferPointer(), text.data(), text.size());
  return blob;
}

namespace {

struct Preprocessor {
  std::map<std::string, std::string> macros;
  ID3DInclude* include = nullptr;
  std::string out;
  std::string errors;
  int depth = 0;
  int includes = 0;  // files opened so far: a file that includes another twice per level
                     // would otherwise expand exponentially and never finish

  // Numbers the next output line as `line` of `file`.
  void mark_line(int line, const char* file) { out += "//#line " + std::to_string(line) + " " + file + "\n"; }

  void error(const char* file, int line, const std::string& msg) {
    errors += std::string(file) + "(" + std::to_string(line) + "): error: " + msg + "\n";
  }

  // --- #if expressions -------------------------------------------------------------
  // Macros being expanded in the #if at hand, innermost last, and how deep the
  // expression nests: a macro met again inside its own expansion, or nesting past
  // MAX_NESTING, is an error rather than a recursion without end.
  std::vector<std::string> expanding;
  int nesting = 0;
  static constexpr int MAX_NESTING = 256;

  struct Expr {
    Preprocessor& pp;
    std::string s;
    size_t p = 0;
    bool bad = false;
    std::string why;  // what was wrong, when more can be said than "bad expression"

    void fail(const std::string& reason) {
      if (!bad) why = reason;
      bad = true;
    }

    void skip() {
      while (p < s.size() && std::isspace((unsigned char)s[p])) p++;
    }
    bool eat(const char* tok) {
      skip();
      size_t n = std::strlen(tok);
      if (s.compare(p, n, tok) != 0) return false;
      // Do not take "<" out of "<=" and the like.
      if (n == 1 && p + 1 < s.size() && std::strchr("<>=!&|", tok[0]) && (s[p + 1] == '=' || s[p + 1] == tok[0]) &&
          tok[0] != '!')
        return false;
      if (n == 1 && tok[0] == '!' && p + 1 < s.size() && s[p + 1] == '=') return false;
      p += n;
      return true;
    }
    std::string ident() {
      skip();
      size_t b = p;
      while (p < s.size() && (std::isalnum((unsigned char)s[p]) || s[p] == '_')) p++;
      return s.substr(b, p - b);
    }
    long primary() {
      if (pp.nesting >= MAX_NESTING) {
        fail("#if expression nested too deeply");
        return 0;
      }
      pp.nesting++;
      long v = nested_primary();
      pp.nesting--;
      return v;
    }
    long nested_primary() {
      skip();
      if (bad) return 0;
      if (eat("(")) {
        long v = orexpr();
        if (!eat(")")) bad = true;
        return v;
      }
      if (eat("!")) return !primary();
      if (eat("-")) return (long)(0ul - (unsigned long)primary());
      if (p < s.size() && std::isdigit((unsigned char)s[p])) {
        char* end = nullptr;
        long v = std::strtol(s.c_str() + p, &end, 0);
        p = end - s.c_str();
        while (p < s.size() && std::isalpha((unsigned char)s[p])) p++;  // suffixes such as 1u
        return v;
      }
      std::string id = ident();
      if (id.empty()) {
        bad = true;
        return 0;
      }
      if (id == "defined") {
        bool paren = eat("(");
        std::string name = ident();
        if (paren && !eat(")")) bad = true;
        return pp.macros.count(name) ? 1 : 0;
      }
      auto it = pp.macros.find(id);
      if (it == pp.macros.end()) return 0;  // undefined names are 0, as in C
      for (const std::string& outer : pp.expanding)
        if (outer == id) {
          fail("macro '" + id + "' expands into itself");
          return 0;
        }
      pp.expanding.push_back(id);
      Expr inner{pp, it->second};
      long v = inner.orexpr();
      pp.expanding.pop_back();
      if (inner.bad) fail(inner.why);
      return v;
    }
    // Arithmetic wraps around instead of overflowing; x / 0 and x % 0 are 0.
    static long wrap(unsigned long v) { return (long)v; }
    static long divide(long a, long b, bool remainder) {
      if (b == 0) return 0;
      if (b == -1) return remainder ? 0 : wrap(0ul - (unsigned long)a);
      return remainder ? a % b : a / b;
    }
    long mul() {
      long v = primary();
      for (;;) {
        if (eat("*")) v = wrap((unsigned long)v * (unsigned long)primary());
        else if (eat("/")) v = divide(v, primary(), false);
        else if (eat("%")) v = divide(v, primary(), true);
        else return v;
      }
    }
    long add() {
      long v = mul();
      for (;;) {
        if (eat("+")) v = wrap((unsigned long)v + (unsigned long)mul());
        else if (eat("-")) v = wrap((unsigned long)v - (unsigned long)mul());
        else return v;
      }
    }
    long rel() {
      long v = add();
      for (;;) {
        if (eat("<=")) v = v <= add();
        else if (eat(">=")) v = v >= add();
        else if (eat("<")) v = v < add();
        else if (eat(">")) v = v > add();
        else return v;
      }
    }
    long eq() {
      long v = rel();
      for (;;) {
        if (eat("==")) v = v == rel();
        else if (eat("!=")) v = v != rel();
        else return v;
      }
    }
    long andexpr() {
      long v = eq();
      while (eat("&&")) v = eq() && v;
      return v;
    }
    long orexpr() {
      long v = andexpr();
      while (eat("||")) v = andexpr() || v;
      return v;
    }
  };

  // --- directives --------------------------------------------------------------------
  struct Cond {
    bool active;       // this branch is emitted
    bool taken;        // some branch of this group was emitted
    bool parent_active;
  };

  static std::string trim(const std::string& s) {
    size_t b = s.find_first_not_of(" \t\r");
    if (b == std::string::npos) return "";
    size_t e = s.find_last_not_of(" \t\r");
    return s.substr(b, e - b + 1);
  }

  bool run(const char* text, size_t size, const char* file) {
    if (++depth > 32) {
      error(file, 0, "#include nested too deeply");
      depth--;
      return false;
    }
    std::string src(text, size);
    std::vector<Cond> conds;
    bool ok = true;
    size_t pos = 0;
    int line_no = 0;
    while (pos < src.size()) {
      size_t end = src.find('\n', pos);
      if (end == std::string::npos) end = src.size();
      std::string line = src.substr(pos, end - pos);
      int first_line = ++line_no;
      pos = end + 1;
      // Join continued lines.
      while (!line.empty() && line.back() == '\\' && pos < src.size()) {
        line.pop_back();
        end = src.find('\n', pos);
        if (end == std::string::npos) end = src.size();
        line += src.substr(pos, end - pos);
        pos = end + 1;
        line_no++;
      }
      if (!directive(line, file, first_line, line_no, conds)) ok = false;
      // Lines joined into one keep their places as empty lines after it.
      out.append(line_no - first_line, '\n');
    }
    if (!conds.empty()) {
      error(file, line_no, "missing #endif");
      ok = false;
    }
    depth--;
    return ok;
  }

  // The value of an #if or #elif expression; false (and an error) when it is bad.
  bool condition(const std::string& arg, const std::string& kw, const char* file, int line, bool* value) {
    Expr e{*this, arg};
    *value = e.orexpr() != 0;
    expanding.clear();
    nesting = 0;
    if (!e.bad) return true;
    *value = false;
    error(file, line, e.why.empty() ? "bad #" + kw + " expression '" + arg + "'" : e.why + " in #" + kw + " '" + arg + "'");
    return false;
  }

  // Handles one (joined) line: emits exactly one output line for it, unless it is an
  // #include, which emits the file between two #line marks. False on an error.
  bool directive(const std::string& line, const char* file, int first_line, int last_line,
                 std::vector<Cond>& conds) {
    bool active = conds.empty() || conds.back().active;
    std::string t = trim(line);
    if (t.empty() || t[0] != '#') {
      out += (active ? line : std::string()) + "\n";
      return true;
    }
    std::string rest = trim(t.substr(1));
    size_t kw_end = 0;
    while (kw_end < rest.size() && std::isalpha((unsigned char)rest[kw_end])) kw_end++;
    std::string kw = rest.substr(0, kw_end);
    std::string arg = trim(rest.substr(kw_end));
    bool ok = true;
    std::string emit;
    if (kw == "ifdef" || kw == "ifndef" || kw == "if") {
      bool value = false;
      if (active) {
        if (kw == "if") {
          ok = condition(arg, kw, file, first_line, &value);
        } else {
          Expr e{*this, arg};
          value = macros.count(e.ident()) != 0;
          if (kw == "ifndef") value = !value;
        }
      }
      conds.push_back({active && value, active && value, active});
    } else if (kw == "elif" || kw == "else") {
      if (conds.empty()) {
        error(file, first_line, "#" + kw + " without #if");
        out += "\n";
        return false;
      }
      Cond& c = conds.back();
      bool value = false;
      if (c.parent_active && !c.taken) {
        if (kw == "elif")
          ok = condition(arg, kw, file, first_line, &value);
        else
          value = true;
      }
      c.active = value;
      c.taken |= value;
    } else if (kw == "endif") {
      if (conds.empty()) {
        error(file, first_line, "#endif without #if");
        ok = false;
      } else {
        conds.pop_back();
      }
    } else if (!active) {
    } else if (kw == "include") {
      ok = include_file(arg, file, first_line);
      mark_line(last_line + 1, file);
      return ok;
    } else if (kw == "define") {
      Expr e{*this, arg};
      std::string name = e.ident();
      if (name.empty()) {
        error(file, first_line, "bad #define");
        out += "\n";
        return false;
      }
      // Function-like macros are left to the driver; only their existence counts here.
      macros[name] = (e.p < arg.size() && arg[e.p] == '(') ? "" : trim(arg.substr(e.p));
      emit = line;
    } else if (kw == "undef") {
      Expr e{*this, arg};
      macros.erase(e.ident());
      emit = line;
    } else if (kw == "version") {
      // the compiler writes the one #version line
    } else if (kw == "error") {
      error(file, first_line, "#error " + arg);
      ok = false;
    } else {
      emit = line;  // #extension, #pragma: the driver's business
    }
    out += emit + "\n";
    return ok;
  }

  bool include_file(const std::string& arg, const char* parent, int line) {
    if (arg.size() < 2 || !((arg[0] == '"' && arg.back() == '"') || (arg[0] == '<' && arg.back() == '>'))) {
      error(parent, line, "bad #include " + arg);
      return false;
    }
    std::string name = arg.substr(1, arg.size() - 2);
    if (++includes > 1024) {
      error(parent, line, "too many #include expansions (more than 1024)");
      return false;
    }
    if (!include) {
      error(parent, line, "cannot open include file '" + name + "' (no include handler)");
      return false;
    }
    LPCVOID data = nullptr;
    UINT bytes = 0;
    D3D_INCLUDE_TYPE type = arg[0] == '"' ? D3D_INCLUDE_LOCAL : D3D_INCLUDE_SYSTEM;
    if (FAILED(include->Open(type, name.c_str(), nullptr, &data, &bytes)) || !data) {
      error(parent, line, "cannot open include file '" + name + "'");
      return false;
    }
    mark_line(1, name.c_str());
    bool ok = run((const char*)data, bytes, name.c_str());
    include->Close(data);
    return ok;
  }
};

// The driver builds the stage that the target names ("vs_..." or "ps_...") on the live
// device's context, when there is one; its messages join the errors on failure.
bool driver_builds(LPCSTR target, const std::string& code, std::string* errors) {
  if (!d3d9_live_device || !target) return true;
  GLenum stage = 0;
  if (std::strncmp(target, "vs", 2) == 0) stage = GL_VERTEX_SHADER;
  if (std::strncmp(target, "ps", 2) == 0) stage = GL_FRAGMENT_SHADER;
  if (!stage) return true;
  std::string messages;
  GLuint programs[2] = {};
  bool built = stage == GL_FRAGMENT_SHADER
                   ? glsl_build_pixel_programs(d3d9_live_device, code.c_str(), &programs[0], &programs[1], &messages)
                   : (programs[0] = glsl_build_program(d3d9_live_device, stage, code.c_str(), &messages)) != 0;
  if (!built) {
    *errors += messages;
    return false;
  }
  glDeleteProgram(programs[0]);
  glDeleteProgram(programs[1]);
  return true;
}

}  // namespace

HRESULT D3DCompile(LPCVOID source, size_t size, LPCSTR source_name, const D3D_SHADER_MACRO* defines,
                   ID3DInclude* include, LPCSTR entry, LPCSTR target, UINT flags1, UINT flags2, ID3DBlob** code,
                   ID3DBlob** errors) {
  if (code) *code = nullptr;
  if (errors) *errors = nullptr;
  const char* name = source_name ? source_name : "<source>";
  Preprocessor pp;
  pp.include = include;
  pp.out = "#version 450 core\n";
  for (const D3D_SHADER_MACRO* m = defines; m && m->Name; m++) {
    std::string value = Preprocessor::trim(m->Definition ? m->Definition : "");
    pp.macros[m->Name] = value;
    pp.out += std::string("#define ") + m->Name + " " + value + "\n";
  }
  pp.mark_line(1, name);
  bool ok = source && size > 0;
  if (!ok) pp.error(name, 0, "empty source");
  if (ok) ok = pp.run((const char*)source, size, name);
  if (ok) ok = driver_builds(target, pp.out, &pp.errors);
  if (!pp.errors.empty() && errors) *errors = make_blob(pp.errors, true);
  if (!ok) return E_FAIL;
  if (code) *code = make_blob(pp.out, true);
  return S_OK;
}

HRESULT D3DDisassemble(LPCVOID code, size_t size, UINT flags, LPCSTR comments, ID3DBlob** listing) {
  if (!listing) return E_INVALIDARG;
  *listing = nullptr;
  if (!code) return E_INVALIDARG;
  std::string text((const char*)code, strnlen((const char*)code, size));
  // One statement per ';' outside the declarations is a fair measure of the work.
  int count = 0;
  for (char c : text) count += c == ';';
  std::string out = text + "\n// approximately " + std::to_string(count) + " instruction slots used\n";
  *listing = make_blob(out, true);
  return S_OK;
}

void* d3dcompiler_get_proc(const char* name) {
  if (d3d9_compiler_disabled || !name) return nullptr;
  if (std::strcmp(name, "D3DCompile") == 0) return (void*)&D3DCompile;
  if (std::strcmp(name, "D3DDisassemble") == 0) return (void*)&D3DDisassemble;
  return nullptr;
}
