local x = 0758;
