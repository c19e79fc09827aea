# cmake -P: configures the project's engine against stand-in simdjson
# packages that declare other releases than the one installed, with the
# installed package's own folder hidden, and builds the engine against the
# one it accepts. A stand-in has simdjson's own kind of version file
# (SameMinorVersion) and loads the installed package's targets, so only the
# declared version differs.
#
# The accepted configuration is also made as for a payload author without Qt
# (CMAKE_DISABLE_FIND_PACKAGE_Qt6): it must say that it builds the checker
# alone, list only the engine's and the checker's tests, build the checker
# and package it by itself.
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

# Configures with the stand-in of `version` and the settings after it (by
# default the engine alone): sets `result` and `output`.
function(configure_with version)
    set(_settings ${ARGN})
    if(NOT _settings)
        set(_settings -DZUNO_GUI=OFF -DBUILD_TESTING=OFF -DZUNO_BENCH=OFF)
    endif()
    make_standin(${version})
    execute_process(
        COMMAND "${CMAKE_COMMAND}" -S "${SOURCE_DIR}" -B "${_build}" -G "${GENERATOR}"
                "-DCMAKE_CXX_COMPILER=${CXX}" "-DCMAKE_PREFIX_PATH=${PREFIX_PATH}"
                "-Dnlohmann_json_DIR=${NLOHMANN_DIR}" "-Dsimdjson_DIR=${WORK_DIR}/simdjson-${version}"
                "-DCMAKE_IGNORE_PATH=${_hidden}" ${_settings} "-DZUNO_WERROR=${WERROR}"
        RESULT_VARIABLE _result OUTPUT_VARIABLE _output ERROR_VARIABLE _output)
    # CMake wraps its messages: matched with the white space made one space.
    string(REGEX REPLACE "[ \t\r\n]+" " " _output "${_output}")
    set(result "${_result}" PARENT_SCOPE)
    set(output "${_output}" PARENT_SCOPE)
endfunction()

# 4.x, as Homebrew ships it: accepted, and it is the stand-in that is used;
# without Qt, as a payload author would build.
configure_with(4.1.0 -DCMAKE_DISABLE_FIND_PACKAGE_Qt6=ON -DBUILD_TESTING=ON)
if(NOT result EQUAL 0)
    fail("simdjson 4.1.0 was refused, or the project does not configure without Qt:\n${output}")
endif()
if(NOT output MATCHES "Qt 6\\.2 or later \\(Core, Gui, Widgets\\) was not found: building only the engine, zuno-payload-check and their tests")
    fail("without Qt the configuration does not say what it builds:\n${output}")
endif()
file(STRINGS "${_build}/CMakeCache.txt" _used REGEX "^simdjson_DIR:")
string(REGEX REPLACE "^simdjson_DIR:[A-Z]+=" "" _used "${_used}")
if(NOT _used STREQUAL "${WORK_DIR}/simdjson-4.1.0")
    fail("the engine was configured with another simdjson than the 4.1.0 stand-in: ${_used}")
endif()
execute_process(COMMAND "${CMAKE_CTEST_COMMAND}" -N WORKING_DIRECTORY "${_build}" OUTPUT_VARIABLE _tests)
if(NOT _tests MATCHES "payload_check_tests" OR NOT _tests MATCHES "engine_protocol_tests" OR _tests MATCHES "ui_|app_|state_")
    fail("without Qt the tests are not the engine's and the checker's alone:\n${_tests}")
endif()
execute_process(COMMAND "${CMAKE_COMMAND}" --build "${_build}" --target zuno-payload-check --parallel 1
                RESULT_VARIABLE _result OUTPUT_VARIABLE _output ERROR_VARIABLE _output)
if(NOT _result EQUAL 0)
    fail("the engine and the checker do not build with the simdjson 4.1.0 stand-in and without Qt:\n${_output}")
endif()
file(REMOVE_RECURSE "${WORK_DIR}/packages")
execute_process(COMMAND "${CMAKE_CPACK_COMMAND}" --config "${_build}/CPackConfig.cmake" -B "${WORK_DIR}/packages"
                RESULT_VARIABLE _result OUTPUT_VARIABLE _output ERROR_VARIABLE _output)
file(GLOB _packages RELATIVE "${WORK_DIR}/packages" "${WORK_DIR}/packages/*.tar.gz")
if(NOT _result EQUAL 0 OR NOT _packages MATCHES "^zuno-payload-check-[^;]*\\.tar\\.gz$")
    fail("without Qt the package is not the checker's archive alone (${_packages}):\n${_output}")
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
message(STATUS "simdjson 4.1.0 taken and the engine and the checker built and packaged without Qt, "
               "2.2.0 refused, 5.0.0 taken with a warning")
