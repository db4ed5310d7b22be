// Steam glue: the API runs when a client is there; otherwise every call does nothing.
#include "engine/shell/steam_glue.h"

#include "engine/core/log.h"
#include "libs/profiler/profiler.h"

bool steam_initialized = false;
DynArray<SteamCallback*> steam_callbacks;

namespace {

// The Steam Input interface, found once through a context of the API.
struct SteamInputContext {
  CSteamAPIContextInitData init{fill, 0, nullptr};

  static void fill(void* ctx) {
    *(ISteamInput**)ctx = (ISteamInput*)SteamInternal_FindOrCreateUserInterface(SteamAPI_GetHSteamUser(),
                                                                               STEAMINPUT_INTERFACE_VERSION);
  }
  ISteamInput* get() { return *(ISteamInput**)SteamInternal_ContextInit(&init); }
};

SteamInputContext steam_input_context;

ISteamInput* steam_input() { return steam_input_context.get(); }

void delete_callback_at(int index) {
  SteamCallback* cb = steam_callbacks[index];
  steam_callbacks.remove(index, 1);
  delete cb;
}

}  // namespace

SteamCallback::SteamCallback(SteamCallbackFunc func, int callback_id, int size_bytes)
    : function(func), callbackId(callback_id), size(size_bytes) {
  SteamAPI_RegisterCallback(this, callback_id);
}

SteamCallback::~SteamCallback() { SteamAPI_UnregisterCallback(this); }

void SteamCallback::Run(void* param, bool, SteamAPICall_t) { function(param); }
void SteamCallback::Run(void* param) { function(param); }
int SteamCallback::GetCallbackSizeBytes() { return size; }

bool init_steam() {
  if (!SteamAPI_Init()) {
    debug("Error initializing Steam API");
    steam_initialized = false;
    return false;
  }
  debug("Steam API init OK");
  steam_initialized = true;
  ISteamInput* input = steam_input();
  if (input && input->Init())
    debug("Steam input init OK");
  return true;
}

void run_steam_callbacks() {
  if (!steam_initialized)
    return;
  PROFILE_BLOCK("run_steam_callbacks", 0xFFFFECB3);
  SteamAPI_RunCallbacks();
}

void _register_steam_callback(SteamCallbackFunc func, int callback_id, int size) {
  if (!steam_initialized)
    return;
  SteamCallback* cb = new SteamCallback(func, callback_id, size);
  steam_callbacks.push() = cb;
}

void remove_steam_callback(SteamCallbackFunc func) {
  for (int i = steam_callbacks.size() - 1; i >= 0; i--)
    if (steam_callbacks[i]->function == func)
      delete_callback_at(i);
}

bool is_steam_initialized() { return steam_initialized; }

void close_steam() {
  if (!steam_initialized)
    return;
  for (int i = steam_callbacks.size() - 1; i >= 0; i--)
    delete_callback_at(i);
  steam_callbacks.clearAndFree();
  if (ISteamInput* input = steam_input())
    input->Shutdown();
  SteamAPI_Shutdown();
  steam_initialized = false;
}
