// The script performance timer.
#include "engine/script/sq_perf_timer.h"

#include "engine/core/mem.h"
#include "engine/core/utils.h"

static void perf_timer_ctor(HSQUIRRELVM vm) {
  SqPerfTimer* p = (SqPerfTimer*)dlmalloc(sizeof(SqPerfTimer));
  ASSERT(p);
  p->time = get_ref_time();
  sqbind::init_instance_of(p, vm);
}

// A null operand has no reading to compare with: it is refused like a wrong type.
static SqPerfTimer* checked(SqPerfTimer* other) {
  if (!other)
    throw sqbind::SquirrelError(sqbind::get_inst_error_text);
  return other;
}

float SqPerfTimer::sub(SqPerfTimer* other) { return get_time_sec(time - checked(other)->time); }

int SqPerfTimer::cmp(SqPerfTimer* other) {
  int64_t t = checked(other)->time;
  return time == t ? 0 : (time > t ? 1 : -1);
}

void register_perf_timer_bindings(HSQUIRRELVM vm) {
  sqbind::ClassDef<SqPerfTimer>(vm, "PerfTimer")
      .def(perf_timer_ctor)
      .def(&SqPerfTimer::sub, "_sub")
      .def(&SqPerfTimer::cmp, "_cmp");
}
