class C {}
function gen() { yield 1; }
function fail(a, t) {
  local c = C, i = C(), f = fail, n = print, g = gen(), th = newthread(print), w = t.weakref();
  local s = "text", k = 5, x = 1.5, b = true, z = null;
  throw "stop";
}
fail([1], {});
