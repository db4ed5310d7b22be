// Table access: string keys and integer keys.
function run() {
  local t = {};
  for (local i = 0; i < 2000; i++) t[i] <- i;
  local p = { x = 1, y = 2, z = 3 };
  local s = 0;
  for (local r = 0; r < 20; r++) {
    for (local i = 0; i < 2000; i++) s += t[i];
    for (local i = 0; i < 2000; i++) { p.x = p.y + p.z; s += p.x; }
  }
  return s;
}
for (local i = 0; i < (vargv.len() ? vargv[0].tointeger() : 0); i++) run();
