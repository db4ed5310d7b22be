// Data types and typeof
local values = [null, 1, 1.0, true, "s", {}, [], function() {}, print, class {}, regexp("a"),
  (function() { yield 1; })(), newthread(function() {})];
foreach (v in values) print(typeof v + "\n");
// a weak reference shows as one only outside containers
local weak = {}.weakref();
print(typeof weak + "\n");
local C = class {};
print(typeof C() + "\n");
print(type(1) + " " + type(print) + "\n");
// integer and float arithmetic
print((7 / 2) + " " + (7.0 / 2) + " " + (7 % 3) + " " + (-7 % 3) + " " + (2 * 3.5) + "\n");
print((1 == 1.0) + " " + (0 == false) + " " + (null == false) + "\n");
print((1.0).tointeger() + " " + (3.9).tointeger() + " " + (5).tofloat() + " " + (65).tochar() + "\n");
print("42".tointeger() + 1 + " " + "ff".tointeger(16) + " " + "2.5".tofloat() + "\n");
print(true.tointeger() + " " + false.tofloat() + "\n");
print(0x7FFFFFFFFFFFFFFF + 1 == -0x7FFFFFFFFFFFFFFF - 1);
print("\n");
// truthiness
foreach (v in [0, 0.0, null, false, "", [], 1]) print((v ? "T" : "F"));
print("\n");
