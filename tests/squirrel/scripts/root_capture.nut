// A function keeps the root table current when it was made: :: and its globals read that
// table; the current root only once that table is gone
function madeBefore() { return ::x; }
function globalBefore() { return x; }
local fresh = { print = print, x = "new", compilestring = compilestring };
local old = setroottable(fresh);
try { print(::x + "\n"); } catch (e) print(e + "\n");
try { print(madeBefore() + "\n"); } catch (e) print(e + "\n");
try { print(globalBefore() + "\n"); } catch (e) print(e + "\n");
local madeAfter = function() { return ::x; };
local globalAfter = @() x;
print(madeAfter() + " " + globalAfter() + "\n");
print(compilestring("return x;")() + " " + compilestring("return ::x;")() + "\n");
local nested = function() { return @() ::x; };
local innerEarly = nested();
setroottable(old);
print(innerEarly() + " " + madeAfter() + "\n");
try { print(nested()() + "\n"); } catch (e) print(e + "\n");
try { print(madeBefore() + "\n"); } catch (e) print(e + "\n");
function madeUnder(root) { local prev = setroottable(root); local f = @() ::x; setroottable(prev); return f; }
::x <- "old root";
local orphan = madeUnder({ x = "short-lived" });
print(orphan() + " " + madeBefore() + "\n");
local kept = { x = "kept" };
local pinned = madeUnder(kept);
print(pinned() + " " + (pinned.getroot() == kept) + "\n");
