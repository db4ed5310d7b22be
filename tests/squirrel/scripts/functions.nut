// Functions: default parameters, varargs, free variables, bindenv, call/acall
function add(a, b = 10, c = 100) { return a + b + c; }
print(add(1) + " " + add(1, 2) + " " + add(1, 2, 3) + "\n");
function va(...) { return vargv.len(); }
print(va() + " " + va(1, 2, 3) + "\n");
function va2(a, ...) { local s = a; foreach (x in vargv) s += x; return s; }
print(va2(1, 2, 3, 4) + "\n");
local x = 10;
local f = function() { return x * 2; };
x = 21;
print(f() + "\n");
function makeCounter() { local n = 0; return function() { return ++n; }; }
local c1 = makeCounter(), c2 = makeCounter();
c1(); c1();
print(c1() + " " + c2() + "\n");
local lam = @(a, b) a * b;
print(lam(6, 7) + "\n");
local env = { val = "env" };
function getval() { return this.val; }
local bound = getval.bindenv(env);
print(bound() + "\n");
print(getval.call({ val = "called" }) + " " + getval.acall([{ val = "acalled" }]) + "\n");
local t = { name = "tbl", fn = function() { return name; } };
print(t.fn() + "\n");
function rec(n) { return n == 0 ? 0 : n + rec(n - 1); }
print(rec(100) + "\n");
function localrec(n) { return n <= 1 ? 1 : n * localrec(n - 1); }
print(localrec(10) + "\n");
print(add.getinfos().name + " " + add.getinfos().parameters.len() + "\n");
function outerf() { local v = 1; local g = function() { v++; return v; }; g(); return v; }
print(outerf() + "\n");
local ns = { sub = {} };
function ns::sub::deep() { return "deep"; }
print(ns.sub.deep() + "\n");
print(callee == callee ? "ok\n" : "bad\n");
// "local function f" is "local f = function": f is not yet visible in its own body
function shadowed() { return "root shadowed"; }
local function shadowed() { return shadowed(); }
print(shadowed() + "\n");
local function unseen() { return unseen(); }
try { unseen(); } catch (e) { print(e + "\n"); }
// tail calls reuse the frame: no stack overflow however deep
function countdown(n) { if (n > 0) return countdown(n - 1); return "landed"; }
print(countdown(100000) + "\n");
function isEven(n) { return n == 0 ? true : isOdd(n - 1); }
function isOdd(n) { return n == 0 ? false : isEven(n - 1); }
print(isEven(100000) + " " + isOdd(100001) + "\n");
function tailWithDefault(n, acc = 0) { return n == 0 ? acc : tailWithDefault(n - 1, acc + n); }
print(tailWithDefault(100000) + "\n");
function tailToNative(s) { return s.toupper(); }
print(tailToNative("native") + "\n");
function tailInTry(n) { try { return n == 0 ? "tried" : tailInTry(n - 1); } catch (e) { return e; } }
print(tailInTry(50) + "\n");
// a closure bound to an object that is gone runs with a null environment
local envObj = { tag = "env" };
local envFn = function() { return this == null ? "null env" : tag; }.bindenv(envObj);
print(envFn() + "\n");
envObj = null;
print(envFn() + "\n");
// anonymous functions have no name
print(function() {}.getinfos().name + " " + (@(x) x).getinfos().name + " " + shadowed.getinfos().name + "\n");
// returning a choice: each branch returns its own value, also inside loops and try
function pickA(c) { return c ? 1 : 2; }
function pickB(c) { return c ? (c > 5 ? "big" : "small") : "none"; }
function pickC(c) { local r = 0; for (local i = 0; c ? i < 3 : i < 1; i++) r++; return c ? r : -r; }
function pickD(c) { try { return c ? "t" : "f"; } catch (x) { return x; } }
function pickE(c) { if (c) return c ? "x" : "y"; return c ? 1 : null; }
print(pickA(true) + " " + pickA(false) + " " + pickB(7) + " " + pickB(2) + " " + pickB(0) + " " + pickC(true) + " " +
      pickC(false) + " " + pickD(1) + " " + pickD(0) + " " + pickE(1) + " " + pickE(0) + "\n");
function va(a, ...) {}
foreach (p in va.getinfos().parameters) print(p + " ");
print("\n");
