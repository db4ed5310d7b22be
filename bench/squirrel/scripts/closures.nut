// Closures: creation and calls through free variables.
function makeAdder(n) { return function(x) { return x + n; }; }
function run() {
  local s = 0;
  for (local i = 0; i < 20000; i++) {
    local f = makeAdder(i);
    s = f(s) % 1000003;
  }
  local count = 0;
  local inc = function() { count++; };
  for (local i = 0; i < 20000; i++) inc();
  return s + count;
}
for (local i = 0; i < (vargv.len() ? vargv[0].tointeger() : 0); i++) run();
