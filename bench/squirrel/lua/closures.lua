-- Closures: creation and calls through free variables.
function makeAdder(n) return function(x) return x + n end end
function run()
  local s = 0
  for i = 0, 20000 - 1 do
    local f = makeAdder(i)
    s = f(s) % 1000003
  end
  local count = 0
  local inc = function() count = count + 1 end
  for i = 0, 20000 - 1 do inc() end
  return s + count
end
for i = 1, tonumber(arg[1] or "0") do run() end
