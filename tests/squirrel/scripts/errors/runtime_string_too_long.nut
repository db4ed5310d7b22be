local s = "xxxxxxxxxxxxxxxx"; while (true) s += s;
