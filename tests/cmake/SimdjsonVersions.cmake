# cmake -P: configures the project's engine against stand-in simdjson
# packages that declare other releases than the one installed, with the
# installed package's own folder hidden, and builds the engine against the
# one it accepts. A stand-in has simdjson's own kind of version file
# (SameMinorVersion) and loads the installed package's targets, so only the
# declared version differs.
#
# -D SOURCE_DIR, WORK_DIR, REAL_DIR (the installed package's folder),
#    GENERATOR, CXX, PREFIX_PATH, NLOHMANN_DIR, WERROR
cmake_minimum_required(VERSION 3.21)
include(CMakePackageConfigHelpers)

function(fail)
    string(JOIN "" _text ${ARGN})
    message(FATAL_ERROR "${_text}")
endfunction()

function(make_standin version)
    set(_dir "${WORK_DIR}/simdjson-${version}")
    file(MAKE_DIRECTORY "${_dir}")
    write_basic_package_version_file("${_dir}/simdjson-config-version.cmake"
        VERSION ${version} COMPATIBILITY SameMinorVersion)
    file(WRITE "${_dir}/simdjson-config.cmake" "include(\"${REAL_DIR}/simdjson-config.cmake\")\n")
endfunction()

# The installed package's folder under every name a search may reach it by:
# its real path, and with and without /usr where /lib is a link to /usr/lib.
file(REAL_PATH "${REAL_DIR}" _real)
set(_hidden "${REAL_DIR}" "${_real}")
foreach(_path IN ITEMS "${REAL_DIR}" "${_real}")
    if(_path MATCHES "^/usr(/.*)$")
        list(APPEND _hidden "${CMAKE_MATCH_1}")
    else()
        list(APPEND _hidden "/usr${_path}")
    endif()
endforeach()
list(REMOVE_DUPLICATES _hidden)

set(_build "${WORK_DIR}/build")
file(REMOVE_RECURSE "${_build}")

# Configures with the stand-in of `version`: sets `result` and `output`.
function(configure_with version)
    make_standin(${version})
    execute_process(
        COMMAND "${CMAKE_COMMAND}" -S "${SOURCE_DIR}" -B "${_build}" -G "${GENERATOR}"
                "-DCMAKE_CXX_COMPILER=${CXX}" "-DCMAKE_PREFIX_PATH=${PREFIX_PATH}"
                "-Dnlohmann_json_DIR=${NLOHMANN_DIR}" "-Dsimdjson_DIR=${WORK_DIR}/simdjson-${version}"
                "-DCMAKE_IGNORE_PATH=${_hidden}" -DZUNO_GUI=OFF -DBUILD_TESTING=OFF -DZUNO_BENCH=OFF
                "-DZUNO_WERROR=${WERROR}"
        RESULT_VARIABLE _result OUTPUT_VARIABLE _output ERROR_VARIABLE _output)
    # CMake wraps its messages: matched with the white space made one space.
    string(REGEX REPLACE "[ \t\r\n]+" " " _output "${_output}")
    set(result "${_result}" PARENT_SCOPE)
    set(output "${_output}" PARENT_SCOPE)
endfunction()

# 4.x, as Homebrew ships it: accepted, and it is the stand-in that is used.
configure_with(4.1.0)
if(NOT result EQUAL 0)
    fail("simdjson 4.1.0 was refused:\n${output}")
endif()
file(STRINGS "${_build}/CMakeCache.txt" _used REGEX "^simdjson_DIR:")
string(REGEX REPLACE "^simdjson_DIR:[A-Z]+=" "" _used "${_used}")
if(NOT _used STREQUAL "${WORK_DIR}/simdjson-4.1.0")
    fail("the engine was configured with another simdjson than the 4.1.0 stand-in: ${_used}")
endif()
execute_process(COMMAND "${CMAKE_COMMAND}" --build "${_build}" --target zuno_engine --parallel 1
                RESULT_VARIABLE _result OUTPUT_VARIABLE _output ERROR_VARIABLE _output)
if(NOT _result EQUAL 0)
    fail("the engine does not build with the simdjson 4.1.0 stand-in:\n${_output}")
endif()

# Older than the engine's API: refused, with the version found in the message.
configure_with(2.2.0)
if(result EQUAL 0)
    fail("simdjson 2.2.0 was accepted:\n${output}")
endif()
if(NOT output MATCHES "simdjson 2\\.2\\.0 at [^ ]*: the engine needs simdjson 3\\.0 or later")
    fail("simdjson 2.2.0 was refused without saying why:\n${output}")
endif()

# A later major release: accepted with a warning.
configure_with(5.0.0)
if(NOT result EQUAL 0 OR NOT output MATCHES "simdjson 5\\.0\\.0 is newer than the 3\\.x and 4\\.x")
    fail("simdjson 5.0.0 was not taken with a warning:\n${output}")
endif()
message(STATUS "simdjson 4.1.0 taken and the engine built, 2.2.0 refused, 5.0.0 taken with a warning")
