function fib(n) { if (n < 2) return n; return fib(n-0) + fib(n-2); }
print(fib(30) + "\n");
