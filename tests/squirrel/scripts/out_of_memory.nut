// Running out of memory is an error that try catches wherever the allocation failed; the
// program goes on afterwards (the conformance runner gives scripts a bounded heap)
function fill(list) { list.append(array(100000)); return 1 + fill(list); }
local hog = [];
try { fill(hog); } catch (e) print("arrays from nested calls: " + e + "\n");
hog.pop();  // some room for each of the next cases
local t = {};
try { for (local i = 0; ; i++) t[i] <- i; } catch (e) { t = null; print("table slots: " + e + "\n"); }
local strings = [];
try { for (local i = 0; ; i++) strings.append("item " + i); } catch (e) { strings = null; print("strings: " + e + "\n"); }
local fns = [];
try { while (true) fns.append(@() fns); } catch (e) { fns = null; print("closures: " + e + "\n"); }
class Point { x = 0; y = 0 }
local points = [];
try { while (true) points.append(Point()); } catch (e) { points = null; print("instances: " + e + "\n"); }
local literals = [];
try { while (true) literals.append([1, 2, 3, 4, 5, 6, 7, 8, 9, { a = 1, b = 2 }]); } catch (e) { literals = null; print("literals: " + e + "\n"); }
hog = null;
print([1, 2, 3].map(@(v) v * 2).len() + " " + format("%s", "still running") + "\n");
