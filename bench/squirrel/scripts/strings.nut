// String building.
function run() {
  local total = 0;
  for (local r = 0; r < 100; r++) {
    local s = "";
    for (local i = 0; i < 100; i++) s += "item" + i + ",";
    total += s.len();
  }
  return total;
}
for (local i = 0; i < (vargv.len() ? vargv[0].tointeger() : 0); i++) run();
