# Build settings and helpers shared by every folder.
#
# SCRIBIX_TREE is one of native, win32, win64; folders test it to decide what
# they build. Both Windows trees build the whole program (SCRIBIX_WINDOWS): the
# 32-bit one is the product, the 64-bit one runs the same tests on machines that
# cannot run 32-bit programs. Tests are registered through scribix_test() so
# that Windows test programs run under the tree's own Wine prefix.

set(CMAKE_CXX_STANDARD 17)
set(CMAKE_CXX_STANDARD_REQUIRED ON)
set(CMAKE_CXX_EXTENSIONS OFF)
set(CMAKE_C_STANDARD 11)
set(CMAKE_EXPORT_COMPILE_COMMANDS ON)

if(WIN32)
  if(CMAKE_SIZEOF_VOID_P EQUAL 4)
    set(SCRIBIX_TREE win32)
  else()
    set(SCRIBIX_TREE win64)
  endif()
  # Windows 7 is the oldest target: no newer API may slip in unnoticed.
  add_compile_definitions(_WIN32_WINNT=0x0601 WINVER=0x0601 NTDDI_VERSION=0x06010000
                          UNICODE _UNICODE WIN32_LEAN_AND_MEAN NOMINMAX)
  add_compile_options(-Wall -Wextra -Wno-unused-parameter -Wno-cast-function-type)
  # The Windows trees build without debug information (it would triple the
  # compile and link time of every test program, and Wine's debugger is not
  # used here) and at -O2, as the installed program is.
  string(REPLACE "-O3" "-O2" CMAKE_C_FLAGS_RELEASE "${CMAKE_C_FLAGS_RELEASE}")
  string(REPLACE "-O3" "-O2" CMAKE_CXX_FLAGS_RELEASE "${CMAKE_CXX_FLAGS_RELEASE}")
  # Everything links its runtime statically: only system DLLs are imported,
  # nothing has to be copied beside a binary.
  add_link_options(-static -static-libgcc -static-libstdc++)
  # Programs and DLLs side by side, as they are installed, so the loader finds them.
  set(CMAKE_RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bin)
else()
  set(SCRIBIX_TREE native)
  add_compile_options(-Wall -Wextra -Wno-unused-parameter)
  # Line tables are all that the sanitizers' reports need, at a fraction of
  # the compile time of full debug information.
  if(CMAKE_CXX_COMPILER_ID MATCHES "Clang")
    foreach(flags CMAKE_C_FLAGS_RELWITHDEBINFO CMAKE_CXX_FLAGS_RELWITHDEBINFO)
      string(REGEX REPLACE "(^| )-g( |$)" "\\1-gline-tables-only\\2" ${flags} "${${flags}}")
    endforeach()
  endif()
  option(SCRIBIX_SANITIZE "Build with AddressSanitizer and UndefinedBehaviorSanitizer" ON)
  if(SCRIBIX_SANITIZE)
    add_compile_options(-fsanitize=address,undefined -fno-sanitize-recover=all
                        -fno-omit-frame-pointer)
    add_link_options(-fsanitize=address,undefined)
    if(CMAKE_CXX_COMPILER_ID MATCHES "Clang")
      # Coverage for the libFuzzer targets (see scribix_fuzz).
      add_compile_options(-fsanitize=fuzzer-no-link)
      set(SCRIBIX_FUZZ ON)
    endif()
  endif()
endif()

set(SCRIBIX_WIN32 OFF)
set(SCRIBIX_WIN64 OFF)
set(SCRIBIX_WINDOWS OFF)
set(SCRIBIX_NATIVE OFF)
if(SCRIBIX_TREE STREQUAL "win32")
  set(SCRIBIX_WIN32 ON)
  set(SCRIBIX_WINDOWS ON)
  set(SCRIBIX_WINE_BITS 32)
  # Floating point in SSE registers, as the 64-bit build has it: the x87's
  # wider intermediates would make the recognizers' and the shape solver's
  # scores differ between the two builds. The system may call back with a
  # stack aligned to 4 bytes only, so each function realigns its own.
  add_compile_options(-msse2 -mfpmath=sse -mstackrealign)
elseif(SCRIBIX_TREE STREQUAL "win64")
  set(SCRIBIX_WIN64 ON)
  set(SCRIBIX_WINDOWS ON)
  set(SCRIBIX_WINE_BITS 64)
else()
  set(SCRIBIX_NATIVE ON)
endif()

set(SCRIBIX_SCRIPTS ${CMAKE_SOURCE_DIR}/scripts)
# Tests that start interactive programs, install system hooks, type or take the
# foreground in a prefix would disturb each other: scribix_desktop_tests()
# gives them the lock of their prefix's desktop. Prefixes (one wineserver and,
# for the x11 kinds, one Xvfb each) share nothing, so the desktops of the
# different kinds run side by side.
set(SCRIBIX_WINE_DIR ${CMAKE_BINARY_DIR}/wine)

# scribix_floor_includes(<target> <folder>...): the target and whoever links it
# include from the source root ("core/Trace.h"), but see only the named
# folders: the tree gets a root of links to them, so an include of a folder
# the target may not use fails to compile. Each floor names itself and the
# floors below it (scripts/check-floors holds the same table for the test run).
function(scribix_floor_includes target)
  set(root ${CMAKE_BINARY_DIR}/floors/${target})
  file(MAKE_DIRECTORY ${root})
  foreach(folder IN LISTS ARGN)
    if(NOT EXISTS ${root}/${folder})
      file(CREATE_LINK ${CMAKE_SOURCE_DIR}/${folder} ${root}/${folder} SYMBOLIC)
    endif()
  endforeach()
  target_include_directories(${target} PUBLIC ${root})
endfunction()

# GoogleTest from Debian's sources, built with this tree's compiler.
macro(scribix_add_googletest)
  set(SCRIBIX_GTEST_SRC /usr/src/googletest CACHE PATH "GoogleTest sources")
  set(gtest_force_shared_crt ON CACHE BOOL "" FORCE)
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  set(BUILD_GMOCK ON CACHE BOOL "" FORCE)
  add_subdirectory(${SCRIBIX_GTEST_SRC} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL SYSTEM)
endmacro()

# Wine prefixes are per tree and per display kind; a ctest fixture makes the
# prefix once, keeps one primed wineserver alive for the whole run and stops
# it at the end. Defined lazily so a tree makes only the prefixes it uses.
# Everything that runs under Wine in the 32-bit tree is reported as skipped
# (exit status 77, with the reason in its output) on machines that cannot run
# 32-bit programs; scripts/wine-env probes that once per run.
function(_scribix_wine_fixture kind)
  get_property(done GLOBAL PROPERTY SCRIBIX_WINE_FIXTURE_${kind})
  if(done)
    return()
  endif()
  set_property(GLOBAL PROPERTY SCRIBIX_WINE_FIXTURE_${kind} ON)
  set(fixture ${SCRIBIX_TREE}.wine-${kind})
  set(prefix ${SCRIBIX_WINE_DIR}/${kind})
  add_test(NAME ${fixture}.up
           COMMAND ${SCRIBIX_SCRIPTS}/wine-prefix up ${prefix} ${kind} ${SCRIBIX_WINE_BITS})
  add_test(NAME ${fixture}.down
           COMMAND ${SCRIBIX_SCRIPTS}/wine-prefix down ${prefix} ${kind} ${SCRIBIX_WINE_BITS})
  set_tests_properties(${fixture}.up PROPERTIES FIXTURES_SETUP ${fixture} TIMEOUT 300
                       LABELS wine SKIP_RETURN_CODE 77)
  set_tests_properties(${fixture}.down PROPERTIES FIXTURES_CLEANUP ${fixture} TIMEOUT 60
                       LABELS wine)
endfunction()

# scribix_test(<name> SOURCES <files...> [LIBS <targets...>] [ARGS <args...>]
#              [LABELS <labels...>] [TIMEOUT <s>] [DISPLAY x11|x11managed] [NO_MAIN])
# Test code itself needs no heavy optimisation (the code it tests keeps its
# own): -O1 halves the compile time of a test file full of GoogleTest macros.
set(SCRIBIX_TEST_OPT -O1)

# Builds a GoogleTest program and registers it as the ctest test
# "<tree>.<name>". On Windows trees it runs under Wine: on the null display
# driver by default, or with DISPLAY x11 on the run's private Xvfb (x11managed:
# the same with the windows managed as in a user's own prefix; those
# tests take the display one at a time).
function(scribix_test name)
  cmake_parse_arguments(T "NO_MAIN" "TIMEOUT;DISPLAY" "SOURCES;LIBS;ARGS;LABELS" ${ARGN})
  set(exe test_${name})
  add_executable(${exe} ${T_SOURCES})
  if(T_NO_MAIN)
    target_link_libraries(${exe} PRIVATE GTest::gtest GTest::gmock ${T_LIBS})
  else()
    target_link_libraries(${exe} PRIVATE GTest::gtest_main GTest::gmock ${T_LIBS})
  endif()
  target_compile_options(${exe} PRIVATE ${SCRIBIX_TEST_OPT})
  if(SCRIBIX_WINDOWS)
    target_sources(${exe} PRIVATE ${CMAKE_SOURCE_DIR}/tests/support/HeapCheckAtEnd.cpp)
    target_link_libraries(${exe} PRIVATE scribix_win)
  endif()
  if(NOT T_TIMEOUT)
    set(T_TIMEOUT 300)
  endif()
  scribix_register_test(${name} ${exe} TIMEOUT ${T_TIMEOUT} DISPLAY "${T_DISPLAY}"
                        ARGS ${T_ARGS} LABELS ${T_LABELS})
endfunction()

# scribix_register_test(<name> <target> [ARGS ...] [LABELS ...] [TIMEOUT s] [DISPLAY x11|x11managed])
# Registers an already built program (GoogleTest or not) as a test.
function(scribix_register_test name target)
  cmake_parse_arguments(T "" "TIMEOUT;DISPLAY" "ARGS;LABELS" ${ARGN})
  set(test ${SCRIBIX_TREE}.${name})
  if(NOT T_TIMEOUT)
    set(T_TIMEOUT 300)
  endif()
  if(SCRIBIX_NATIVE)
    # The native tests compute; the Windows trees' desktop tests beside them
    # drive a paced pen, which loses points when its programs wait for a core.
    add_test(NAME ${test} COMMAND nice -n 10 $<TARGET_FILE:${target}> ${T_ARGS})
    set_tests_properties(${test} PROPERTIES ENVIRONMENT
      "ASAN_OPTIONS=detect_leaks=1:abort_on_error=0;UBSAN_OPTIONS=print_stacktrace=1")
    scribix_needs_build(${test})
  else()
    if(T_DISPLAY STREQUAL "x11")
      set(kind x11)
    elseif(T_DISPLAY STREQUAL "x11managed")
      set(kind x11managed)
    else()
      set(kind null)
    endif()
    # The target's emulator (scripts/wine-exec) runs it in the prefix named below.
    add_test(NAME ${test} COMMAND ${target} ${T_ARGS})
    # Each x11 kind has its own Xvfb: tests of one kind take its display, which
    # is its desktop, in turn.
    # The lock of an x11 kind is one for both Windows trees: their tests drive
    # the paced pen, which reads otherwise when another tree's pen runs beside.
    if(kind MATCHES "^x11")
      set_tests_properties(${test} PROPERTIES RESOURCE_LOCK desktop.${kind})
    endif()
    _scribix_wine_fixture(${kind})
    # wine-exec stops the program a little before ctest would kill it, so that
    # a test that hangs still leaves its output and a line that says so.
    math(EXPR deadline "${T_TIMEOUT} - 15")
    set_tests_properties(${test} PROPERTIES
      FIXTURES_REQUIRED ${SCRIBIX_TREE}.wine-${kind}
      ENVIRONMENT "WINEPREFIX=${SCRIBIX_WINE_DIR}/${kind};WINEDEBUG=-all,err+heap;SCRIBIX_CHECKS=1;SCRIBIX_WINE_KIND=${kind};SCRIBIX_WINE_BITS=${SCRIBIX_WINE_BITS};SCRIBIX_DEADLINE=${deadline}"
      SKIP_RETURN_CODE 77)
    list(APPEND T_LABELS wine)
  endif()
  set_tests_properties(${test} PROPERTIES TIMEOUT ${T_TIMEOUT}
                       WORKING_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR}
                       LABELS "${SCRIBIX_TREE};${T_LABELS}")
endfunction()

# The native tree's build runs as a test of its own (a fixture that every
# native test requires): scripts/test.sh configures the tree and leaves its
# build to the test run, where it goes on at the lowest priority beside the
# Windows tests, which mostly wait on windows, timers and the paced pen.
# Run again over a built tree it finds nothing to do.
function(scribix_native_build_fixture)
  if(SCRIBIX_NATIVE)
    add_test(NAME native.build COMMAND nice -n 19 ${CMAKE_COMMAND} --build ${CMAKE_BINARY_DIR})
    set_tests_properties(native.build PROPERTIES FIXTURES_SETUP native.build TIMEOUT 3000
                         COST 1000 LABELS native)
  endif()
endfunction()

# scribix_needs_build(<test>...): in the native tree the tests wait for its build.
function(scribix_needs_build)
  if(SCRIBIX_NATIVE)
    set_property(TEST ${ARGN} APPEND PROPERTY FIXTURES_REQUIRED native.build)
  endif()
endfunction()

# scribix_desktop_tests(<test>...): the tests (registered in this folder) take
# the desktop of their prefix one at a time.
function(scribix_desktop_tests)
  foreach(test IN LISTS ARGN)
    get_test_property(${test} ENVIRONMENT environment)
    set(lock ${SCRIBIX_TREE}.desktop)
    if(environment MATCHES "SCRIBIX_WINE_KIND=(x11[a-z0-9]*)")
      set(lock desktop.${CMAKE_MATCH_1})
    elseif(environment MATCHES "SCRIBIX_WINE_KIND=([a-z0-9]+)")
      set(lock ${SCRIBIX_TREE}.desktop.${CMAKE_MATCH_1})
    endif()
    set_property(TEST ${test} APPEND PROPERTY RESOURCE_LOCK ${lock})
  endforeach()
endfunction()

# scribix_repeat_tests(<test>...): the tests (registered in this folder) whose
# 32-bit run repeats the 64-bit one: the same code over the same windows, with
# nothing in it that the bitness changes. In the 32-bit tree they carry the
# label "repeat", which scripts/test.sh leaves out unless SCRIBIX_WIN32=full:
# with them a run on two cores takes half as long again.
function(scribix_repeat_tests)
  if(SCRIBIX_WINDOWS AND SCRIBIX_WINE_BITS EQUAL 32)
    foreach(test IN LISTS ARGN)
      set_property(TEST ${test} APPEND PROPERTY LABELS repeat)
    endforeach()
  endif()
endfunction()

# scribix_exports_test(<name> <dll target> <list file>): registers "<tree>.<name>",
# which passes when the DLL exports exactly the names and ordinals of the list.
function(scribix_exports_test name target list)
  add_test(NAME ${SCRIBIX_TREE}.${name}
           COMMAND ${SCRIBIX_SCRIPTS}/check-exports $<TARGET_FILE:${target}> ${list})
  set_tests_properties(${SCRIBIX_TREE}.${name} PROPERTIES LABELS "${SCRIBIX_TREE}")
endfunction()

# scribix_bench(<name> SOURCES ... [LIBS ...])
# A benchmark program over bench/harness.h. It is also registered as a quick
# test (one short repetition) so that benchmarks keep building and running.
function(scribix_bench name)
  cmake_parse_arguments(B "" "" "SOURCES;LIBS" ${ARGN})
  set(exe bench_${name})
  add_executable(${exe} ${B_SOURCES})
  target_include_directories(${exe} PRIVATE ${CMAKE_SOURCE_DIR}/bench)
  target_link_libraries(${exe} PRIVATE ${B_LIBS})
  scribix_register_test(bench.${name} ${exe} ARGS --quick LABELS bench)
endfunction()

# scribix_fuzz(<name> SOURCES <files...> [LIBS <targets...>] [CORPUS <dir>] [SECONDS <n>])
# A libFuzzer target (native tree with clang only). It stays in the tree and is
# registered as a short test run ("native.fuzz.<name>", SECONDS, default 15)
# that starts from the seed corpus CORPUS; new inputs go to the build tree.
# For a longer run: build/native/.../fuzz_<name> -max_total_time=600 <corpus>
function(scribix_fuzz name)
  if(NOT SCRIBIX_FUZZ)
    return()
  endif()
  cmake_parse_arguments(F "" "CORPUS;SECONDS" "SOURCES;LIBS" ${ARGN})
  if(NOT F_SECONDS)
    set(F_SECONDS 15)
  endif()
  set(exe fuzz_${name})
  add_executable(${exe} ${F_SOURCES})
  target_link_libraries(${exe} PRIVATE ${F_LIBS})
  target_link_options(${exe} PRIVATE -fsanitize=fuzzer)
  set(work ${CMAKE_CURRENT_BINARY_DIR}/${exe}.corpus)
  file(MAKE_DIRECTORY ${work})
  set(test native.fuzz.${name})
  add_test(NAME ${test} COMMAND nice -n 10 $<TARGET_FILE:${exe}> -max_total_time=${F_SECONDS} -timeout=10
                                 -print_final_stats=1 ${work} ${F_CORPUS})
  set_tests_properties(${test} PROPERTIES TIMEOUT 300 LABELS "native;fuzz"
    ENVIRONMENT "ASAN_OPTIONS=detect_leaks=1;UBSAN_OPTIONS=print_stacktrace=1")
  scribix_needs_build(${test})
endfunction()
