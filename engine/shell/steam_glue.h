#pragma once
// Steam: start-up, per-pump callbacks, callbacks registered by id for the game-object
// module, shut-down. Without Steam every entry point does nothing.
#include "engine/core/dynarray.h"
#include "platform/steam/steam_api.h"

using SteamCallbackFunc = void (*)(void* data);

class SteamCallback : public CCallbackBase {
 public:
  SteamCallback(SteamCallbackFunc func, int callback_id, int size);
  ~SteamCallback() override;
  void Run(void* param, bool io_failure, SteamAPICall_t api_call) override;
  void Run(void* param) override;
  int GetCallbackSizeBytes() override;

  SteamCallbackFunc function;
  int callbackId;
  int size;
};

extern bool steam_initialized;
extern DynArray<SteamCallback*> steam_callbacks;

bool init_steam();
void run_steam_callbacks();
void _register_steam_callback(SteamCallbackFunc func, int callback_id, int size);
void remove_steam_callback(SteamCallbackFunc func);
bool is_steam_initialized();
void close_steam();
