// format checks each argument against its conversion, and the conversion itself
function show(...) {
  local args = [this];
  args.extend(vargv);
  local text;
  try { text = "\"" + format.acall(args) + "\""; } catch (e) { text = e; }
  local shown = [];
  foreach (a in vargv) shown.append(typeof a == "string" ? "\"" + a + "\"" : a + "");
  local line = "format(";
  foreach (i, s in shown) line += (i ? ", " : "") + s;
  print(line + ") -> " + text + "\n");
}
show("%d", true);
show("%i", "1");
show("%x", null);
show("%c", 65.5);
show("%d|%5.1f|%o", 7.9, 2, 8);
show("%f", true);
show("%e", "2");
show("%s", 5);
show("%s", "plain");
show("[%6s|%-6s|%.2s]", "ab", "cd", "efgh");
show("%99d", 1);
show("%100d", 1);
show("%0999d", 1);
show("%.99f", 1.0);
show("%.100f", 1.0);
show("%5.123f", 1.0);
show("%------------------d", 1);
show("%-------------------d", 1);
show("abc%");
show("abc%", 1);
show("%z", 1);
show("%d %d", 1);
show("100%%");
