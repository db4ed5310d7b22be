// Steam without a client: initialisation fails, the callback registry is kept.
#include "platform/steam/steam_api.h"

#include <algorithm>
#include <vector>

namespace {

std::vector<CCallbackBase*> registered;
}  // namespace

bool SteamAPI_Init() {
  // There is no Steam client to connect to on this platform.
  return false;
}

void SteamAPI_Shutdown() {
  registered.clear();
}

void SteamAPI_RunCallbacks() {
  // Without a client no callback data ever arrives.
}

void SteamAPI_RegisterCallback(CCallbackBase* callback, int callback_id) {
  if (!callback)
    return;
  callback->m_iCallback = callback_id;
  if (!(callback->m_nCallbackFlags & CCallbackBase::k_ECallbackFlagsRegistered)) {
    callback->m_nCallbackFlags |= CCallbackBase::k_ECallbackFlagsRegistered;
    registered.push_back(callback);
  }
}

void SteamAPI_UnregisterCallback(CCallbackBase* callback) {
  if (!callback || !(callback->m_nCallbackFlags & CCallbackBase::k_ECallbackFlagsRegistered))
    return;
  callback->m_nCallbackFlags &= (uint8_t)~CCallbackBase::k_ECallbackFlagsRegistered;
  registered.erase(std::remove(registered.begin(), registered.end(), callback), registered.end());
}

HSteamUser SteamAPI_GetHSteamUser() { return 0; }

void* SteamInternal_ContextInit(void* context_init_data) {
  auto* data = (CSteamAPIContextInitData*)context_init_data;
  if (!data)
    return nullptr;
  // The context is filled once (the counter marks it filled); without a client the
  // interfaces it holds are null.
  if (data->counter == 0) {
    data->counter = 1;
    if (data->pFn)
      data->pFn(&data->ptr);
  }
  return &data->ptr;
}

void* SteamInternal_FindOrCreateUserInterface(HSteamUser, const char*) {
  // No client, no interfaces.
  return nullptr;
}

int steam_layer_registered_count() { return (int)registered.size(); }
