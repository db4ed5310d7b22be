// Operators, precedence, assignment forms
local a = 5, b = 3;
print((a + b * 2) + " " + ((a + b) * 2) + " " + (a - b - 1) + "\n");
print((a & b) + " " + (a | b) + " " + (a ^ b) + " " + (~a) + " " + (a << 2) + " " + (-16 >> 2) + " " + (-16 >>> 60) + "\n");
print((a > b) + " " + (a < b) + " " + (a >= 5) + " " + (a <= 4) + " " + (a == 5) + " " + (a != 5) + "\n");
print((a <=> b) + " " + (b <=> a) + " " + (a <=> 5) + " " + ("a" <=> "b") + "\n");
print((true && false) + " " + (true || false) + " " + (!true) + " " + (null || "x") + " " + (0 && "y") + "\n");
print((a > 3 ? "big" : "small") + "\n");
local t = { x = 1 };
t.y <- 2;
t["z"] <- 3;
print(t.x + t.y + t.z + "\n");
print(("x" in t) + " " + ("w" in t) + "\n");
print(delete t.x + " " + ("x" in t) + "\n");
local c = 10;
c += 5; print(c + " "); c -= 3; print(c + " "); c *= 2; print(c + " "); c /= 4; print(c + " "); c %= 4; print(c + "\n");
local i = 0;
print(i++ + " " + i + " " + ++i + " " + i-- + " " + --i + "\n");
local arr = [1, 2, 3];
arr[1] += 10; arr[2]++;
print(arr[0] + " " + arr[1] + " " + arr[2] + "\n");
t.n <- 1; t.n++; t.n += 5; print(t.n + "\n");
class K { v = 1; }
local k = K();
print((k instanceof K) + " " + ([] instanceof K) + "\n");
print(typeof clone [1] + " " + (clone t).n + "\n");
g_counter <- 0;
g_counter++;
g_counter += 2;
print(::g_counter + "\n");
print("con" + "cat" + 1 + 2.5 + null + true + "\n");
print(1 + 2 + "3" + 4 + 5 + "\n");
local s = "abc";
print(s[0] + " " + s[2] + "\n");
// the comma operator: both sides run, the value is the right one
local ca, ck;
ca = (ck = 1, ck + 2);
print(ca + " " + ck + " " + (1, 2, 3) + "\n");
local cj = 0, csum = 0;
for (local i = 0; i < 10; i++, cj++) csum = i + cj;
print(csum + " " + cj + "\n");
local calls = [];
if (calls.append("a"), calls.append("b"), calls.len() == 2) print("both ran\n");
ca = 5, ck = 6;
print(ca + ck + "\n");
function commaReturn() { return calls.append("c"), calls.len(); }
print(commaReturn() + "\n");
// comparisons across types: by identity, null first, else an error naming the values
local ta = {}, tb = {};
print(((ta < tb) != (tb < ta)) + " " + (ta <= ta) + "\n");
print((null < 1) + " " + (1 < null) + " " + (null <= null) + "\n");
foreach (pair in [[1, "a"], [2.5, "x"], [{}, []], ["s", null == 0]]) {
  try { pair[0] < pair[1]; } catch (e) { print(e + "\n"); }
}
