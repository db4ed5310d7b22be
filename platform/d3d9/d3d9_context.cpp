// GL contexts for the device: an SDL2 window's context, or EGL on Mesa's surfaceless
// platform when running headless. Either way the device draws into offscreen images;
// presenting copies the back buffer into the window, if there is one.
#include "platform/d3d9/d3d9_impl.h"
#include "platform/win32/sdl_glue.h"

#include <SDL2/SDL.h>
#include <epoxy/egl.h>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>

struct GlContext {
  HWND hwnd = nullptr;  // the window the device was made for, shown or headless
  SDL_Window* window = nullptr;
  SDL_GLContext sdl_ctx = nullptr;
  EGLDisplay display = EGL_NO_DISPLAY;
  EGLContext egl_ctx = EGL_NO_CONTEXT;
  GLuint present_fbo = 0;
  int interval = -1;
};

static std::map<HWND, SDL_Window*> registered_windows;

// The window layer (platform/win32, below this one) knows the SDL window behind each of
// its window handles and the client origin; a handle it does not know counts only
// when it was registered here.

static SDL_Window* find_window(HWND window) {
  auto it = registered_windows.find(window);
  if (it != registered_windows.end()) return it->second;
  return window ? win32_sdl_window(window) : nullptr;
}

void d3d9_register_window(HWND window, SDL_Window* sdl_window) { registered_windows[window] = sdl_window; }
void d3d9_unregister_window(HWND window) { registered_windows.erase(window); }

bool d3d9_is_headless() {
  const char* headless = getenv("TORVANE_HEADLESS");
  if (headless && strcmp(headless, "1") == 0) return true;
  const char* x = getenv("DISPLAY");
  const char* w = getenv("WAYLAND_DISPLAY");
  return !((x && *x) || (w && *w));
}

static bool origin_forced = false;
static POINT forced_origin;

void d3d9_set_client_origin(const POINT* origin) {
  origin_forced = origin != nullptr;
  if (origin) forced_origin = *origin;
}

POINT d3d9_client_origin(HWND window) {
  if (origin_forced) return forced_origin;
  POINT p = {0, 0};
  if (d3d9_is_headless()) return p;
  if (window && !registered_windows.count(window)) {
    ClientToScreen(window, &p);
    return p;
  }
  if (SDL_Window* w = find_window(window)) {
    int x = 0, y = 0;
    SDL_GetWindowPosition(w, &x, &y);
    p.x = x;
    p.y = y;
  }
  return p;
}

bool d3d9_window_occluded(HWND window) {
  if (!window) return false;
  if (IsWindow(window))
    return IsIconic(window) || !IsWindowVisible(window);
  auto it = registered_windows.find(window);
  if (it != registered_windows.end() && it->second)
    return SDL_GetWindowFlags(it->second) & (SDL_WINDOW_MINIMIZED | SDL_WINDOW_HIDDEN);
  return false;
}

static bool create_surfaceless(GlContext* c) {
  auto get_platform_display = (PFNEGLGETPLATFORMDISPLAYEXTPROC)eglGetProcAddress("eglGetPlatformDisplayEXT");
  if (!get_platform_display) {
    fprintf(stderr, "d3d9: eglGetPlatformDisplayEXT is missing\n");
    return false;
  }
  c->display = get_platform_display(EGL_PLATFORM_SURFACELESS_MESA, EGL_DEFAULT_DISPLAY, nullptr);
  EGLint major = 0, minor = 0;
  if (c->display == EGL_NO_DISPLAY || !eglInitialize(c->display, &major, &minor)) {
    fprintf(stderr, "d3d9: cannot initialise the surfaceless EGL display (0x%x)\n", eglGetError());
    return false;
  }
  eglBindAPI(EGL_OPENGL_API);
  const EGLint attribs[] = {EGL_CONTEXT_MAJOR_VERSION, 4, EGL_CONTEXT_MINOR_VERSION, 5,
                            EGL_CONTEXT_OPENGL_PROFILE_MASK, EGL_CONTEXT_OPENGL_CORE_PROFILE_BIT, EGL_NONE};
  c->egl_ctx = eglCreateContext(c->display, EGL_NO_CONFIG_KHR, EGL_NO_CONTEXT, attribs);
  if (c->egl_ctx == EGL_NO_CONTEXT) {
    fprintf(stderr, "d3d9: cannot create a GL 4.5 core context (0x%x)\n", eglGetError());
    return false;
  }
  if (!eglMakeCurrent(c->display, EGL_NO_SURFACE, EGL_NO_SURFACE, c->egl_ctx)) {
    fprintf(stderr, "d3d9: eglMakeCurrent failed (0x%x)\n", eglGetError());
    return false;
  }
  return true;
}

static bool create_on_window(GlContext* c, SDL_Window* window) {
  SDL_GL_SetAttribute(SDL_GL_CONTEXT_MAJOR_VERSION, 4);
  SDL_GL_SetAttribute(SDL_GL_CONTEXT_MINOR_VERSION, 5);
  SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_CORE);
  SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);
  c->window = window;
  c->sdl_ctx = SDL_GL_CreateContext(window);
  if (!c->sdl_ctx) {
    fprintf(stderr, "d3d9: cannot create a GL 4.5 core context on the window: %s\n", SDL_GetError());
    return false;
  }
  SDL_GL_MakeCurrent(window, c->sdl_ctx);
  return true;
}

GlContext* gl_context_create(HWND window) {
  GlContext* c = new GlContext;
  c->hwnd = window;
  SDL_Window* sdl_window = d3d9_is_headless() ? nullptr : find_window(window);
  bool ok = sdl_window ? create_on_window(c, sdl_window) : create_surfaceless(c);
  if (!ok) {
    gl_context_destroy(c);
    return nullptr;
  }
  glCreateFramebuffers(1, &c->present_fbo);
  return c;
}

void gl_context_destroy(GlContext* c) {
  if (!c) return;
  if (c->present_fbo) glDeleteFramebuffers(1, &c->present_fbo);
  if (c->sdl_ctx) SDL_GL_DeleteContext(c->sdl_ctx);
  if (c->egl_ctx != EGL_NO_CONTEXT) {
    eglMakeCurrent(c->display, EGL_NO_SURFACE, EGL_NO_SURFACE, EGL_NO_CONTEXT);
    eglDestroyContext(c->display, c->egl_ctx);
  }
  // The EGL display stays initialised: terminating it would pull the rug from
  // under another device created later in the same process.
  delete c;
}

void gl_context_make_current(GlContext* c) {
  if (c->sdl_ctx) SDL_GL_MakeCurrent(c->window, c->sdl_ctx);
  else eglMakeCurrent(c->display, EGL_NO_SURFACE, EGL_NO_SURFACE, c->egl_ctx);
}

bool gl_context_has_window(GlContext* c) { return c && c->window; }

void gl_context_drawable_size(GlContext* c, int* w, int* h) {
  *w = *h = 0;
  if (c->window) {
    SDL_GL_GetDrawableSize(c->window, w, h);
    return;
  }
  // Headless, the window layer's window still has the client size the game asked for.
  RECT client;
  if (c->hwnd && GetClientRect(c->hwnd, &client)) {
    *w = client.right - client.left;
    *h = client.bottom - client.top;
  }
}

void gl_context_swap(GlContext* c, GLuint back_texture, int w, int h, int interval) {
  if (!c->window) {
    glFlush();
    return;
  }
  if (interval != c->interval) {
    SDL_GL_SetSwapInterval(interval);
    c->interval = interval;
  }
  int dw = 0, dh = 0;
  SDL_GL_GetDrawableSize(c->window, &dw, &dh);
  glNamedFramebufferTexture(c->present_fbo, GL_COLOR_ATTACHMENT0, back_texture, 0);
  glDisable(GL_SCISSOR_TEST);
  // Row 0 of the back buffer is the top of the picture; the window's row 0 is its bottom.
  glBlitNamedFramebuffer(c->present_fbo, 0, 0, 0, w, h, 0, dh, dw, 0, GL_COLOR_BUFFER_BIT, GL_NEAREST);
  SDL_GL_SwapWindow(c->window);
}
