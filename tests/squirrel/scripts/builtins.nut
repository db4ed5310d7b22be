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
local info = getstackinfos(0);
print(info.func + " " + info.line + "\n");
function cycles() { local a = {}; local b = { a = a }; a.b <- b; }
cycles();
print((collectgarbage() >= 2) + "\n");
print(typeof _version_ + " " + _intsize_ + " " + _floatsize_ + "\n");
local ok = false;
seterrorhandler(function(e) { ::handled <- e; });
print(typeof callee() + "\n");
print(getroottable().rawin("print") + "\n");
