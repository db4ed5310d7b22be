// A table whose delegate has _get still finds the built-in functions first; _get is asked
// only for what neither the table, its delegates nor the built-ins have
local asked = [];
local proxy = { _get = function(k) { asked.append(k); return "_get " + k; }, shared = "in the delegate" };
local o = { own = 1 }.setdelegate(proxy);
print(o.len() + " " + o.rawin("own") + " " + o.keys().len() + " " + (o.getdelegate() == proxy) + " " + o.shared + "\n");
print(o.tostring().slice(0, 7) + " " + o.weakref().ref().own + "\n");
print(o.missing + " " + o.own + "\n");
local s = "";
foreach (k in asked) s += k + " ";
print("asked: " + s + "\n");
