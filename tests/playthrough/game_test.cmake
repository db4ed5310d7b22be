# torvane_game_test(NAME SOURCES ...): a test program that is also the game it runs:
# the test copies it into a game folder of its own and starts it there as the game.
# It links the whole engine and exports it for the module, with the driver's support.
set(torvane_play_dir ${CMAKE_CURRENT_LIST_DIR})
function(torvane_game_test name)
  cmake_parse_arguments(ARG "" "" "SOURCES" ${ARGN})
  set(support ${torvane_play_dir}/support)
  torvane_test(${name} SOURCES ${ARG_SOURCES} ${support}/game_run.cpp ${support}/hero_model.cpp ${support}/route.cpp
               ${support}/hero_driver.cpp ${support}/screens.cpp
               LINK engine_shell PkgConfig::PNG)
  target_include_directories(${name} PRIVATE ${torvane_play_dir})
  set_target_properties(${name} PROPERTIES ENABLE_EXPORTS ON)
  # The module's classes have their type information in the module, which the game
  # only loads at run time: the sanitizers' virtual-pointer check would need it at link time.
  if(TORVANE_SANITIZE)
    target_compile_options(${name} PRIVATE -fno-sanitize=vptr)
  endif()
  if(TARGET gameobj)
    add_dependencies(${name} gameobj)
  endif()
endfunction()
