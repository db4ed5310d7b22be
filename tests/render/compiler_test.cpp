// The built-in shader compiler: one stage of a source, macros, includes through the
// handler, conditionals, errors and the instruction-count listing.
#include "platform/d3d9/d3dcompiler.h"
#include "platform/d3d9/d3d9_glsl.h"
#include "layer_fixture.h"

#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <string>

namespace {

class MapInclude : public ID3DInclude {
public:
  std::map<std::string, std::string> files;
  std::vector<std::string> opened;
  HRESULT Open(D3D_INCLUDE_TYPE, LPCSTR name, LPCVOID, LPCVOID* data, UINT* bytes) override {
    auto it = files.find(name);
    if (it == files.end()) return D3DERR_INVALIDCALL;
    opened.push_back(name);
    *data = it->second.data();
    *bytes = (UINT)it->second.size();
    return S_OK;
  }
  HRESULT Close(LPCVOID) override { return S_OK; }
};

struct Result {
  HRESULT hr;
  std::string code, errors;
};

Result compile(const std::string& src, const D3D_SHADER_MACRO* macros, ID3DInclude* inc = nullptr,
               const char* profile = "vs_2_0") {
  ID3DBlob *code = nullptr, *errors = nullptr;
  Result r;
  r.hr = D3DCompile(src.data(), src.size(), "t.sh", macros, inc, "vsh", profile, 0, 0, &code, &errors);
  if (code) {
    EXPECT_EQ(((const char*)code->GetBufferPointer())[code->GetBufferSize() - 1], 0) << "code ends with its NUL";
    r.code = (const char*)code->GetBufferPointer();
    code->Release();
  }
  if (errors) {
    r.errors = (const char*)errors->GetBufferPointer();
    errors->Release();
  }
  return r;
}

bool has_line(const std::string& text, const std::string& line) {
  return ("\n" + text + "\n").find("\n" + line + "\n") != std::string::npos;
}

// "file(line)" of the first output line equal to `line`, after the "//#line N file"
// marks; empty when there is none.
std::string place_of(const std::string& code, const std::string& line) {
  std::string file = "?";
  int number = 0;  // of the next line
  size_t pos = 0;
  while (pos < code.size()) {
    size_t end = code.find('\n', pos);
    if (end == std::string::npos) end = code.size();
    std::string text = code.substr(pos, end - pos);
    pos = end + 1;
    int n = 0, at = 0;
    if (sscanf(text.c_str(), "//#line %d %n", &n, &at) == 1 && at > 0) {
      file = text.substr(at);
      number = n;
      continue;
    }
    if (text == line) return file + "(" + std::to_string(number) + ")";
    number++;
  }
  return "";
}

}  // namespace

TEST(ShaderCompiler, KeepsOnlyTheSelectedStage) {
  const std::string src = "#version 450\ncommon();\n#ifdef VSH\nvertex();\n#else\nother();\n#endif\n#ifdef PSH\npixel();\n#endif\n";
  const D3D_SHADER_MACRO vsh[] = {{"VSH", " 1"}, {nullptr, nullptr}};
  Result r = compile(src, vsh);
  ASSERT_EQ(r.hr, S_OK) << r.errors;
  EXPECT_EQ(r.code.rfind("#version 450 core\n", 0), 0u);
  EXPECT_TRUE(has_line(r.code, "#define VSH 1"));
  EXPECT_TRUE(has_line(r.code, "common();"));
  EXPECT_TRUE(has_line(r.code, "vertex();"));
  EXPECT_FALSE(has_line(r.code, "other();"));
  EXPECT_FALSE(has_line(r.code, "pixel();"));
  EXPECT_FALSE(has_line(r.code, "#version 450"));  // the source's own line is dropped
}

TEST(ShaderCompiler, EvaluatesIfExpressions) {
  struct Case {
    const char* expr;
    bool taken;
  } cases[] = {{"A == 2", true}, {"A > 2", false}, {"defined(A) && !defined(B)", true}, {"B", false},
               {"(A + 1) * 2 == 6", true}, {"A >= 2 || B", true}, {"C == 5", true}, {"A != 2", false}};
  const D3D_SHADER_MACRO macros[] = {{"A", "2"}, {"C", "A + 3"}, {nullptr, nullptr}};
  for (const Case& c : cases) {
    Result r = compile(std::string("#if ") + c.expr + "\nyes();\n#elif 1\nno();\n#endif\n", macros);
    ASSERT_EQ(r.hr, S_OK) << c.expr << ": " << r.errors;
    EXPECT_EQ(has_line(r.code, "yes();"), c.taken) << c.expr;
    EXPECT_EQ(has_line(r.code, "no();"), !c.taken) << c.expr;
  }
}

TEST(ShaderCompiler, IncludesThroughTheHandlerWithTheirConditionals) {
  MapInclude inc;
  inc.files["a.inc"] = "#define FROM_A 1\n#include \"b.inc\"\n";
  inc.files["b.inc"] = "#if FROM_A\nb_body();\n#endif\n";
  Result r = compile("#include \"a.inc\"\n#ifdef FROM_A\nmain_body();\n#endif\n", nullptr, &inc);
  ASSERT_EQ(r.hr, S_OK) << r.errors;
  EXPECT_TRUE(has_line(r.code, "b_body();"));
  EXPECT_TRUE(has_line(r.code, "main_body();"));
  EXPECT_TRUE(has_line(r.code, "#define FROM_A 1"));  // passed on for the driver
  EXPECT_EQ(inc.opened, (std::vector<std::string>{"a.inc", "b.inc"}));
}

TEST(ShaderCompiler, ReportsErrorsWithTheFileName) {
  struct Case {
    const char* src;
    const char* message;
  } cases[] = {{"#include \"missing.inc\"\n", "t.sh(1): error: cannot open include file 'missing.inc'"},
               {"#ifdef X\n", "missing #endif"},
               {"#endif\n", "#endif without #if"},
               {"#error stop here\n", "#error stop here"},
               {"", "empty source"}};
  MapInclude inc;
  for (const Case& c : cases) {
    Result r = compile(c.src, nullptr, &inc);
    EXPECT_EQ(r.hr, E_FAIL) << c.src;
    EXPECT_NE(r.errors.find(c.message), std::string::npos) << r.errors;
    EXPECT_TRUE(r.code.empty());
  }
  // Includes cannot recurse forever.
  inc.files["loop.inc"] = "#include \"loop.inc\"\n";
  Result r = compile("#include \"loop.inc\"\n", nullptr, &inc);
  EXPECT_EQ(r.hr, E_FAIL);
  EXPECT_NE(r.errors.find("nested too deeply"), std::string::npos);
}

// Macros that expand into themselves, directly or through others, and expressions
// nested past any sense are errors of the line, not a recursion until the stack ends.
TEST(ShaderCompiler, SelfExpandingMacrosAreErrors) {
  struct Case {
    const char* src;
    const char* message;
  } cases[] = {
      {"#define A A\n#if A\n#endif\n", "t.sh(2): error: macro 'A' expands into itself in #if 'A'"},
      {"#define A B + 1\n#define B (A)\n\n#if B == 2\n#endif\n",
       "t.sh(4): error: macro 'B' expands into itself in #if 'B == 2'"},
      {"#if 0\n#elif X\n#endif\n", "t.sh(2): error: macro 'X' expands into itself in #elif 'X'"},
      {"#if 1 + (\n#endif\n", "t.sh(1): error: bad #if expression '1 + ('"},
      {"#if 1\n#elif )\n#endif\n", nullptr},  // a branch already taken is not evaluated
  };
  const D3D_SHADER_MACRO x_is_x[] = {{"X", "X"}, {nullptr, nullptr}};
  for (const Case& c : cases) {
    Result r = compile(c.src, x_is_x);
    if (!c.message) {
      EXPECT_EQ(r.hr, S_OK) << c.src << r.errors;
      continue;
    }
    EXPECT_EQ(r.hr, E_FAIL) << c.src;
    EXPECT_TRUE(has_line(r.errors, c.message)) << r.errors;
  }
  std::string deep = "#if " + std::string(100000, '(') + "1" + std::string(100000, ')') + "\n#endif\n";
  Result r = compile(deep, nullptr);
  EXPECT_EQ(r.hr, E_FAIL);
  EXPECT_NE(r.errors.find("t.sh(1): error: #if expression nested too deeply"), std::string::npos);
  // A chain that ends is fine, however it got there.
  const D3D_SHADER_MACRO chain[] = {{"A", "B"}, {"B", "C + C"}, {"C", "2"}, {nullptr, nullptr}};
  r = compile("#if A == 4 && B == 4\nyes();\n#endif\n", chain);
  ASSERT_EQ(r.hr, S_OK) << r.errors;
  EXPECT_TRUE(has_line(r.code, "yes();"));
}

// Arithmetic of #if wraps around and never traps, whatever the numbers.
TEST(ShaderCompiler, IfArithmeticNeverTraps) {
  const char* exprs[] = {"(-9223372036854775807 - 1) / -1", "(-9223372036854775807 - 1) % -1",
                         "9223372036854775807 + 1", "9223372036854775807 * 3", "-(-9223372036854775807 - 1)",
                         "5 / 0", "5 % 0"};
  for (const char* e : exprs) {
    Result r = compile(std::string("#if ") + e + "\n#endif\n", nullptr);
    EXPECT_EQ(r.hr, S_OK) << e << ": " << r.errors;
  }
}

TEST(ShaderCompiler, DisassemblyCountsInstructionSlots) {
  const char code[] = "a = 1;\nb = 2;\nc();\n";
  ID3DBlob* listing = nullptr;
  ASSERT_EQ(D3DDisassemble(code, sizeof(code), 0, nullptr, &listing), S_OK);
  std::string text = (const char*)listing->GetBufferPointer();
  listing->Release();
  EXPECT_TRUE(has_line(text, "// approximately 3 instruction slots used")) << text;
}

TEST(ShaderCompiler, EntryPointsAreFoundByName) {
  EXPECT_EQ(d3dcompiler_get_proc("D3DCompile"), (void*)&D3DCompile);
  EXPECT_EQ(d3dcompiler_get_proc("D3DDisassemble"), (void*)&D3DDisassemble);
  EXPECT_EQ(d3dcompiler_get_proc("D3DReflect"), nullptr);
}

// Each line of the output sits at the place of the source line it came from, whichever
// lines were dropped, joined or included before it.
TEST(ShaderCompiler, OutputLinesKeepTheirFileAndLine) {
  MapInclude inc;
  inc.files["a.inc"] = "#ifdef PSH\npixel_only();\n#endif\ninc_body();\n#include \"b.inc\"\ninc_after();\n";
  inc.files["b.inc"] = "#version 450\nb_body();\n";
  const std::string src =
      "#version 450\n"         // 1
      "first();\n"             // 2
      "#ifdef NOT_SET\n"       // 3
      "skipped();\n"           // 4
      "#else\n"                // 5
      "kept();\n"              // 6
      "#endif\n"               // 7
      "#define LONG 1 + \\\n"  // 8
      "  2\n"                  // 9
      "after_join();\n"        // 10
      "#include \"a.inc\"\n"   // 11
      "after_include();\n"     // 12
      "#include \"b.inc\"\n"   // 13
      "last();\n";             // 14
  const D3D_SHADER_MACRO vsh[] = {{"VSH", " 1"}, {nullptr, nullptr}};
  Result r = compile(src, vsh, &inc);
  ASSERT_EQ(r.hr, S_OK) << r.errors;
  struct Case {
    const char* line;
    const char* place;
  } cases[] = {{"first();", "t.sh(2)"},         {"kept();", "t.sh(6)"},         {"after_join();", "t.sh(10)"},
               {"inc_body();", "a.inc(4)"},     {"b_body();", "b.inc(2)"},      {"inc_after();", "a.inc(6)"},
               {"after_include();", "t.sh(12)"}, {"last();", "t.sh(14)"}};
  for (const Case& c : cases) EXPECT_EQ(place_of(r.code, c.line), c.place) << c.line << "\n" << r.code;
  EXPECT_TRUE(has_line(r.code, "//#line 1 t.sh")) << r.code;
  EXPECT_TRUE(has_line(r.code, "//#line 12 t.sh"));
  EXPECT_TRUE(has_line(r.code, "//#line 6 a.inc"));
}

// The driver's messages, placed by output line, name the file and line that the marks
// give; messages without a place (link errors) or in the header go under the shader's
// own file.
TEST(ShaderCompiler, DriverMessagesNameTheirFile) {
  std::string code = "#version 450 core\n#define VSH 1\n//#line 1 font.sh\n";  // font.sh 1 is output line 4
  for (int i = 1; i <= 20; i++) code += "f" + std::to_string(i) + ";\n";
  code += "//#line 1 d3d9.inc\n";  // d3d9.inc 1 is output line 25
  for (int i = 1; i <= 40; i++) code += "d" + std::to_string(i) + ";\n";
  code += "//#line 2 font.sh\n";  // font.sh 2 is output line 66
  for (int i = 2; i <= 20; i++) code += "f" + std::to_string(i) + ";\n";
  struct Case {
    const char* driver;
    const char* ours;
  } cases[] = {
      {"0:12(5): error: syntax error, unexpected ERROR_TOK", "font.sh(9): error: syntax error, unexpected ERROR_TOK"},
      {"0:54(7): error: `discard' may only appear in a fragment shader",
       "d3d9.inc(30): error: `discard' may only appear in a fragment shader"},
      {"0:70(1): error: after the include", "font.sh(6): error: after the include"},
      {"3:54: warning: any source number", "d3d9.inc(30): warning: any source number"},
      {"0(12) : error C0000: syntax error", "font.sh(9): error C0000: syntax error"},
      {"0:2(1): error: in the header", "font.sh: error: in the header"},
      {"error: fragment shader lacks `main'", "font.sh: error: fragment shader lacks `main'"},
      {"12: not a place", "font.sh: 12: not a place"},
  };
  for (const Case& c : cases)
    EXPECT_EQ(glsl_map_messages(code.c_str(), c.driver), std::string(c.ours) + "\n") << c.driver;
  EXPECT_EQ(glsl_map_messages(code.c_str(), "0:4(1): error: a\n\n0:5(1): error: b\n"),
            "font.sh(1): error: a\nfont.sh(2): error: b\n");
}

// The layer's variants of a pixel stage: its alpha-test definition follows the #version
// line (which must stay first), or starts a text without one.
TEST(ShaderCompiler, AlphaTestVariantsDefineItAfterTheVersion) {
  struct Case {
    const char* code;
    bool alpha_test;
    const char* variant;
  } cases[] = {
      {"#version 450 core\nvoid main() {}\n", true, "#version 450 core\n#define D3D9_ALPHA_TEST 1\nvoid main() {}\n"},
      {"#version 450 core\nvoid main() {}\n", false, "#version 450 core\n#define D3D9_ALPHA_TEST 0\nvoid main() {}\n"},
      {"#version 450 core", true, "#version 450 core\n#define D3D9_ALPHA_TEST 1\n"},
      {"void main() {}\n", false, "#define D3D9_ALPHA_TEST 0\nvoid main() {}\n"},
      {"", true, "#define D3D9_ALPHA_TEST 1\n"},
  };
  for (const Case& c : cases) EXPECT_EQ(glsl_alpha_test_variant(c.code, c.alpha_test), c.variant) << c.code;
}

// While a device lives the driver builds each stage at compile time: its errors come
// back from the compiler in the files and lines of the sources.
TEST_F(LayerTest, CompilerReportsDriverErrorsInTheirFiles) {
  MapInclude inc;
  inc.files["bad.inc"] = "// helpers\n\nfloat helper() { return undefined_name; }\n";
  const D3D_SHADER_MACRO psh[] = {{"PSH", " 1"}, {nullptr, nullptr}};
  const std::string src =
      "#ifdef VSH\nvsh_only();\n#endif\n#include \"bad.inc\"\nvoid main() {\n  int x = missing_too;\n}\n";
  Result r = compile(src, psh, &inc, "ps_3_0");
  EXPECT_EQ(r.hr, E_FAIL);
  EXPECT_TRUE(r.code.empty());
  EXPECT_EQ(r.errors.rfind("bad.inc(3): error: ", 0), 0u) << r.errors;
  EXPECT_NE(r.errors.find("undefined_name"), std::string::npos) << r.errors;
  EXPECT_NE(r.errors.find("\nt.sh(6): error: "), std::string::npos) << r.errors;
  EXPECT_NE(r.errors.find("missing_too"), std::string::npos) << r.errors;

  // Linking: the stage has no main.
  r = compile("float unused_value;\n", psh, nullptr, "ps_3_0");
  EXPECT_EQ(r.hr, E_FAIL);
  EXPECT_EQ(r.errors.rfind("t.sh: error: ", 0), 0u) << r.errors;
  EXPECT_NE(r.errors.find("main"), std::string::npos) << r.errors;

  // The stage follows the target: pixel-only code is refused as a vertex stage. (The
  // two texts differ: Mesa's shader cache can crash when one text that built as one
  // stage fails as another.)
  const std::string pixel = "out vec4 color;\nvoid main() {\n  color = gl_FragCoord;\n}\n";
  EXPECT_EQ(compile(pixel, psh, nullptr, "ps_3_0").hr, S_OK);
  const D3D_SHADER_MACRO vsh[] = {{"VSH", " 1"}, {nullptr, nullptr}};
  r = compile(pixel, vsh, nullptr, "vs_3_0");
  EXPECT_EQ(r.hr, E_FAIL);
  EXPECT_NE(r.errors.find("t.sh(3): error: `gl_FragCoord' undeclared"), std::string::npos) << r.errors;
}

// A pixel stage is built in both of the layer's variants at compile time: code that one
// of them cannot build is refused, with the error in its file and line.
TEST_F(LayerTest, CompilerBuildsBothAlphaTestVariantsOfAPixelStage) {
  const D3D_SHADER_MACRO psh[] = {{"PSH", " 1"}, {nullptr, nullptr}};
  for (const char* size : {"D3D9_ALPHA_TEST", "1 - D3D9_ALPHA_TEST"}) {
    std::string src = std::string("out vec4 color;\nvoid main() {\n  float a[") + size +
                      "];\n  a[0] = 1.0;\n  color = vec4(a[0]);\n}\n";
    Result r = compile(src, psh, nullptr, "ps_3_0");
    EXPECT_EQ(r.hr, E_FAIL) << size;
    EXPECT_EQ(r.errors.rfind("t.sh(3): error: ", 0), 0u) << size << "\n" << r.errors;
  }
  Result r = compile("out vec4 color;\nvoid main() {\n  float a[D3D9_ALPHA_TEST + 1];\n  color = vec4(1.0);\n}\n", psh,
                     nullptr, "ps_3_0");
  EXPECT_EQ(r.hr, S_OK) << r.errors;
}
