// Functions that read an array or a table while they write into the same object
function show(a) { local s = ""; foreach (v in a) s += v + " "; return a.len() + ": " + s + "\n"; }
local c = [1, 2];
c.extend(c);
print(show(c));
local d = [1, 2, 3, 4];  // full: extending it moves its storage
d.extend(d);
d.extend(d);
print(show(d));
local e = [];
e.extend(e);
print(show(e));
// callbacks that empty or grow the array they run over
local a = [1, 2, 3];
a.apply(function(v) { a.clear(); return v * 10; });
print(show(a));
local g = [1, 2, 3];
local m = g.map(function(v) { g.append(v); return v * 2; });
print(show(m) + show(g));
local f = [1, 2, 3, 4];
local kept = f.filter(function(i, v) { f.pop(); return true; });
print(show(kept) + show(f));
local r = [1, 2, 3, 4];
print(r.reduce(function(acc, v) { r.resize(1); return acc + v; }) + "\n");
local s = [5, 3, 9, 1, 7, 2, 8];
s.sort(function(x, y) { s.clear(); s.append("gone"); return x <=> y; });
print(show(s));
// slots added to a table while it is walked
local t = { a = 1 };
local n = 0;
foreach (k, v in t) { if (n < 200) t["k" + n] <- n; n++; }
print((t.len() == (n < 200 ? n : 200) + 1) + "\n");
local u = { a = 1, b = 2 };
local picked = u.filter(function(k, v) { for (local i = 0; i < 50; i++) u["n" + i] <- i; return true; });
print(u.len() + " " + (picked.len() >= 2) + "\n");
