-- Global variables read and written in a hot loop.
total = 0
step = 3
function run()
  total = 0
  for i = 0, 200000 - 1 do total = total + step end
  return total
end
for i = 1, tonumber(arg[1] or "0") do run() end
