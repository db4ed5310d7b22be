local a = 1;
local b = 2;
  local = 3;