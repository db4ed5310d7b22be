// Root table slots read and written through :: in a hot loop.
::total <- 0;
::step <- 3;
function run() {
  ::total = 0;
  for (local i = 0; i < 200000; i++) ::total = ::total + ::step;
  return ::total;
}
for (local i = 0; i < (vargv.len() ? vargv[0].tointeger() : 0); i++) run();
