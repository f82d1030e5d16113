# Helpers that keep each folder's CMakeLists to a few lines.

# koron_core_library(NAME SOURCES file... [LINKS target...] [ICU])
# A static core library: plain C++ that links no Qt, included by its folder path from the
# project's root ("text/line_reader.h"). ICU adds ICU's common library.
function(koron_core_library name)
  cmake_parse_arguments(PARSE_ARGV 1 arg "ICU" "" "SOURCES;LINKS")
  add_library(${name} STATIC ${arg_SOURCES})
  target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR})
  if(arg_ICU)
    find_package(ICU REQUIRED COMPONENTS uc)
    target_link_libraries(${name} PUBLIC ICU::uc)
  endif()
  if(arg_LINKS)
    target_link_libraries(${name} PUBLIC ${arg_LINKS})
  endif()
endfunction()

# koron_gtest(NAME SOURCES file... [LINKS target...] [OWN_MAIN] [OFFSCREEN])
# A GoogleTest executable whose tests CTest discovers one by one. OWN_MAIN: the sources bring
# main() (to set up a QGuiApplication, say). OFFSCREEN: run on Qt's offscreen platform.
function(koron_gtest name)
  cmake_parse_arguments(PARSE_ARGV 1 arg "OWN_MAIN;OFFSCREEN" "" "SOURCES;LINKS")
  add_executable(${name} ${arg_SOURCES})
  if(arg_OWN_MAIN)
    target_link_libraries(${name} PRIVATE ${arg_LINKS} GTest::gtest)
  else()
    target_link_libraries(${name} PRIVATE ${arg_LINKS} GTest::gtest_main)
  endif()
  if(arg_OFFSCREEN)
    gtest_discover_tests(${name} PROPERTIES ENVIRONMENT "QT_QPA_PLATFORM=offscreen")
  else()
    gtest_discover_tests(${name})
  endif()
endfunction()
