// Control flow statements
for (local i = 0; i < 3; i++) print(i);
print("\n");
local n = 0;
while (true) { n++; if (n > 4) break; if (n % 2) continue; print(n); }
print("\n");
local d = 0;
do { d++; } while (d < 10);
print(d + "\n");
foreach (i, v in ["a", "b"]) print(i + v + " ");
print("\n");
local sum = 0;
foreach (k, v in { a = 1, b = 2, c = 3 }) sum += v;
print(sum + "\n");
foreach (c in "hi") print(c + " ");
print("\n");
function sw(x) {
  switch (x) {
    case 1: return "one";
    case 2:
    case 3: return "two-three";
    case "s": return "string";
    default: return "other";
  }
}
print(sw(1) + " " + sw(2) + " " + sw(3) + " " + sw("s") + " " + sw(9) + "\n");
local fall = "";
switch (1) { case 1: fall += "a"; case 2: fall += "b"; break; case 3: fall += "c"; }
print(fall + "\n");
try { throw { code = 7 }; } catch (e) { print("caught " + e.code + "\n"); }
try { local z = 1 / 0; } catch (e) { print(e + "\n"); }
function thrower() { throw "from function"; }
try { thrower(); } catch (e) { print(e + "\n"); }
local nested = "";
for (local i = 0; i < 3; i++) {
  try { if (i == 1) throw "x"; nested += i; } catch (e) { nested += "c"; continue; }
  nested += ";";
}
print(nested + "\n");
local outer = 0;
for (local i = 0; i < 3; i++) for (local j = 0; j < 3; j++) { if (j == 2) break; outer++; }
print(outer + "\n");
if (0) print("no\n"); else if (1) print("else-if\n"); else print("no\n");
{ local scoped = 1; print(scoped + "\n"); }
