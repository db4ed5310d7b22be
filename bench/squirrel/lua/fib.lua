-- Recursive calls.
function fib(n) if n < 2 then return n end return fib(n - 1) + fib(n - 2) end
function run() return fib(24) end
for i = 1, tonumber(arg[1] or "0") do run() end
