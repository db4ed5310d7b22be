// Weak references
local t = {};
local w = t.weakref();
print(typeof w + " " + (w.ref() == t) + "\n");
t = null;
print((w.ref() == null) + "\n");
local a = [1];
local wa = a.weakref();
local holder = { ref = wa };
print(holder.ref.len() + "\n");
a = null;
print(holder.ref + "\n");
print((5).weakref() + " " + typeof "s".weakref() + "\n");
class C {} local inst = C(); local wi = inst.weakref(); inst = null; print((wi.ref() == null) + "\n");
// a slot holding a weak reference reads as the object it points to
local wt = {};
local warr = ["first", "second", "third"];
wt.thearray <- warr.weakref();
print(wt.thearray[0] + " " + typeof wt.thearray + " " + typeof wt.rawget("thearray") + "\n");
local wlist = [warr.weakref()];
class WHolder { ref = null; }
local wh = WHolder();
wh.ref = warr.weakref();
foreach (item in wlist) print(item.len() + " " + wlist[0][1] + " " + wh.ref[2] + "\n");
warr = 123;
print(typeof wt.thearray + " " + typeof wlist[0] + " " + typeof wh.ref + "\n");
