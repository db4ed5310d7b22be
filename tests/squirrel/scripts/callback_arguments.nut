// Callbacks get the arguments their function documents, so one that takes a different
// number of parameters is an error
function attempt(name, f) {
  local text;
  try { text = f(); } catch (e) { text = e; }
  print(name + ": " + text + "\n");
}
function show(a) { local s = ""; foreach (v in a) s += v + " "; return s; }
attempt("map(v)", @() show([1, 2].map(@(v) v * 2)));
attempt("map(v, i)", @() show([1].map(@(a, b) a)));
attempt("map(v, i, a)", @() show([1].map(@(a, b, c) a)));
attempt("map(v, i = 5)", @() show([1].map(@(v, i = 5) v + i)));
attempt("map(...)", @() show([1, 2].map(@(...) vargv.len())));
attempt("map(native)", @() show([" a ", "b "].map(strip)));
attempt("map this", @() show([1].map(function(v) { return typeof this; })));
attempt("apply(v, i)", function() { local a = [1]; a.apply(@(v, i) v); return show(a); });
attempt("apply(v)", function() { local a = [1, 2]; a.apply(@(v) v + 1); return show(a); });
attempt("reduce(a)", @() [1, 2].reduce(@(a) a));
attempt("reduce(a, b)", @() [1, 2, 3].reduce(@(a, b) a + b));
attempt("filter(v)", @() show([1, 2].filter(@(v) true)));
attempt("filter(i, v)", @() show([1, 2, 3].filter(@(i, v) i != 1)));
attempt("table filter(v)", @() { a = 1 }.filter(@(v) true).len());
attempt("table filter(k, v)", @() { a = 1, b = 2 }.filter(@(k, v) k == "b").len());
attempt("sort(a)", function() { local a = [2, 1]; a.sort(@(a) 0); return show(a); });
attempt("sort(a, b)", function() { local a = [2, 3, 1]; a.sort(@(a, b) b <=> a); return show(a); });
