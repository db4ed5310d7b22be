// Crash report for hardware faults. A fault (SIGSEGV, SIGBUS, SIGILL, SIGFPE)
// runs the handler on an alternate stack, so a stack overflow is reported too.
// The handler logs the signal's name and address, the registers and the call
// stack through the program's hooks; on the main thread it then ends through the
// program's shut-down, which shows the error, closes everything and exits 100.
// A fault while that runs exits with 100 at once. A watchdog guards the report and
// the shut-down: the fault may have left a lock held that either needs, and a
// crashed game must end rather than hang.
#include <signal.h>
#include <sys/mman.h>
#include <sys/syscall.h>
#include <ucontext.h>
#include <unistd.h>

#include <atomic>
#include <climits>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform/debug/crash.h"
#include "platform/debug/modules.h"
#include "platform/debug/stack.h"
#include "platform/debug/symtab.h"
#include "platform/debug/watchdog.h"

namespace {

const int fault_signals[] = {SIGSEGV, SIGBUS, SIGILL, SIGFPE};
const size_t alt_stack_size = 1 << 20;  // room for the report and the shut-down
const unsigned watchdog_sec = 10;

pid_t main_thread_tid = 0;
std::atomic<int> crash_depth{0};
CrashReportHooks program = {};

pid_t current_tid() {
  return (pid_t)syscall(SYS_gettid);
}

void write_stderr(const char* text) {
  ssize_t unused = write(STDERR_FILENO, text, strlen(text));
  (void)unused;
}

// One line of the report, through the program's log.
void report(const char* fmt, ...) __attribute__((format(printf, 1, 2)));
void report(const char* fmt, ...) {
  char line[1024];
  va_list args;
  va_start(args, fmt);
  vsnprintf(line, sizeof(line), fmt, args);
  va_end(args);
  program.write_line(line);
}

const char* signal_name(int sig) {
  switch (sig) {
    case SIGSEGV: return "SIGSEGV";
    case SIGBUS: return "SIGBUS";
    case SIGILL: return "SIGILL";
    case SIGFPE: return "SIGFPE";
  }
  return "signal";
}

// The fault's name as the report gives it, from the signal and its code.
const char* fault_name(int sig, int code, bool stack_overflow) {
  switch (sig) {
    case SIGSEGV:
      return stack_overflow ? "stack overflow" : "access violation";
    case SIGBUS:
      if (code == BUS_ADRALN)
        return "misaligned data access";
      if (code == BUS_ADRERR || code == BUS_OBJERR)
        return "page is inaccessible";
      break;
    case SIGILL:
      if (code == ILL_PRVOPC || code == ILL_PRVREG)
        return "priv instruction";
      return "illegal opcode";
    case SIGFPE:
      switch (code) {
        case FPE_INTDIV: return "integer /0";
        case FPE_INTOVF: return "integer overflow";
        case FPE_FLTDIV: return "floating point /0";
        case FPE_FLTOVF: return "floating point overflow";
        case FPE_FLTUND: return "floating point underflow";
        case FPE_FLTINV: return "floating point error";
        case FPE_FLTSUB: return "out of bounds access";
      }
      break;
  }
  return "*unknown type*";
}

// The faulting thread's stack: the unwinder passes through the signal frame, so
// the frames above the fault (this handler) are dropped and the list starts at
// the faulting instruction.
int capture_fault_stack(void** addresses, uintptr_t fault_ip) {
  void* frames[max_stack_frames + 16];
  int total = capture_stack(frames, max_stack_frames + 16, 0);
  int start = -1;
  for (int i = 0; i < total && start < 0; i++) {
    if ((uintptr_t)frames[i] == fault_ip)
      start = i;
  }
  int n = 0;
  if (start < 0)
    addresses[n++] = (void*)fault_ip;  // the unwinder did not get through: the fault alone
  else
    for (int i = start; i < total && n < max_stack_frames; i++)
      addresses[n++] = frames[i];
  return n;
}

void write_crash_report(int sig, siginfo_t* info, ucontext_t* uc) {
  const greg_t* r = uc->uc_mcontext.gregs;
  uintptr_t ip = (uintptr_t)r[REG_RIP];
  uintptr_t sp = (uintptr_t)r[REG_RSP];
  uintptr_t address = (uintptr_t)info->si_addr;
  // A fault just below or at the stack pointer hit the stack's guard page.
  bool stack_overflow =
      sig == SIGSEGV && address && address < sp + 4096 && (address >= sp || sp - address < 65536);

  report("exception %s", signal_name(sig));
  report("Exception %s at %016llX", signal_name(sig), (unsigned long long)ip);
  program.flush();
  report("  %s", fault_name(sig, info->si_code, stack_overflow));
  if (sig == SIGSEGV && !stack_overflow) {
    // Bit 1 of the page fault's error code is set for a write.
    bool write = (r[REG_ERR] & 2) != 0;
    report("  attempt to %s memory at %016llX", write ? "write to" : "read", (unsigned long long)address);
  }
  unsigned long long segs = (unsigned long long)r[REG_CSGSFS];
  auto reg = [&](int i) { return (unsigned long long)r[i]; };
  report("  CS:%4X RIP:%016llX SS:%4X RSP:%016llX flags:%08llX", (unsigned)(segs & 0xffff), reg(REG_RIP),
         (unsigned)((segs >> 48) & 0xffff), reg(REG_RSP), reg(REG_EFL));
  report("  RAX:%016llX RBX:%016llX RCX:%016llX RDX:%016llX RSI:%016llX RDI:%016llX", reg(REG_RAX), reg(REG_RBX),
         reg(REG_RCX), reg(REG_RDX), reg(REG_RSI), reg(REG_RDI));
  report("  RBP:%016llX R8:%016llX R9:%016llX R10:%016llX R11:%016llX R12:%016llX R13:%016llX R14:%016llX "
         "R15:%016llX FS:%4X GS:%4X",
         reg(REG_RBP), reg(REG_R8), reg(REG_R9), reg(REG_R10), reg(REG_R11), reg(REG_R12), reg(REG_R13), reg(REG_R14),
         reg(REG_R15), (unsigned)((segs >> 32) & 0xffff), (unsigned)((segs >> 16) & 0xffff));
  void* frames[max_stack_frames];
  int n = capture_fault_stack(frames, ip);
  program.write_line(format_stack(frames, n));
  program.flush();
}

void crash_handler(int sig, siginfo_t* info, void* context) {
  if (crash_depth.fetch_add(1) > 0) {
    // A fault while the first one is reported or shut down: stop at once.
    write_stderr("\n\nsecond fault while handling a crash\n");
    _exit(100);
  }
  program.fault_caught();

  // The report runs where the fault struck, perhaps inside the heap or a lock it
  // needs: a watchdog ends a report that hangs.
  arm_watchdog(watchdog_sec, "crash report");
  write_crash_report(sig, info, (ucontext_t*)context);
  disarm_watchdog();

  if (current_tid() != main_thread_tid) {
    // Another thread's state is unknown to the shut-down, which belongs to the
    // main thread: report and leave.
    write_stderr("\n\nOops! The game crashed. See log file for more info.\n");
    _exit(100);
  }
  // The shut-down runs in this handler, too: it gets a watchdog of its own once the
  // error box is closed.
  program.shut_down("Oops! The game crashed. See log file for more info.", watchdog_sec);
  _exit(100);
}

void install_alt_stack() {
  void* stack = mmap(nullptr, alt_stack_size, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (stack == MAP_FAILED)
    return;
  stack_t ss = {};
  ss.ss_sp = stack;
  ss.ss_size = alt_stack_size;
  sigaltstack(&ss, nullptr);
}

}  // namespace

void install_crash_handler(const CrashReportHooks& hooks) {
  program = hooks;
  main_thread_tid = current_tid();

  // The unwinder loads on its first use: do that now, not inside a fault.
  void* warm_up[4];
  capture_stack(warm_up, 4, 0);
  load_program_symbols();

  start_watchdog();
  install_alt_stack();
  struct sigaction sa = {};
  sa.sa_sigaction = crash_handler;
  sigemptyset(&sa.sa_mask);
  // SA_NODEFER: a second fault inside the handler reaches it again (and exits
  // with 100) instead of killing the process with the signal.
  sa.sa_flags = SA_SIGINFO | SA_ONSTACK | SA_NODEFER;
  for (int sig : fault_signals)
    sigaction(sig, &sa, nullptr);
}

bool register_module_symbols(const char* module_name, uintptr_t* base, uint32_t* size) {
  // Finds the mapped module and reads its full symbol table, so that call
  // stacks name its internal functions too (its exported ones are always known).
  ModuleInfo m = {};
  if (!module_name || !find_module(module_name, &m))
    return false;
  if (*base == 0) {
    *base = m.base;
    *size = m.size;
  }
  load_module_symbols(m.path, m.bias, m.base, m.size);
  return true;
}

bool unregister_module_symbols(const char* module_name, uintptr_t* base) {
  ModuleInfo m = {};
  bool found = module_name && find_module(module_name, &m);
  if (*base == 0 && found)
    *base = m.base;
  if (*base)
    unload_module_symbols(*base);
  return found;
}
