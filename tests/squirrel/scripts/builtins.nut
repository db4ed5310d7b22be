// Built-in functions
print(array(2).len() + " " + (array(2)[0] == null) + "\n");
print(typeof getroottable() + " " + typeof getconsttable() + "\n");
assert(true);
try { assert(false); } catch (e) { print(e + "\n"); }
try { assert(1 == 2, "custom message"); } catch (e) { print(e + "\n"); }
local fn = compilestring("return 40 + 2;");
print(fn() + "\n");
local fn2 = compilestring("return vargv.len();", "buf");
print(fn2.call(this, 1, 2) + "\n");
try { compilestring("local = ;"); } catch (e) { print("compile error caught\n"); }
local info = getstackinfos(1);
print(info.func + " " + info.line + "\n");
local self = getstackinfos(0);
print(self.func + " " + self.src + " " + self.line + "\n");
function cycles() { local a = {}; local b = { a = a }; a.b <- b; }
cycles();
print((collectgarbage() >= 2) + "\n");
print(typeof _version_ + " " + _intsize_ + " " + _floatsize_ + "\n");
local ok = false;
seterrorhandler(function(e) { ::handled <- e; });
print(typeof callee() + "\n");
print(getroottable().rawin("print") + "\n");
// strings to numbers
foreach (s in ["42", "1e2", "12abc", " 7", "0x1F", "-3.5", "", "abc"]) {
  try { print(s.tointeger() + " " + s.tofloat() + "\n"); } catch (e) { print("'" + s + "': " + e + "\n"); }
}
print("ff".tointeger(16) + "\n");
// clone takes tables, arrays and instances only
foreach (v in [1, 1.5, "s", null, true, print, class {}]) {
  try { clone v; print("cloned\n"); } catch (e) { print(e + "\n"); }
}
// error texts
foreach (f in [@() [].top(), @() [1].remove(3), @() [1, 2].slice(0, 5), @() [1, 2].slice(2, 1), @() "ab".slice(-5),
               @() [].pop(), @() [1].insert(5, 0), @() "x".slice(0, 1).tointeger(), @() array("n")]) {
  try { f(); print("no error\n"); } catch (e) { print(e + "\n"); }
}
