// The shader preprocessor: the input holds NUL-separated texts, the first one the
// source and the others the files its #include lines get (a name picks a text by its
// bytes). Any input compiles or fails with messages, without harm; the code it gives
// is one NUL-terminated text.
#include "platform/d3d9/d3dcompiler.h"
#include "tools/fuzz/fuzz_support.h"

#include <cstring>
#include <string>
#include <vector>

namespace {

class SectionInclude : public ID3DInclude {
public:
  std::vector<std::string> files;
  HRESULT Open(D3D_INCLUDE_TYPE, LPCSTR name, LPCVOID, LPCVOID* data, UINT* bytes) override {
    unsigned sum = 0;
    for (const char* p = name; *p; p++)
      sum += (unsigned char)*p;
    if (files.empty() || sum % 7 == 0)
      return E_FAIL;  // some names are missing
    const std::string& f = files[sum % files.size()];
    // A copy of exactly the file's size, so a read past its end is caught.
    char* copy = new char[f.size() ? f.size() : 1];
    memcpy(copy, f.data(), f.size());
    *data = copy;
    *bytes = (UINT)f.size();
    return S_OK;
  }
  HRESULT Close(LPCVOID data) override {
    delete[] (const char*)data;
    return S_OK;
  }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const uint8_t* nul = (const uint8_t*)memchr(data, 0, size);
  size_t source_size = nul ? size_t(nul - data) : size;
  SectionInclude include;
  for (const uint8_t* p = nul; p && p < data + size;) {
    const uint8_t* start = p + 1;
    const uint8_t* next = (const uint8_t*)memchr(start, 0, size_t(data + size - start));
    const uint8_t* end = next ? next : data + size;
    include.files.emplace_back((const char*)start, size_t(end - start));
    p = next;
  }
  std::vector<char> source(data, data + source_size);
  const D3D_SHADER_MACRO macros[] = {{"PSH", "1"}, {"VALUE", "(2+3)"}, {nullptr, nullptr}};
  ID3DBlob* code = nullptr;
  ID3DBlob* errors = nullptr;
  HRESULT hr = D3DCompile(source.data(), source.size(), "fuzz.sh", macros, &include, "main", "ps_3_0", 0, 0,
                          &code, &errors);
  if (SUCCEEDED(hr)) {
    FUZZ_CHECK(code && code->GetBufferSize() > 0);
    const char* text = (const char*)code->GetBufferPointer();
    FUZZ_CHECK(text[code->GetBufferSize() - 1] == 0);
    FUZZ_CHECK(strncmp(text, "#version 450 core\n", 18) == 0);
  } else {
    FUZZ_CHECK(!code);
    FUZZ_CHECK(errors && errors->GetBufferSize() > 1);
  }
  if (code)
    code->Release();
  if (errors)
    errors->Release();
  return 0;
}
