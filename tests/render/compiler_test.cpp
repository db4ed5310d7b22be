// The built-in shader compiler: one stage of a source, macros, includes through the
// handler, conditionals, errors and the instruction-count listing.
#include "platform/d3d9/d3dcompiler.h"

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

Result compile(const std::string& src, const D3D_SHADER_MACRO* macros, ID3DInclude* inc = nullptr) {
  ID3DBlob *code = nullptr, *errors = nullptr;
  Result r;
  r.hr = D3DCompile(src.data(), src.size(), "t.sh", macros, inc, "vsh", "vs_2_0", 0, 0, &code, &errors);
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
