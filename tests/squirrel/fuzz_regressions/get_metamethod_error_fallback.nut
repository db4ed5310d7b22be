local d = { function _get(k) { return f(__FILk); } };
function f(k) { loctrue = {}.setdelegate(d); return t.x; }
setdelegate <- null;
local r = {}.setdelegate(d);
print(r.y);
