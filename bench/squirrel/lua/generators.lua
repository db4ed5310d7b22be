-- Generators (coroutines).
function range(n) return coroutine.wrap(function() for i = 0, n - 1 do coroutine.yield(i) end end) end
function run()
  local s = 0
  for v in range(20000) do s = s + v end
  return s
end
for i = 1, tonumber(arg[1] or "0") do run() end
