-- String building.
function run()
  local total = 0
  for r = 0, 100 - 1 do
    local s = ""
    for i = 0, 100 - 1 do s = s .. "item" .. i .. "," end
    total = total + #s
  end
  return total
end
for i = 1, tonumber(arg[1] or "0") do run() end
