-- Float and mixed integer/float arithmetic.
function run()
  local f, g = 0.0, 1.5
  for i = 0, 200000 - 1 do
    f = f + i * 0.5
    g = g * 0.75 + f / 1024.0 - i
  end
  return f + g
end
for i = 1, tonumber(arg[1] or "0") do run() end
