# The Windows build: the serial component with its Win32 platform layer, SetupAPI discovery and
# the tests that run under Wine. Qt, libudev, the ELF hardening flags and the Linux-only programs
# and packaging are not part of it.
find_package(Threads REQUIRED)

add_subdirectory(serial)
add_subdirectory(worker)

if(SRVDIAG_BUILD_TESTS)
    enable_testing()
    # GoogleTest from the source tree Debian's libgtest-dev installs, built with the cross
    # compiler.
    set(SRVDIAG_GTEST_SOURCE /usr/src/googletest CACHE PATH "GoogleTest sources")
    set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
    set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
    add_subdirectory(${SRVDIAG_GTEST_SOURCE} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL
                     SYSTEM)
    add_subdirectory(tests/windows)
endif()
