# SPDX-License-Identifier: GPL-3.0-or-later
# Runs scripts/check_layers.cmake over the project in fixture/ and compares what it
# reports with the faults planted there, no more and no fewer.
#
# usage: cmake -DWORK_DIR=<scratch folder> -P check_layers_test.cmake
cmake_minimum_required(VERSION 3.25)

set(fixture "${CMAKE_CURRENT_LIST_DIR}/fixture")
set(expected
    "apart.cpp:1: includes <SDL.h>, but apart does not link PkgConfig::SDL2"
    "apart.cpp:3: includes \"high.h\" of high, which apart does not link"
    "high.cpp:5: includes \"unlisted.h\", which no target lists among its sources"
    "quiet is compiled without -Wall: it does not link trovik_warnings"
    "quiet.cpp:1: includes \"apart.h\" of apart, which quiet does not link")

# Configured once, without the query: the check has to ask and configure
# again by itself, as in a fresh build tree.
file(REMOVE_RECURSE "${WORK_DIR}")
execute_process(COMMAND "${CMAKE_COMMAND}" -S "${fixture}" -B "${WORK_DIR}" OUTPUT_QUIET
                RESULT_VARIABLE failed)
if(failed)
    message(FATAL_ERROR "Configuring the fixture failed")
endif()

execute_process(
    COMMAND "${CMAKE_COMMAND}" -DBUILD_DIR=${WORK_DIR} -DWARNING_OPTIONS=-Wall,-Wextra
            -DSDL2_INCLUDE_DIRS=${fixture}/sdl2 -DSNDFILE_INCLUDE_DIRS=${fixture}/sndfile
            -P "${CMAKE_CURRENT_LIST_DIR}/../../scripts/check_layers.cmake"
    RESULT_VARIABLE failed
    OUTPUT_VARIABLE output
    ERROR_VARIABLE output)
if(NOT failed)
    message(FATAL_ERROR "The check passed a project with broken layers:\n${output}")
endif()

string(REPLACE "\n" ";" lines "${output}")
set(reported "")
foreach(line IN LISTS lines)
    if(line MATCHES "(: includes |is compiled without)")
        list(APPEND reported "${line}")
    endif()
endforeach()
list(SORT reported)
if(NOT reported STREQUAL expected)
    list(JOIN expected "\n" expected_text)
    message(FATAL_ERROR "Expected:\n${expected_text}\n\nThe check said:\n${output}")
endif()
