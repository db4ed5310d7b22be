// Linked into a copy of the game's module: a call of a function that the game does not
// export, so the dynamic loader refuses the module and names the function.
extern "C" void engine_function_that_is_not_there();

extern "C" __attribute__((visibility("default"))) void call_what_the_engine_lacks() {
  engine_function_that_is_not_there();
}
