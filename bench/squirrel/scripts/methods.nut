// Method calls on class instances.
class Counter {
  value = 0;
  step = 1;
  constructor(s) { step = s; }
  function add() { value += step; return this; }
  function get() { return value; }
}
function run() {
  local c = Counter(2);
  local s = 0;
  for (local i = 0; i < 50000; i++) { c.add(); s += c.get(); }
  return s;
}
for (local i = 0; i < (vargv.len() ? vargv[0].tointeger() : 0); i++) run();
