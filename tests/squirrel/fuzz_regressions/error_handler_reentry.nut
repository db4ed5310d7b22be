class V { function _tostring() { return "V(" + missing + ")"; } }
local a = V();
print(a + "\n");
