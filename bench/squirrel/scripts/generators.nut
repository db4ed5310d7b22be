// Generators.
function range(n) { for (local i = 0; i < n; i++) yield i; }
function run() {
  local s = 0;
  foreach (v in range(20000)) s += v;
  return s;
}
for (local i = 0; i < (vargv.len() ? vargv[0].tointeger() : 0); i++) run();
