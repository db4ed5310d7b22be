// Delegation and table metamethods
local root0 = { kind = "base", function describe() { return "kind " + kind; } };
local mid = { level = 2 }.setdelegate(root0);
local obj = { own = 1 }.setdelegate(mid);
print(obj.describe() + " " + obj.level + " " + obj.own + "\n");
print(obj.rawin("kind") + " " + ("kind" in obj) + "\n");
local comparable = {
  _cmp = function(other) { if (name < other.name) return -1; if (name > other.name) return 1; return 0; }
};
local a = { name = "Alberto" }.setdelegate(comparable);
local b = { name = "Wouter" }.setdelegate(comparable);
if (a > b) print("a>b\n"); else print("b<=a\n");
local meta = {
  _get = function(k) { if (k == "magic") return 42; throw null; },
  _set = function(k, v) { ::setLog <- k + "=" + v; },
  _newslot = function(k, v) { ::slotLog <- k; rawset(k, v * 2); },
  _delslot = function(k) { ::delLog <- k; },
  _call = function(self, x) { return "called " + x; },
  _tostring = function() { return "<meta table>"; },
  _typeof = function() { return "metatype"; },
  _add = function(o) { return "added " + o; },
  _unm = function() { return "negated"; },
  _cloned = function(orig) { ::clonedFrom <- orig.tag; },
};
local m = { tag = "orig" }.setdelegate(meta);
print(m.magic + "\n");
try { print(m.nothing); } catch (e) { print("no slot\n"); }
m.tag = "set directly";
print(m.tag + "\n");
m.fresh <- 5;
print(::slotLog + " " + m.fresh + "\n");
delete m.tag;
print(::delLog + " " + m.rawin("tag") + "\n");
print(m(7) + " " + m + " " + typeof m + " " + (m + 1) + " " + (-m) + "\n");
local c = clone { tag = "src" }.setdelegate(meta);
print(::clonedFrom + "\n");
print((m.getdelegate() == meta) + "\n");
m.setdelegate(null);
print((m.getdelegate() == null) + "\n");
// 'in' looks at the object's own slots only
local inParent = { inherited = 1 };
local inChild = { own = 2 };
inChild.setdelegate(inParent);
class InBase { basefield = 1; function _get(k) { return "virtual"; } }
local inInst = InBase();
print(("own" in inChild) + " " + ("inherited" in inChild) + " " + ("len" in inChild) + " " +
      ("basefield" in inInst) + " " + ("virtual" in inInst) + " " + (0 in [5]) + " " + (1 in [5]) + "\n");
