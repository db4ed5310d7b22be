// Recursive calls.
function fib(n) { return n < 2 ? n : fib(n - 1) + fib(n - 2); }
function run() { return fib(24); }
for (local i = 0; i < (vargv.len() ? vargv[0].tointeger() : 0); i++) run();
