# Settings every target of the project gets; applied per target, never globally.
function(kyv_target_defaults target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Wshadow
    $<$<COMPILE_LANGUAGE:CXX>:-Wsuggest-override -Wnon-virtual-dtor>)
  if(KYV_WERROR)
    target_compile_options(${target} PRIVATE -Werror)
  endif()
  if(KYV_SANITIZE)
    list(JOIN KYV_SANITIZE "," _san)
    target_compile_options(${target} PRIVATE -fsanitize=${_san} -fno-omit-frame-pointer
      -fno-sanitize-recover=all)
    target_link_options(${target} PRIVATE -fsanitize=${_san})
    # Component interfaces are called on objects that C hosts build (a table of function
    # pointers, no C++ type information): the vptr check would take every such call for a fault.
    if("undefined" IN_LIST KYV_SANITIZE)
      target_compile_options(${target} PRIVATE $<$<COMPILE_LANGUAGE:CXX>:-fno-sanitize=vptr>)
    endif()
    # Sanitizer instrumentation makes g++'s flow analysis report uninitialised values that are
    # not (seen in std::regex and std::function); the normal build keeps the warning.
    if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU")
      target_compile_options(${target} PRIVATE -Wno-maybe-uninitialized)
    endif()
  endif()
  if(KYV_FUZZ)
    target_compile_options(${target} PRIVATE -fsanitize=fuzzer-no-link)
  endif()
endfunction()

# A static library of one src/ folder: its headers are included as "folder/File.h".
function(kyv_library target)
  add_library(${target} STATIC ${ARGN})
  target_include_directories(${target} PUBLIC ${PROJECT_SOURCE_DIR}/src)
  kyv_target_defaults(${target})
endfunction()

# One GoogleTest executable per library, registered with CTest under a label.
function(kyv_test target label)
  add_executable(${target} ${ARGN})
  target_link_libraries(${target} PRIVATE GTest::gtest GTest::gtest_main GTest::gmock)
  kyv_target_defaults(${target})
  gtest_discover_tests(${target} PROPERTIES LABELS ${label} TIMEOUT 120 DISCOVERY_TIMEOUT 60)
endfunction()
