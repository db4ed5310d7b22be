// What the default delegates' functions return when they change their object in place:
// null (resize too), except setdelegate, which returns the object itself
local a = [3, 1, 2];
local t = { k = 1 };
class Open {}
class Used { x = 1 }
local inst = Used();
local results = [
  ["append", a.append(4)], ["push", a.push(5)], ["extend", a.extend([6])], ["insert", a.insert(0, 0)],
  ["sort", a.sort()], ["sort with a function", a.sort(@(x, y) y <=> x)], ["apply", a.apply(@(v) v * 10)],
  ["reverse", a.reverse()], ["array clear", [1, 2].clear()],
  ["table rawset", t.rawset("j", 2)], ["table clear", { z = 0 }.clear()],
  ["class rawset", Open.rawset("y", 2)], ["instance rawset", inst.rawset("x", 5)],
  ["newmember", Open.newmember("m", 1)], ["rawnewmember", Open.rawnewmember("n", 1)],
  ["resize", a.resize(4)], ["setdelegate is the table", t.setdelegate({}) == t],
];
foreach (r in results) print(r[0] + ": " + r[1] + "\n");
local s = "";
foreach (v in a) s += v + " ";
print(s + "| " + t.j + " " + inst.x + " " + Open.y + "\n");
