# Every source of the engine that makes explicit instantiations of script type tags,
# compiled together as one unit: a tag instantiated in two of them (which the
# language forbids, and which no linker reports) is a compile error here.
#   cmake -DSOURCE_DIR=... -DCXX=... -DOUT=... -P class_tags_once.cmake
file(GLOB_RECURSE sources ${SOURCE_DIR}/engine/*.cpp)
set(unit "")
set(count 0)
foreach(source IN LISTS sources)
  file(STRINGS ${source} tags REGEX "template[ \t]+int[ \t]+sqbind::ClassTag<")
  if(tags)
    string(APPEND unit "#include \"${source}\"\n")
    math(EXPR count "${count} + 1")
  endif()
endforeach()
if(count EQUAL 0)
  message(FATAL_ERROR "no source instantiates a type tag")
endif()
file(WRITE ${OUT} "${unit}")
execute_process(
  COMMAND ${CXX} -std=c++20 -fsyntax-only -I${SOURCE_DIR} -I${SOURCE_DIR}/libs/squirrel/include ${OUT}
  RESULT_VARIABLE result OUTPUT_VARIABLE output ERROR_VARIABLE output)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "the type tags of ${count} sources do not compile as one unit:\n${output}")
endif()
message(STATUS "${count} sources instantiate type tags, each tag once")
