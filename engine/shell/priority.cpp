// Process priority and raw mouse registration.
#include "engine/core/log.h"
#include "engine/shell/shell.h"

int process_priority_level = 0;

namespace {

// The platform records priorities without changing the scheduling; the log tells
// what the game asked for.
void set_priority(DWORD priority_class, int thread_priority) {
  if (GetPriorityClass(GetCurrentProcess()) == priority_class && GetThreadPriority(GetCurrentThread()) == thread_priority)
    return;
  SetPriorityClass(GetCurrentProcess(), priority_class);
  SetThreadPriority(GetCurrentThread(), thread_priority);
  debug("process priority class %08X, thread priority %d", priority_class, thread_priority);
}

}  // namespace

void set_process_priority(int level) {
  process_priority_level = level;
  apply_process_priority();
}

int get_process_priority() { return process_priority_level; }

void apply_process_priority() {
  if (process_priority_level == 1)
    set_priority(ABOVE_NORMAL_PRIORITY_CLASS, THREAD_PRIORITY_ABOVE_NORMAL);
  else if (process_priority_level >= 2)
    set_priority(HIGH_PRIORITY_CLASS, THREAD_PRIORITY_HIGHEST);
  else
    set_priority(NORMAL_PRIORITY_CLASS, THREAD_PRIORITY_NORMAL);
}

void apply_idle_priority() { set_priority(IDLE_PRIORITY_CLASS, THREAD_PRIORITY_NORMAL); }

bool register_raw_input() {
  RAWINPUTDEVICE device{};
  device.usUsagePage = 1;
  device.usUsage = 2;
  device.dwFlags = 0;
  device.hwndTarget = nullptr;
  return RegisterRawInputDevices(&device, 1, sizeof(device)) != FALSE;
}
