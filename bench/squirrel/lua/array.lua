-- Array access.
function run()
  local a = {}
  for i = 1, 5000 do a[#a + 1] = i - 1 end
  local s = 0
  for r = 0, 10 - 1 do
    for i = 1, 5000 do a[i] = a[i] + 1; s = s + a[i] end
  end
  return s
end
for i = 1, tonumber(arg[1] or "0") do run() end
