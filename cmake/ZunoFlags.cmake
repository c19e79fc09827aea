# Shared compile settings: every target of the project links zuno_flags.
add_library(zuno_flags INTERFACE)
target_compile_features(zuno_flags INTERFACE cxx_std_20)
set(CMAKE_CXX_EXTENSIONS OFF)
target_include_directories(zuno_flags INTERFACE "${PROJECT_SOURCE_DIR}")
target_compile_options(zuno_flags INTERFACE -Wall -Wextra -Wpedantic)
if(ZUNO_WERROR)
    # Except deprecations: what a newer Qt, SDK or library deprecates stays a
    # warning, which the test command lists at its end, and not a broken build.
    target_compile_options(zuno_flags INTERFACE -Werror -Wno-error=deprecated-declarations)
endif()
target_compile_definitions(zuno_flags INTERFACE
    QT_NO_CAST_FROM_ASCII
    QT_NO_CAST_TO_ASCII
    QT_NO_CAST_FROM_BYTEARRAY
    QT_NO_URL_CAST_FROM_STRING
    QT_NO_NARROWING_CONVERSIONS_IN_CONNECT
    QT_NO_FOREACH
    QT_NO_KEYWORDS)

if(ZUNO_SANITIZE)
    string(REPLACE ";" "," _zuno_san "${ZUNO_SANITIZE}")
    target_compile_options(zuno_flags INTERFACE -fsanitize=${_zuno_san} -fno-omit-frame-pointer -fno-sanitize-recover=all)
    target_link_options(zuno_flags INTERFACE -fsanitize=${_zuno_san})
endif()

# An LLVM clang other than Apple's (Homebrew's llvm, for libFuzzer) compiles
# against its own libc++ headers; linked with the system's older libc++ the
# program misses symbols such as std::__1::__hash_memory. It links the libc++
# and libunwind beside it instead, as that LLVM's own notes say.
if(APPLE AND CMAKE_CXX_COMPILER_ID STREQUAL "Clang")
    get_filename_component(_zuno_llvm "${CMAKE_CXX_COMPILER}" DIRECTORY)
    get_filename_component(_zuno_llvm "${_zuno_llvm}" DIRECTORY)
    if(EXISTS "${_zuno_llvm}/lib/c++/libc++.dylib")
        target_link_options(zuno_flags INTERFACE
            "-L${_zuno_llvm}/lib/c++" "-L${_zuno_llvm}/lib/unwind" -lunwind
            "LINKER:-rpath,${_zuno_llvm}/lib/c++" "LINKER:-rpath,${_zuno_llvm}/lib/unwind")
    endif()
endif()

if(ZUNO_FUZZ)
    # Coverage feedback from the code under test, not only from the fuzzers'
    # own files: libFuzzer is otherwise blind inside the libraries.
    target_compile_options(zuno_flags INTERFACE $<$<COMPILE_LANGUAGE:CXX>:-fsanitize=fuzzer-no-link>)
endif()

# zuno_fuzzer(<name> <source> <library>...): a libFuzzer program.
function(zuno_fuzzer name source)
    add_executable(${name} ${source})
    target_compile_options(${name} PRIVATE -fsanitize=fuzzer)
    target_link_options(${name} PRIVATE -fsanitize=fuzzer)
    target_link_libraries(${name} PRIVATE ${ARGN})
endfunction()
