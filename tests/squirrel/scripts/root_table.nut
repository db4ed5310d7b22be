// :: and the globals read the root table that was current when their function was made
// (or the one given with setroot); setroottable changes what functions made later see
x <- "first root";
local first = getroottable();
local second = { x = "second root", print = print, setroottable = setroottable, getroottable = getroottable };
function readRoot() { return ::x; }
function readGlobal() { return x; }
local prev = setroottable(second);
print((prev == first) + " " + ::x + " | " + readRoot() + " | " + readGlobal() + "\n");
::made <- 1;
print(("made" in second) + " " + ("made" in first) + " " + (getroottable() == second) + "\n");
local pinned = function() { return ::x; };
pinned.setroot(first);
print(pinned() + " " + (pinned.getroot() == first) + " " + ((@() 0).getroot() == second) + "\n");
setroottable(first);
print(::x + " " + readRoot() + " " + pinned() + "\n");
foreach (f in [@() setroottable(5), @() setroottable("t"), @() setconsttable(5), @() setconsttable(null)]) {
  try { f(); print("no error\n"); } catch (e) print(e + "\n");
}
local consts = setconsttable({});
print((typeof consts) + " " + (typeof setconsttable(consts)) + "\n");
