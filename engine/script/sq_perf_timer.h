#pragma once
// The script class "PerfTimer": a reading of the engine's reference clock taken at
// construction. Subtracting two timers gives the seconds between them; timers
// compare by their readings.
#include <cstdint>

#include "engine/script/sqbind.h"

struct SqPerfTimer {
  int64_t time;

  float sub(SqPerfTimer* other);
  int cmp(SqPerfTimer* other);
};

void register_perf_timer_bindings(HSQUIRRELVM vm);
