// A function's body is any statement, not only a block
function twice(x) return x * 2;
print(twice(21) + "\n");
local pick = function(a) if (a) return "yes"; else return "no";
print(pick(true) + " " + pick(false) + "\n");
local counted = function(n) for (local i = 0; i < n; i++) ::total <- (i + ("total" in getroottable() ? ::total : 0));
counted(5);
print(::total + "\n");
local noop = function() ;
print(noop() + "\n");
local chained = function(x) return x + 1; print(chained(1) + "\n");
class Vec {
  x = 0;
  y = 0;
  constructor(a, b) x = a, y = b;
  function len2() return x * x + y * y;
  static function zero() return Vec(0, 0);
  function _add(o) return Vec(x + o.x, y + o.y);
  function _tostring() return "(" + x + ", " + y + ")";
}
local v = Vec(1, 2) + Vec(3, 4);
print(v + " " + v.len2() + " " + Vec.zero() + "\n");
class Counter {
  n = 0;
  constructor() n = 3;
  function bump() n++;
  function get() return n;
}
local c = Counter();
c.bump();
print(c.get() + "\n");
local t = { function greet(who) return "hello " + who; };
print(t.greet("table") + "\n");
function gen() foreach (i in [1, 2, 3]) yield i * 10;
foreach (x in gen()) print(x + " ");
print("\n");
print(compilestring("function f(a) return a * 3; return f(5);")() + "\n");
// a return or yield body ends with its expression: no ';' or new line is needed after it
local five = (function(x) return x + 1)(4);
print(five + "\n");
print([1, 2].map(function(x) return x * 2)[1] + "\n");
foreach (x in (function() foreach (v in [1, 2, 3]) yield v * 10)()) print(x + " ");
print("\n");
// in a list of statements the next one must still start apart from a return
foreach (src in ["function f() { return 1 2 }", "return 3 print(4)", "local g = function() return 1 2;",
                 "return (function(x) return x * 3)(2)", "function h() { return 1 }"]) {
  try { compilestring(src); print(src + " -> compiles\n"); } catch (e) print(src + " -> " + e + "\n");
}
