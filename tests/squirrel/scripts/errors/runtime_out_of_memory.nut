local a = [];
while (true) a.append(array(100000, 1));
