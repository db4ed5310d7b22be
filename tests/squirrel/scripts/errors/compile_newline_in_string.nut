local s = "ab
c";