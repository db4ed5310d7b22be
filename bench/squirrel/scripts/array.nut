// Array access.
function run() {
  local a = [];
  for (local i = 0; i < 5000; i++) a.append(i);
  local s = 0;
  for (local r = 0; r < 10; r++)
    for (local i = 0; i < 5000; i++) { a[i] = a[i] + 1; s += a[i]; }
  return s;
}
for (local i = 0; i < (vargv.len() ? vargv[0].tointeger() : 0); i++) run();
