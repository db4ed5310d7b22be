// Regular expressions: compile errors, the span of a repeated group, balanced runs (\m)
foreach (pattern in ["(abc", "[abc", "[", "a{2", "a{2,3", "a{x}", "a{,3}", "a{99999}", "a{3,2}", "a|", "a||b", "(a|)",
                     "[]", "[^]", "[a-", "[z-a]", @"[\d-z]", @"[a-\w]", "\\", "*a", "a)", @"\m", @"\m(", @"\maa",
                     "|a", "[a-]", @"[\]x]", "a{2,}", @"\m<>"]) {
  local text;
  try { regexp(pattern); text = "compiles"; } catch (e) { text = e; }
  print("regexp(\"" + escape(pattern) + "\"): " + text + "\n");
}
function spans(list) {
  if (list == null) return "null";
  local s = "";
  foreach (m in list) s += "[" + m.begin + "," + m.end + "]";
  return s;
}
print("(ab)* on ababx: " + spans(regexp("(ab)*").capture("ababx")) + "\n");
print("(a|b)+c on babac: " + spans(regexp("(a|b)+c").capture("babac")) + "\n");
print("x((ab)c)* on xabcabc: " + spans(regexp("x((ab)c)*").capture("xabcabc")) + "\n");
print("(\\d+)-(\\d+) on 12-345: " + spans(regexp(@"(\d+)-(\d+)").capture("12-345")) + "\n");
local text = "f(a, g(b), (c+(d/e)));";
local r = regexp(@"\m()").search(text);
print(text.slice(r.begin, r.end) + "\n");
print(spans(regexp(@"g\m()").capture(text)) + " " + (regexp(@"\m()").search("((a") == null) + "\n");
print(regexp(@"\m<>").match("<a<b>c>") + " " + regexp(@"\m<>").match("<a<b>c") + " " + regexp(@"\m[]x").match("[[]]x") + "\n");
