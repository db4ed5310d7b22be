-- Loops with arithmetic.
function run()
  local s = 0
  for i = 0, 200000 - 1 do s = s + (i * 3 + 7) % 11 - (i >> 2) end
  return s
end
for i = 1, tonumber(arg[1] or "0") do run() end
