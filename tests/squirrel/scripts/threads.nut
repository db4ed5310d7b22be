// Threads (the manual's coroutine example)
function coroutine_test(a, b) {
  ::print(a + " " + b + "\n");
  local ret = ::suspend("suspend 1");
  ::print("the coroutine says " + ret + "\n");
  ret = ::suspend("suspend 2");
  ::print("the coroutine says " + ret + "\n");
  ret = ::suspend("suspend 3");
  ::print("the coroutine says " + ret + "\n");
  return "I'm done"
}
local coro = ::newthread(coroutine_test);
local susparam = coro.call("test", "coroutine");
local i = 1;
do {
  ::print("suspend passed (" + susparam + ")\n")
  susparam = coro.wakeup("ciao " + i);
  ++i;
} while (coro.getstatus() == "suspended")
::print("return passed (" + susparam + ")\n")
function state1() { ::suspend("state1"); return state2(); }
function state2() { ::suspend("state2"); return state3(); }
function state3() { ::suspend("state3"); return state1(); }
local statethread = ::newthread(state1)
::print(statethread.call() + "\n");
for (local i = 0; i < 5; i++) ::print(statethread.wakeup() + "\n");
local th = newthread(function() { try { suspend(1); } catch (e) { return "caught " + e; } });
th.call();
print(th.wakeupthrow("boom") + "\n");
print(th.getstatus() + "\n");
// threads that start threads without end: an error that a try catches
function nestThreads(n) { return newthread(nestThreads).call(n + 1); }
seterrorhandler(function(e) {});
try { nestThreads(0); print("no error\n"); } catch (e) { print("nested threads: " + e + "\n"); }
local sorter = newthread(function() { [3, 1, 2].sort(function(x, y) { suspend(0); return x <=> y; }); return "sorted"; });
try { print(sorter.call() + "\n"); } catch (e) print("sort in a thread: " + e + "\n");
