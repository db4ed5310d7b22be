// Classes: inheritance, base, constructors, statics, attributes, metamethods
class Base {
  name = "base";
  static created = [0];  // statics are read-only: the count lives in an array
  constructor() { Base.created[0]++; print("Base constructor\n"); }
  function who() { return "I'm the base"; }
  function describe() { return who() + "/" + name; }
}
class Child extends Base {
  constructor() { base.constructor(); print("Child constructor\n"); }
  function who() { return "I'm the derived"; }
  function baseWho() { return base.who(); }
}
local c = Child();
print(c.describe() + "\n");
print(c.baseWho() + "\n");
print(Base.created[0] + "\n");
print((c instanceof Child) + " " + (c instanceof Base) + " " + (Base() instanceof Child) + "\n");
print((Child.getbase() == Base) + " " + (c.getclass() == Child) + "\n");
class Vector3 {
  constructor(...) {
    if (vargv.len() >= 3) { x = vargv[0]; y = vargv[1]; z = vargv[2]; }
  }
  x = 0; y = 0; z = 0;
  function _add(o) { return ::Vector3(x + o.x, y + o.y, z + o.z); }
  function _sub(o) { return ::Vector3(x - o.x, y - o.y, z - o.z); }
  function _mul(s) { return ::Vector3(x * s, y * s, z * s); }
  function _unm() { return ::Vector3(-x, -y, -z); }
  function _tostring() { return x + "," + y + "," + z; }
  function _typeof() { return "Vector3"; }
  function _cmp(o) { return (x + y + z) <=> (o.x + o.y + o.z); }
}
local v0 = Vector3(1, 2, 3);
local v1 = Vector3(11, 12, 13);
local v2 = v0 + v1;
print(v2.x + "," + v2.y + "," + v2.z + "\n");
print((v1 - v0) + " " + (v0 * 2) + " " + (-v0) + " " + typeof v0 + "\n");
print((v0 < v1) + " " + (v1 > v0) + " " + (v0 <=> v0) + "\n");
class Attr </ kind = "tagged" /> {
  </ desc = "the x", min = 0 /> x = 1;
  function m() {}
}
print(Attr.getattributes(null).kind + " " + Attr.getattributes("x").desc + " " + (Attr.getattributes("m") == null) + "\n");
Attr.setattributes("m", { note = "set" });
print(Attr.getattributes("m").note + "\n");
local inst = Attr();
Attr.added <- function() { return "added later"; };
print(inst.added() + "\n");
class Dyn {
  _data = null;
  constructor() { _data = {}; }
  function _get(k) { if (k in _data) return _data[k]; throw null; }
  function _set(k, v) { _data[k] <- v; }
}
local dd = Dyn();
dd.foo = 5;
print(dd.foo + "\n");
try { print(dd.bar); } catch (e) { print("missing: " + e + "\n"); }
class Callable { function _call(self, a) { return "called with " + a; } }
local callable = Callable();
print(callable(3) + "\n");
class Iter {
  function _nexti(prev) { if (prev == null) return 0; if (prev < 2) return prev + 1; return null; }
  function _get(i) { return i * 10; }
}
foreach (k, v in Iter()) print(k + "=" + v + " ");
print("\n");
class Cl { v = null; constructor() { v = [1]; } function _cloned(orig) { v = clone orig.v; v.append(2); } }
local o1 = Cl(); local o2 = clone o1;
print(o1.v.len() + " " + o2.v.len() + "\n");
class Inh { function _inherited(attrs) { ::inheritedLog <- "inherited"; } }
class Sub extends Inh {}
print(::inheritedLog + "\n");
class NewMem { function _newmember(k, v, a, s) { ::nmLog <- (::nmLog ? ::nmLog : "") + k; } }
::nmLog <- null;
class NM2 extends NewMem { a = 1; b = 2; }
print(::nmLog + "\n");
print(Base.rawin("who") + " " + c.rawin("name") + " " + c.rawget("name") + "\n");
local memberSum = 0;
// without a _nexti in its class an instance cannot be walked
try { foreach (k, v in Vector3(4, 5, 6)) if (typeof v == "integer") memberSum += v; } catch (e) print(e + " ");
print(memberSum + "\n");
// statics are read-only, also through an instance; a class that has instances takes no new fields
class Counted { static count = 0; field = 1; function bump() { count++; } }
foreach (attempt in [function() { Counted.count = 1; }, function() { Counted.count++; }, function() { Counted.field = 2; },
                     function() { Counted().count = 3; }, function() { Counted().bump(); }]) {
  try { attempt(); print("assigned\n"); } catch (e) { print(e + "\n"); }
}
print(Counted.count + "\n");
try { Counted.extra <- 1; } catch (e) { print(e + "\n"); }
try { Counted.field <- 5; } catch (e) { print(e + "\n"); }
Counted.later <- function() { return "methods still"; };
print(Counted().later() + "\n");
// an instance is walked only through its class's _nexti
class Pt { x = 1; }
try { foreach (k, v in Pt()) print(k + " "); print("walked\n"); } catch (e) print(e + "\n");
