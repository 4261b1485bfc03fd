# Adds the reliability suites (tests/faults, tests/soak, tests/fuzzregress) to a build of the
# project when tests/CMakeLists.txt does not list them itself. Use it as
#   cmake -S . -B build -DCMAKE_PROJECT_srvdiag_INCLUDE=$PWD/scripts/ci-reliability.cmake
# The folders' build files are read at the end of the top-level file, when every target and
# option they use exists; they name their files by CMAKE_CURRENT_LIST_DIR, so they work both ways.
function(srvdiag_add_reliability_suites)
    if(NOT SRVDIAG_BUILD_TESTS)
        return()
    endif()
    get_property(added DIRECTORY ${CMAKE_SOURCE_DIR}/tests PROPERTY SUBDIRECTORIES)
    foreach(dir faults soak fuzzregress)
        set(source ${CMAKE_SOURCE_DIR}/tests/${dir})
        if(EXISTS ${source}/CMakeLists.txt AND NOT source IN_LIST added)
            include(${source}/CMakeLists.txt)
        endif()
    endforeach()
endfunction()
cmake_language(DEFER DIRECTORY ${CMAKE_SOURCE_DIR} CALL srvdiag_add_reliability_suites)
