// Integer edge cases: division and modulo signs, shifts past the width, overflow, ++ on floats
local i = 0, j = 0;
for (local k = 0; k < 4; k++) { k % 2 ? i++ : j++; }
print(i + " " + j + "\n");
local a = 5; a++; ++a; a--; print(a + "\n");
local f = 1.5; f++; print(f + "\n");
print((7 / 2) + " " + (-7 / 2) + " " + (7 % -3) + " " + (1 << 65) + " " + (-1 >>> 1) + " " + (6 & 3) + " " + (6 | 3) + " " + (6 ^ 3) + "\n");
local m = -9223372036854775807 - 1; print((m / -1) + " " + (m % -1) + "\n");
