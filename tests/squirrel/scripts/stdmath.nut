// Math library
print(floor(2.7) + " " + ceil(2.2) + " " + abs(-3) + " " + fabs(-2.5) + "\n");
print(sqrt(16) + " " + pow(2, 10) + " " + exp(0) + " " + log(1) + " " + log10(1000) + "\n");
print(sin(0) + " " + cos(0) + " " + tan(0) + " " + atan2(0, 1) + "\n");
print((PI > 3.14 && PI < 3.15) + " " + (RAND_MAX > 0) + "\n");
srand(1);
local r = rand();
print((r >= 0 && r <= RAND_MAX) + "\n");
