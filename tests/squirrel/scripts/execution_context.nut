// Execution context: this, the root table, :: and closure roots
value <- "root";
local t = { value = "table", function get() { return value; }, function getRoot() { return ::value; } };
print(t.get() + " " + t.getRoot() + "\n");
function setter() { value = "changed"; }
setter();
print(::value + "\n");
local env = { value = "env" };
setter.call(env);
print(env.value + " " + ::value + "\n");
local other = { value = "other root", print = print };
local f = function() { return ::value; };
local g = f.bindenv(this);
f.setroot(other);
print(f() + " " + (f.getroot() == other) + "\n");
function counter() { return ::value.len(); }
print(counter() + "\n");
try { undefined_global = 1; } catch (e) { print(e + "\n"); }
::created <- "new slot";
print(created + "\n");
