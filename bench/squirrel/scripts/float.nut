// Float and mixed integer/float arithmetic.
function run() {
  local f = 0.0, g = 1.5;
  for (local i = 0; i < 200000; i++) {
    f += i * 0.5;
    g = g * 0.75 + f / 1024.0 - i;
  }
  return f + g;
}
for (local i = 0; i < (vargv.len() ? vargv[0].tointeger() : 0); i++) run();
