# Configures and builds the MinGW-w64 cross build of the project with the Windows test host and the
# binary-check samples in it. Run with cmake -DSOURCE_DIR=... -DBINARY_DIR=... -P CrossBuild.cmake.
foreach(variable SOURCE_DIR BINARY_DIR)
  if(NOT ${variable})
    message(FATAL_ERROR "CrossBuild.cmake needs -D${variable}=...")
  endif()
endforeach()

execute_process(
  COMMAND ${CMAKE_COMMAND} -S ${SOURCE_DIR} -B ${BINARY_DIR}
          -DCMAKE_TOOLCHAIN_FILE=${SOURCE_DIR}/cmake/mingw-w64-i686.cmake -DDYX_TESTS=OFF -DDYX_WINE_TESTS=ON
          -DDYX_WERROR=ON
  RESULT_VARIABLE configured)
if(NOT configured EQUAL 0)
  message(FATAL_ERROR "configuring the cross build failed")
endif()
execute_process(COMMAND ${CMAKE_COMMAND} --build ${BINARY_DIR} --parallel 2 RESULT_VARIABLE built)
if(NOT built EQUAL 0)
  message(FATAL_ERROR "the cross build failed")
endif()
foreach(product DYXWNKV.dll TARNEL.DLL dyx_wine_host.exe tools/dyx_host.exe binary-check-samples/sample-clean.dll)
  if(NOT EXISTS ${BINARY_DIR}/${product})
    message(FATAL_ERROR "the cross build made no ${product}; a Windows configure with DYX_WINE_TESTS adds "
                        "tests/wine/host from the top-level CMakeLists.txt")
  endif()
endforeach()
