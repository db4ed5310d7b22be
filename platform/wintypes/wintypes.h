#pragma once
// The handful of Windows base types that the window layer (platform/win32) and the
// Direct3D 9 layer (platform/d3d9) are both declared with. It sits below both, so
// that each may use them without including the other; identical typedefs may
// repeat, and the structures are guarded so that only one definition is seen.
#include <cstdint>
#include <cstddef>

typedef uint32_t DWORD;
typedef uint32_t UINT;
typedef int32_t BOOL;
typedef int32_t INT;
typedef int32_t LONG;
typedef uint32_t ULONG;
typedef int32_t HRESULT;
typedef uint8_t BYTE;
typedef uint16_t WORD;
typedef float FLOAT;
typedef void* HANDLE;
typedef const char* LPCSTR;
typedef void* LPVOID;
typedef const void* LPCVOID;

struct HWND__;
typedef HWND__* HWND;
struct HMONITOR__;
typedef HMONITOR__* HMONITOR;

#ifndef TORVANE_WIN_RECT_POINT
#define TORVANE_WIN_RECT_POINT
struct RECT {
  LONG left, top, right, bottom;
};
struct POINT {
  LONG x, y;
};
#endif

#ifndef TRUE
#define TRUE 1
#define FALSE 0
#endif

#ifndef S_OK
#define S_OK ((HRESULT)0)
#define S_FALSE ((HRESULT)1)
#define E_OUTOFMEMORY ((HRESULT)0x8007000E)
#define E_FAIL ((HRESULT)0x80004005)
#define E_INVALIDARG ((HRESULT)0x80070057)
#define SUCCEEDED(hr) (((HRESULT)(hr)) >= 0)
#define FAILED(hr) (((HRESULT)(hr)) < 0)
#endif
