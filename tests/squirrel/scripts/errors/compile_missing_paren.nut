print("a";
