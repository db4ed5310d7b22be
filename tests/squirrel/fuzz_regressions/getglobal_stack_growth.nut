local d = { function _get(k) { return f(k); } };
function f(k) { local t = {}.setdelegate(d); return t.x; }
setdelegate <- null;
local r = {}.setdelegate(d);
print(r.y);
