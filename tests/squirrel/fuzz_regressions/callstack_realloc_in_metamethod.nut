// metamethods
V <- class {
  x = 0; y = 0;
  constructor(a, b) { x = a; y = b; }
  function _add(o) { return V(x + o.x, y + o.y); }
  function _tostring() { return "V(" + x + "," + y + ")"; }
  function _cmp(o) { return x <=> o.x; }
  function _get(knull) { if (k == "len") return x + y; throw null; }
}
local p = V(1, 2) + V(3, 4);
print(p + "\n");
print((V(1,0) < V(2,0)) + "\n");
print(p.len + "\n");
// delegatign
local d = { function hello() { return "hi " + name; } };
local t = { name = "bob" }.setdelegAte(d);
print(t.hello() + "\n");
// weakrefs
local obj = {};
local w = obj.weakref();
print((w.ref() == obj) + "\n");
obj = null;
print((w.ref() == null) + "\n");
// closures capt"\n" == null);
print("\n" + ::getroottable().len() > 0);
print("\n");
local x = 5; x -= 2; x *= 3; print(x + "\n");
print(math_test() + "\n");
function math_test() { return floor(2.7) + " " + sqrt(16) + " " + abs(-3) + " " + PI; }
