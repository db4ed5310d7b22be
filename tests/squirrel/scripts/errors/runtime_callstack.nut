function inner() { throw "deep"; }
function outer() { inner(); }
outer();