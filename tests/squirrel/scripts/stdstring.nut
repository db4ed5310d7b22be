// String library
print(format("%s %d 0x%02X\n", "this is a test :", 123, 10));
print(format("%5.2f|%-4d|%04d|%e|%%|%c\n", 3.14159, 7, 42, 1000.0, 65));
print(strip("  a b  ") + "|" + lstrip("  a ") + "|" + rstrip(" a  ") + "|\n");
local a = split("1.2-3;;4/5", ".-/;");
print(a.len() + ":" + a[3] + "|\n");
local b = split("1.2-3;;4/5", ".-/;", true);
print(b.len() + "\n");
print(escape("a\"b\n\t\\") + "\n");
print(startswith("torvane", "tor") + " " + startswith("t", "tor") + " " + endswith("torvane", "vane") + " " + endswith("torvane", "x") + "\n");
local ex = regexp(@"(\d+) ([a-zA-Z]+)(\p)");
local string = "stuff 123 Test;";
local res = ex.capture(string);
foreach (i, val in res) print(format("match number[%02d] %s\n", i, string.slice(val.begin, val.end)));
local ex2 = regexp("[a-zA-Z]+");
local s2 = "123 Test;";
local r2 = ex2.search(s2);
print(s2.slice(r2.begin, r2.end) + "\n");
print(regexp("^a.c$").match("abc") + " " + regexp("^a.c$").match("abcd") + " " + regexp("x*").match("") + "\n");
print(regexp("a|b").match("b") + " " + regexp("(ab)+").match("ababab") + " " + regexp("a{2,3}").match("aaaa") + "\n");
print(regexp(@"\w+@\w+\.com").search("mail bob@host.com now").begin + "\n");
print((regexp("z").search("abc") == null) + " " + regexp("(a)(b)?").subexpcount() + "\n");
print(typeof regexp("a") + "\n");
try { regexp("(unclosed"); } catch (e) { print("bad regexp\n"); }
print("Mixed".tolower() + " " + "Mixed".toupper() + " " + "abcdef".slice(2, 4) + " " + "abc".len() + "\n");
print("hello world".find("o") + " " + "hello world".find("o", 5) + " " + ("hello".find("z") == null) + "\n");
try { format("%d"); } catch (e) { print(e + "\n"); }
