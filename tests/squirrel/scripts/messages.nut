// The texts of parameter type errors and of compile errors
function attempt(f) { try { f(); print("no error\n"); } catch (e) print(e + "\n"); }
attempt(@() [2, 1].sort(5));
attempt(@() newthread("f"));
attempt(@() "abc".slice("x"));
attempt(@() { a = 1 }.filter(null));
attempt(@() (@() 0).bindenv(1));
foreach (src in ["local = 1", "class C { function }", "foreach (1 in []) {}", "function f() {", "local x = ",
                 "local x = 1; delete x", "local x = 1; function f() { delete x; }", "delete 5", "print(1,)"]) {
  try { compilestring(src); print(src + " -> compiles\n"); } catch (e) print(src + " -> " + e + "\n");
}
