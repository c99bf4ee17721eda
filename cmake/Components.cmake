# Helpers shared by every folder's CMakeLists.txt.

set(MC_WARNINGS -Wall -Wextra -Wno-unused-parameter -Wno-missing-field-initializers)

if(MC_FUZZ)
  # Everything is instrumented for coverage, so that libFuzzer sees into the libraries it drives.
  add_compile_options(-fsanitize=fuzzer-no-link,address,undefined)
  add_link_options(-fsanitize=address,undefined)
endif()

if(MC_SANITIZE)
  set(MC_SANITIZER_FLAGS -fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer)
  add_compile_options(${MC_SANITIZER_FLAGS})
  add_link_options(${MC_SANITIZER_FLAGS})
endif()

# mc_add_folders(dir...): add each folder that has a CMakeLists.txt.
function(mc_add_folders)
  foreach(dir IN LISTS ARGN)
    if(EXISTS ${CMAKE_CURRENT_SOURCE_DIR}/${dir}/CMakeLists.txt)
      add_subdirectory(${dir})
    endif()
  endforeach()
endfunction()

# mc_add_subfolders(): add every direct subfolder of the current folder that has a CMakeLists.txt,
# in name order (tests/, bench/, fuzz/, tools/).
function(mc_add_subfolders)
  file(GLOB children LIST_DIRECTORIES true RELATIVE ${CMAKE_CURRENT_SOURCE_DIR} ${CMAKE_CURRENT_SOURCE_DIR}/*)
  list(SORT children)
  foreach(child IN LISTS children)
    if(IS_DIRECTORY ${CMAKE_CURRENT_SOURCE_DIR}/${child} AND EXISTS ${CMAKE_CURRENT_SOURCE_DIR}/${child}/CMakeLists.txt)
      add_subdirectory(${child})
    endif()
  endforeach()
endfunction()

# mc_library(name SOURCES ... [DEPS ...]): one static library per folder.
function(mc_library name)
  cmake_parse_arguments(A "" "" "SOURCES;DEPS" ${ARGN})
  add_library(${name} STATIC ${A_SOURCES})
  target_compile_options(${name} PRIVATE ${MC_WARNINGS})
  if(A_DEPS)
    target_link_libraries(${name} PUBLIC ${A_DEPS})
  endif()
endfunction()

# mc_test(name SOURCES ... [DEPS ...]): a GoogleTest binary; every case becomes a ctest test.
function(mc_test name)
  cmake_parse_arguments(A "" "" "SOURCES;DEPS" ${ARGN})
  add_executable(${name} ${A_SOURCES})
  target_compile_options(${name} PRIVATE ${MC_WARNINGS})
  target_link_libraries(${name} PRIVATE ${A_DEPS} GTest::gtest GTest::gmock GTest::gtest_main)
  target_compile_definitions(${name} PRIVATE
    MC_SOURCE_DIR="${PROJECT_SOURCE_DIR}" MC_BINARY_DIR="${PROJECT_BINARY_DIR}")
  gtest_discover_tests(${name} DISCOVERY_MODE PRE_TEST DISCOVERY_TIMEOUT 60
    PROPERTIES TIMEOUT 300 ENVIRONMENT "HOSTREG_PATH=${PROJECT_BINARY_DIR}/test-registry/${name}.reg")
endfunction()

# mc_tool(name SOURCES ... [DEPS ...]): a command-line front end.
function(mc_tool name)
  cmake_parse_arguments(A "" "" "SOURCES;DEPS" ${ARGN})
  add_executable(${name} ${A_SOURCES})
  target_compile_options(${name} PRIVATE ${MC_WARNINGS})
  target_link_libraries(${name} PRIVATE ${A_DEPS})
  set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${PROJECT_BINARY_DIR}/bin)
endfunction()

# mc_fuzz(name SOURCES ... [DEPS ...] [CORPUS dir]): a fuzz target. With MC_FUZZ (clang) it is a
# libFuzzer binary; otherwise it is built with a small driver that replays the seed corpus and a
# fixed number of deterministic mutations, and runs as a ctest test under the sanitizers.
function(mc_fuzz name)
  cmake_parse_arguments(A "" "CORPUS" "SOURCES;DEPS" ${ARGN})
  if(MC_FUZZ)
    add_executable(${name} ${A_SOURCES})
    target_compile_options(${name} PRIVATE -fsanitize=fuzzer,address,undefined)
    target_link_options(${name} PRIVATE -fsanitize=fuzzer,address,undefined)
  else()
    add_executable(${name} ${A_SOURCES} ${PROJECT_SOURCE_DIR}/fuzz/replay_main.cpp)
    if(MC_TESTS)
      set(corpus "")
      if(A_CORPUS)
        set(corpus ${CMAKE_CURRENT_SOURCE_DIR}/${A_CORPUS})
      endif()
      add_test(NAME fuzz.${name} COMMAND ${name} --iterations 2000 ${corpus})
      set_tests_properties(fuzz.${name} PROPERTIES
        ENVIRONMENT "HOSTREG_PATH=${PROJECT_BINARY_DIR}/test-registry/${name}.reg")
    endif()
  endif()
  target_link_libraries(${name} PRIVATE ${A_DEPS})
  set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${PROJECT_BINARY_DIR}/fuzz)
endfunction()

# mc_bench(name SOURCES ... [DEPS ...]): a Google Benchmark binary (optimised build only).
function(mc_bench name)
  cmake_parse_arguments(A "" "" "SOURCES;DEPS" ${ARGN})
  add_executable(${name} ${A_SOURCES})
  target_link_libraries(${name} PRIVATE ${A_DEPS} benchmark::benchmark)
  set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${PROJECT_BINARY_DIR}/bench)
endfunction()

# mc_product(name LIBS ... [EXPORTS ...] [LINK ...]): one of the three delivered shared libraries.
# Whole static libraries are linked in; the version script makes exactly the EXPORTS visible
# (functions marked MC_EXPORT where they are defined), so that no library internals or template
# instantiations leak out of the module.
function(mc_product name)
  cmake_parse_arguments(A "" "" "LIBS;EXPORTS;LINK" ${ARGN})
  set(present "")
  foreach(lib IN LISTS A_LIBS)
    if(TARGET ${lib})
      list(APPEND present ${lib})
    endif()
  endforeach()
  set(script "{\n")
  if(A_EXPORTS)
    string(APPEND script "  global:\n")
    foreach(sym IN LISTS A_EXPORTS)
      string(APPEND script "    ${sym};\n")
    endforeach()
  endif()
  string(APPEND script "  local: *;\n};\n")
  set(map ${PROJECT_BINARY_DIR}/products/${name}.map)
  file(WRITE ${map} "${script}")
  add_library(${name} SHARED ${PROJECT_SOURCE_DIR}/products/module.cpp)
  # Whole archives through plain linker flags rather than CMake's WHOLE_ARCHIVE feature, which
  # refuses a library that also arrives through another folder's DEPS. The libraries are linked
  # normally as well, which brings their own dependencies; the second mention adds nothing.
  # One group for all of them: link options are de-duplicated, so a second
  # --whole-archive/--no-whole-archive pair would vanish and leave the later archives unwrapped.
  set(archives "")
  foreach(lib IN LISTS present)
    list(APPEND archives "$<TARGET_FILE:${lib}>")
    add_dependencies(${name} ${lib})
    set_property(TARGET ${name} APPEND PROPERTY LINK_DEPENDS $<TARGET_FILE:${lib}>)
  endforeach()
  if(archives)
    target_link_options(${name} PRIVATE "LINKER:--whole-archive" ${archives} "LINKER:--no-whole-archive")
  endif()
  target_link_libraries(${name} PRIVATE ${present})
  target_link_libraries(${name} PRIVATE ${A_LINK})
  target_link_options(${name} PRIVATE -Wl,--version-script=${map})
  if(NOT MC_FUZZ)  # clang's sanitizer runtimes are linked into executables only
    target_link_options(${name} PRIVATE -Wl,--no-undefined)
  endif()
  set_target_properties(${name} PROPERTIES LIBRARY_OUTPUT_DIRECTORY ${PROJECT_BINARY_DIR}/lib
                                           LINK_DEPENDS ${map} MC_EXPORTS "${A_EXPORTS}")
endfunction()
