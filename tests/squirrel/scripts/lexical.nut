// Lexical structure: comments, literals, escapes
# a shell style comment
/* block
   comment */
print(0x1F + " " + 'a' + " " + 1.5 + " " + 1e2 + " " + 12 + "\n");
print("tab\tnewline\\n quote\" hex\x41 \u00e9\n");
print(@"verbatim ""quoted"" \n no escape" + "\n");
local multi = @"line1
line2";
print(multi + "\n");
print(__LINE__ + "\n");
print(typeof __FILE__ + "\n");
local _under_score1 = 3; print(_under_score1 + "\n");
print(-0x7FFFFFFFFFFFFFFF - 1 + "\n");
// a leading zero makes an octal literal
print(0753 + " " + 010 + " " + 00 + " " + 0 + " " + 0.5 + " " + 0x10 + "\n");
