// Weak references
local t = {};
local w = t.weakref();
print(typeof w + " " + (w.ref() == t) + "\n");
t = null;
print((w.ref() == null) + "\n");
local a = [1];
local wa = a.weakref();
local holder = { ref = wa };
print(holder.ref.ref().len() + "\n");
a = null;
print(holder.ref.ref() + "\n");
print((5).weakref() + " " + typeof "s".weakref() + "\n");
class C {} local inst = C(); local wi = inst.weakref(); inst = null; print((wi.ref() == null) + "\n");
