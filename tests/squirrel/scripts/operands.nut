// Operators with every kind of operand in every position: locals, constants, fields,
// elements, free variables; numbers of both kinds, strings, objects with metamethods.
class V {
  x = 0;
  constructor(v) { x = v; }
  function _add(o) { return V(x + (o instanceof V ? o.x : o)); }
  function _sub(o) { return V(x - (o instanceof V ? o.x : o)); }
  function _mul(o) { return V(x * (o instanceof V ? o.x : o)); }
  function _div(o) { return V(x / (o instanceof V ? o.x : o)); }
  function _modulo(o) { return V(x % (o instanceof V ? o.x : o)); }
  function _cmp(o) { local y = o instanceof V ? o.x : o; return x < y ? -1 : x > y ? 1 : 0; }
  function _tostring() { return "V(" + x + ")"; }
}
local i = 7, f = 2.5, s = "s", v = V(10), w = V(3);
// local op constant, local op local, value op local, value op constant
print((i + 1) + " " + (i - 1) + " " + (i * 2) + " " + (i / 2) + " " + (i % 4) + " " + (i & 3) + " " + (i << 2) + "\n");
print((f + 1) + " " + (f - 1) + " " + (f * 2) + " " + (f / 2) + " " + (f % 2) + " " + (i + f) + " " + (f - i) + "\n");
print((i * 1.5) + " " + (f * i) + " " + ((i + 0) * f) + " " + ((f + 0) / i) + " " + (1.0 / 4) + "\n");
print((s + 1) + " " + (s + i) + " " + (s + f) + " " + (1 + s) + " " + (i + s) + " " + (s + null) + " " + (s + v) + "\n");
print((v + 1) + " " + (v - i) + " " + (v * w) + " " + (v / 2) + " " + (v % 3) + " " + ((v + 0) - w) + "\n");
// compound assignment to locals
local acc = 1;
acc += 2; acc -= 1; acc *= 10; acc /= 4; acc %= 3;
local facc = 1.5;
facc += 1; facc *= i; facc /= 2; facc -= 0.25;
local sacc = "a";
sacc += 1; sacc += f; sacc += v;
local vacc = V(1);
vacc += 4; vacc *= 3; vacc -= w; vacc /= 2;
print(acc + " " + facc + " " + sacc + " " + vacc + " " + (acc += 5) + " " + acc + "\n");
try { local bad = {}; bad += 1; } catch (e) { print(e + "\n"); }
try { local z = 0; print(i / z); } catch (e) { print(e + "\n"); }
try { local z = 0; i %= z; } catch (e) { print(e + "\n"); }
print((i / -1) + " " + (i % -1) + " " + (-0x7FFFFFFFFFFFFFFF - 1) / -1 + "\n");
// increments of locals, free variables, fields, globals
local n = 1.5;
n++; ++n; n--;
local counter = 0;
local bump = function() { counter++; counter += 2; return counter; };
bump(); bump();
local t = { k = 1 };
t.k++; t.k += 10;
::gcount <- 0; ::gcount++; gcount += 3;
print(n + " " + counter + " " + t.k + " " + ::gcount + "\n");
// comparisons in conditions: locals with constants, floats, NaN, strings, objects
local nan = 0.0 / 0.0;
local out = "";
foreach (pair in [[i, 7], [f, 2.5], [nan, 1], [s, "t"], [v, 10], [v, w]]) {
  local a = pair[0], b = pair[1];
  out += (a < b ? "<" : "") + (a <= b ? "l" : "") + (a > b ? ">" : "") + (a >= b ? "g" : "") + (a == b ? "=" : "") + (a != b ? "!" : "") + " ";
}
print(out + "\n");
local hits = 0;
for (local k = 0.5; k < 3; k += 0.5) hits++;
for (local k = 10; k >= 0; k -= 3) hits += 10;
local kk = 5; while (kk != 0) { kk--; hits += 100; }
kk = 0; do { kk++; } while (kk < 4 && kk != 10);
for (local k = V(0); k < 3; k += 1) hits += 1000;
print(hits + " " + kk + "\n");
try { for (local k = {}; k < 3; k++) {} } catch (e) { print(e + "\n"); }
// elements and fields stored through locals
local arr = [1, 2, 3], idx = 1, key = "k";
arr[idx] = arr[idx] * 10;
t[key] = t[key] + 1;
t.k = t.k * 2;
local obj = V(4);
obj.x = obj.x + 1;
print(arr[idx] + " " + t.k + " " + obj.x + " " + (arr[idx] = 7) + " " + (t.k = 9) + "\n");
try { arr[idx + 5] = 1; } catch (e) { print(e + "\n"); }
try { t.missing = 1; } catch (e) { print(e + "\n"); }
try { local str = "abc"; local j = 1; print(str[j] + "\n"); str[j] = 1; } catch (e) { print(e + "\n"); }
class Setter { function _set(k, val) { ::lastSet <- k + "=" + val; } function _get(k) { return "got " + k; } }
local st = Setter();
st.any = 5;
print(::lastSet + " " + st.other + "\n");
// calls of globals, of methods on locals, through free variables
function twice(x) { return x * 2; }
local holder = { f = twice, n = 21 };
local viaFree = function() { return holder.f(holder.n); };
print(twice(4) + " " + holder.f(5) + " " + viaFree() + "\n");
// counted loops: a local stepped by ++ or -- and compared with a constant
local rounds = [];
for (local k = 0; k < 5; k++) { if (k == 1) continue; if (k == 4) break; rounds.append(k); }
for (local k = 3; k > 0; k--) rounds.append(k * 10);
for (local k = 0; k < 0; k++) rounds.append("never");
for (local k = 0.5; k <= 2; k++) rounds.append(k);
for (local k = 0; k != 6; k++) k++;
for (local k = 0; k < 10; k++) { k += 4; rounds.append(k); }
print(rounds.len() + ": " + rounds.reduce(@(a, b) a + "," + b) + "\n");
try { for (local k = 0; k < 3; k++) k = "x"; } catch (e) { print(e + "\n"); }
try { for (local k = 0; k < 3; k++) k = {}; } catch (e) { print(e + "\n"); }
local nested = 0;
for (local a = 0; a < 3; a++) for (local b = 0; b < 3; b++) nested += a * b;
print(nested + "\n");
