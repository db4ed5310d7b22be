// Generators (the manual's example and resume semantics)
function geny(n) {
  for (local i = 1; i <= n; i += 1) yield i;
  return null;
}
local gtor = geny(10);
local x;
while (x = resume gtor) print(x + "\n");
local g2 = geny(2);
print(g2.getstatus() + "\n");
resume g2;
print(g2.getstatus() + "\n");
resume g2; resume g2;
print(g2.getstatus() + "\n");
try { resume g2; } catch (e) { print(e + "\n"); }
function fibgen() { local a = 0, b = 1; while (true) { yield a; local t = a + b; a = b; b = t; } }
local out = "";
foreach (i, v in fibgen()) { if (i >= 10) break; out += v + " "; }
print(out + "\n");
function withTry() { try { yield 1; throw "inner"; } catch (e) { yield e; } yield 3; }
foreach (v in withTry()) print(v + " ");
print("\n");
function captured() { local n = 0; local get = @() n; while (n < 3) { n++; yield get(); } }
foreach (v in captured()) print(v + " ");
print("\n");
