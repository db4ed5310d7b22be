# Helpers shared by every folder of the build.
include(GoogleTest)

# torvane_object_library(NAME SOURCES ... [DEPS other object libraries or targets ...])
# One subsystem: an OBJECT library. DEPS are linked for their usage requirements and
# remembered, so that torvane_link_objects can bring in every object file they need.
function(torvane_object_library name)
  cmake_parse_arguments(ARG "" "" "SOURCES;DEPS" ${ARGN})
  if(NOT ARG_SOURCES)
    # A folder whose sources are still to come builds as an empty library.
    set(ARG_SOURCES ${CMAKE_BINARY_DIR}/empty.cpp)
    file(TOUCH ${ARG_SOURCES})
  endif()
  add_library(${name} OBJECT ${ARG_SOURCES})
  target_include_directories(${name} PUBLIC ${CMAKE_SOURCE_DIR})
  if(ARG_DEPS)
    target_link_libraries(${name} PUBLIC ${ARG_DEPS})
  endif()
  set_property(TARGET ${name} PROPERTY TORVANE_DEPS "${ARG_DEPS}")
  set_property(GLOBAL APPEND PROPERTY TORVANE_OBJECT_LIBS ${name})
endfunction()

# Collects NAME and everything it depends on, depth first, into the variable OUT.
function(_torvane_collect name out)
  set(seen ${${out}})
  if(NOT TARGET ${name} OR name IN_LIST seen)
    return()
  endif()
  list(APPEND seen ${name})
  get_property(deps TARGET ${name} PROPERTY TORVANE_DEPS)
  foreach(dep IN LISTS deps)
    _torvane_collect(${dep} seen)
  endforeach()
  set(${out} ${seen} PARENT_SCOPE)
endfunction()

# torvane_link_objects(TARGET lib ...): links the object files of each library and of
# everything it depends on into TARGET (object files do not propagate transitively).
function(torvane_link_objects target)
  set(all "")
  foreach(lib IN LISTS ARGN)
    _torvane_collect(${lib} all)
  endforeach()
  # Global objects are constructed in link order (engine/core/globals.cpp): the
  # subsystems go in the order their folders are added, whatever their dependencies.
  get_property(subsystems GLOBAL PROPERTY TORVANE_OBJECT_LIBS)
  set(ordered "")
  foreach(lib IN LISTS subsystems)
    if(lib IN_LIST all)
      list(APPEND ordered ${lib})
    endif()
  endforeach()
  foreach(lib IN LISTS all)
    if(NOT lib IN_LIST ordered)
      list(APPEND ordered ${lib})
    endif()
  endforeach()
  # Linking an OBJECT library directly adds its object files and usage requirements.
  foreach(lib IN LISTS ordered)
    target_link_libraries(${target} PRIVATE ${lib})
  endforeach()
endfunction()

# torvane_test(NAME SOURCES ... [LINK object libraries or targets ...])
# A GoogleTest program run through CTest. tests/test_main.cpp gives it a headless
# environment and a per-user folder of its own (build/test-home/NAME).
function(torvane_test name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LINK" ${ARGN})
  add_executable(${name} ${ARG_SOURCES} ${CMAKE_SOURCE_DIR}/tests/test_main.cpp)
  set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests)
  target_include_directories(${name} PRIVATE ${CMAKE_SOURCE_DIR} ${CMAKE_CURRENT_SOURCE_DIR})
  set(home ${CMAKE_BINARY_DIR}/test-home/${name})
  file(MAKE_DIRECTORY ${home})
  target_compile_definitions(${name} PRIVATE
    TORVANE_TEST_HOME="${home}"
    TORVANE_TEST_SOURCE_DIR="${CMAKE_SOURCE_DIR}"
    TORVANE_TEST_BIN_DIR="${CMAKE_BINARY_DIR}/bin")
  torvane_link_objects(${name} ${ARG_LINK})
  target_link_libraries(${name} PRIVATE GTest::gtest GTest::gmock Threads::Threads)
  gtest_discover_tests(${name}
    DISCOVERY_MODE PRE_TEST
    DISCOVERY_TIMEOUT 60
    WORKING_DIRECTORY ${CMAKE_CURRENT_SOURCE_DIR}
    # Suites named *Child hold the halves of tests that run in a child process.
    TEST_FILTER "-*Child.*"
    PROPERTIES TIMEOUT 300)
endfunction()

# torvane_tests_per_file(PREFIX LINK ...): one torvane_test per *_test.cpp file of the
# current folder, named PREFIX_<file name without _test.cpp>.
function(torvane_tests_per_file prefix)
  cmake_parse_arguments(ARG "" "" "LINK" ${ARGN})
  file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*_test.cpp)
  foreach(source IN LISTS sources)
    get_filename_component(stem ${source} NAME_WE)
    string(REGEX REPLACE "_test$" "" stem ${stem})
    torvane_test(${prefix}_${stem} SOURCES ${source} LINK ${ARG_LINK})
  endforeach()
endfunction()

# torvane_bench(NAME SOURCES ... [LINK ...]): a Google Benchmark program in build/bench/.
function(torvane_bench name)
  if(NOT benchmark_FOUND)
    return()
  endif()
  cmake_parse_arguments(ARG "" "" "SOURCES;LINK" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bench)
  target_include_directories(${name} PRIVATE ${CMAKE_SOURCE_DIR})
  # Where the benchmark finds data/ when TORVANE_SOURCE_DIR does not say.
  target_compile_definitions(${name} PRIVATE BENCH_SOURCE_DIR="${CMAKE_SOURCE_DIR}")
  torvane_link_objects(${name} ${ARG_LINK})
  target_link_libraries(${name} PRIVATE benchmark::benchmark Threads::Threads)
endfunction()

# Adds every sub-folder of the current folder that has a CMakeLists.txt, in name order.
function(torvane_add_child_folders)
  file(GLOB children LIST_DIRECTORIES true RELATIVE ${CMAKE_CURRENT_SOURCE_DIR} ${CMAKE_CURRENT_SOURCE_DIR}/*)
  list(SORT children)
  foreach(child IN LISTS children)
    if(EXISTS ${CMAKE_CURRENT_SOURCE_DIR}/${child}/CMakeLists.txt)
      add_subdirectory(${child})
    endif()
  endforeach()
endfunction()
