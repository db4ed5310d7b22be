// floats far outside the integer range where an integer is wanted
local a = [1, 2, 3];
try { a[1e30]; } catch (e) {}
try { a[-1e30] = 1; } catch (e) {}
try { "abc".slice(1e30); } catch (e) {}
try { "abc"[1e30]; } catch (e) {}
try { array(1e30); } catch (e) {}
try { a.resize(-1e30); } catch (e) {}
try { format("%d", 1e30); } catch (e) {}
try { (1e30).tochar(); } catch (e) {}
try { [3, 1, 2].sort(@(x, y) 1e30); } catch (e) {}
try { a.insert(1e30, 0); } catch (e) {}
