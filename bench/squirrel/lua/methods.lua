-- Method calls on class instances.
local Counter = {}
Counter.__index = Counter
function Counter.new(s) return setmetatable({ value = 0, step = s }, Counter) end
function Counter:add() self.value = self.value + self.step; return self end
function Counter:get() return self.value end
function run()
  local c = Counter.new(2)
  local s = 0
  for i = 0, 50000 - 1 do c:add(); s = s + c:get() end
  return s
end
for i = 1, tonumber(arg[1] or "0") do run() end
