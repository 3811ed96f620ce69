# vyr_add_library(<target> [WHOLE_ARCHIVE] [LIBS ...])
# One library per source folder: every .cpp below the folder belongs to it,
# except those in its main/ folder, which hold the mains of its programs, and
# those below a subfolder with its own CMakeLists.txt, a library of its own.
# WHOLE_ARCHIVE is for folders with static registration objects (registries
# filled before main()): the archive is then built as <target>_archive and
# <target> links it whole into every program, so no row is dropped.
function(vyr_add_library target)
  cmake_parse_arguments(ARG "WHOLE_ARCHIVE" "" "LIBS" ${ARGN})
  file(GLOB_RECURSE sources CONFIGURE_DEPENDS
       ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp ${CMAKE_CURRENT_SOURCE_DIR}/*.c ${CMAKE_CURRENT_SOURCE_DIR}/*.h)
  set(excluded_prefixes "${CMAKE_CURRENT_SOURCE_DIR}/main/")
  file(GLOB_RECURSE sublibrary_lists CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*/CMakeLists.txt)
  foreach(list_file ${sublibrary_lists})
    get_filename_component(sublibrary_dir ${list_file} DIRECTORY)
    list(APPEND excluded_prefixes "${sublibrary_dir}/")
  endforeach()
  # Compared as prefixes, not patterns: the checkout's own path may contain "main".
  set(library_sources "")
  foreach(source ${sources})
    set(excluded FALSE)
    foreach(prefix ${excluded_prefixes})
      string(LENGTH "${prefix}" prefix_length)
      string(SUBSTRING "${source}" 0 ${prefix_length} source_prefix)
      if(source_prefix STREQUAL prefix)
        set(excluded TRUE)
      endif()
    endforeach()
    if(NOT excluded)
      list(APPEND library_sources ${source})
    endif()
  endforeach()
  set(archive ${target})
  if(ARG_WHOLE_ARCHIVE)
    set(archive ${target}_archive)
  endif()
  add_library(${archive} STATIC ${library_sources})
  target_include_directories(${archive} PUBLIC ${CMAKE_SOURCE_DIR})
  target_link_libraries(${archive} PUBLIC ${ARG_LIBS})
  if(ARG_WHOLE_ARCHIVE)
    add_library(${target} INTERFACE)
    target_link_libraries(${target} INTERFACE "$<LINK_LIBRARY:WHOLE_ARCHIVE,${archive}>")
  endif()
endfunction()

# vyr_add_tests(<folder> LIBS ...)
# Every tests/<folder>/*_test.cpp becomes one test program, registered in CTest
# with the label of its folder. GUI tests run on the offscreen platform. A
# program some of whose tests skipped exits with 77 (tests/common/test_main.cpp)
# and CTest lists it as skipped, not passed.
function(vyr_add_tests folder)
  cmake_parse_arguments(ARG "" "" "LIBS" ${ARGN})
  # No test reaches the machine's system bus (logind's power calls): those
  # that want one start their own and point this variable at it.
  set(environment QT_QPA_PLATFORM=offscreen DBUS_SYSTEM_BUS_ADDRESS=unix:path=/nonexistent/vyr-test-system-bus
      ${VYR_SANITIZER_TEST_ENVIRONMENT})
  file(GLOB test_sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*_test.cpp)
  foreach(src ${test_sources})
    get_filename_component(name ${src} NAME_WE)
    set(target ${folder}_${name})
    add_executable(${target} ${src})
    set_target_properties(${target} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests)
    target_link_libraries(${target} PRIVATE vyr_test_main ${ARG_LIBS})
    add_test(NAME ${target} COMMAND ${target})
    set_tests_properties(${target} PROPERTIES
      LABELS ${folder}
      ENVIRONMENT "${environment}"
      SKIP_RETURN_CODE 77
      TIMEOUT 300)
  endforeach()
endfunction()

# vyr_add_benchmark(<name> <source> LIBS ...)
# Benchmarks that measure on real files find them in the test data folder
# (tests/common/test_paths.h).
function(vyr_add_benchmark name source)
  cmake_parse_arguments(ARG "" "" "LIBS" ${ARGN})
  add_executable(${name} ${source})
  set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bench)
  target_link_libraries(${name} PRIVATE benchmark::benchmark ${ARG_LIBS})
endfunction()
