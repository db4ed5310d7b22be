// Loops with arithmetic.
function run() {
  local s = 0;
  for (local i = 0; i < 200000; i++) s += (i * 3 + 7) % 11 - (i >> 2);
  return s;
}
for (local i = 0; i < (vargv.len() ? vargv[0].tointeger() : 0); i++) run();
