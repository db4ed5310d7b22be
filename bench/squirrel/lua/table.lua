-- Table access: string keys and integer keys.
function run()
  local t = {}
  for i = 0, 2000 - 1 do t[i] = i end
  local p = { x = 1, y = 2, z = 3 }
  local s = 0
  for r = 0, 20 - 1 do
    for i = 0, 2000 - 1 do s = s + t[i] end
    for i = 0, 2000 - 1 do p.x = p.y + p.z; s = s + p.x end
  end
  return s
end
for i = 1, tonumber(arg[1] or "0") do run() end
