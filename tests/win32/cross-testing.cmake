# Testing a cross build. GoogleTest: compiled from /usr/src/googletest with the cross toolchain (the
# build host's libgtest cannot link into a Windows program). utfcpp is header-only: the build
# host's headers serve.
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL SYSTEM)
foreach(target gtest gtest_main)
    # Our own warnings-as-errors are for our code.
    get_target_property(options ${target} COMPILE_OPTIONS)
    if(options)
        list(REMOVE_ITEM options -Werror)
        set_target_properties(${target} PROPERTIES COMPILE_OPTIONS "${options}")
    endif()
endforeach()

if(NOT TARGET utf8cpp)
    add_library(utf8cpp INTERFACE IMPORTED)
    set_target_properties(utf8cpp PROPERTIES INTERFACE_INCLUDE_DIRECTORIES /usr/include/utf8cpp)
endif()

# Every test program runs under Wine in the tests' own prefix and session (see wine-fixture.sh).
set(LITVOROT_WINE_IDLE ${CMAKE_BINARY_DIR}/tests/win32/wine_idle.exe)
set(CMAKE_CROSSCOMPILING_EMULATOR
    ${CMAKE_CURRENT_SOURCE_DIR}/win32/wine-run.sh ${CMAKE_BINARY_DIR} ${LITVOROT_WINE_IDLE})
