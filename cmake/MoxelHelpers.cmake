# Adds every immediate subfolder of DIR that has a CMakeLists.txt, in name
# order, so tools, plug-ins, test suites and benchmarks can be added without
# touching a shared list.
function(moxel_add_subfolders dir)
  file(GLOB children RELATIVE ${CMAKE_CURRENT_SOURCE_DIR}/${dir}
       ${CMAKE_CURRENT_SOURCE_DIR}/${dir}/*)
  list(SORT children)
  foreach(child IN LISTS children)
    if(EXISTS ${CMAKE_CURRENT_SOURCE_DIR}/${dir}/${child}/CMakeLists.txt)
      add_subdirectory(${dir}/${child})
    endif()
  endforeach()
endfunction()

# moxel_engine_library(NAME SOURCES...): a static engine library whose
# headers are included as "folder/File.h" from the source root.
function(moxel_engine_library name)
  add_library(${name} STATIC ${ARGN})
  target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR})
  target_link_libraries(${name} PUBLIC Threads::Threads)
  moxel_strict_warnings(${name})
endfunction()

# moxel_strict_warnings(TARGETS...): the code without Qt (engine libraries,
# plug-ins, tools) also builds clean under -Wshadow -Wconversion.
function(moxel_strict_warnings)
  foreach(target IN LISTS ARGN)
    target_compile_options(${target} PRIVATE -Wshadow -Wconversion)
  endforeach()
endfunction()

# moxel_test(NAME SOURCES... LIBS libs...): a GoogleTest executable whose
# cases are registered with CTest one by one.
function(moxel_test name)
  cmake_parse_arguments(T "" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${T_SOURCES})
  target_link_libraries(${name} PRIVATE ${T_LIBS} moxel_testsupport GTest::gtest GTest::gtest_main GTest::gmock)
  gtest_discover_tests(${name} DISCOVERY_TIMEOUT 60 PROPERTIES TIMEOUT 300)
endfunction()
