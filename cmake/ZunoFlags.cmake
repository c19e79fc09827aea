# Shared compile settings: every target of the project links zuno_flags.
add_library(zuno_flags INTERFACE)
target_compile_features(zuno_flags INTERFACE cxx_std_20)
set(CMAKE_CXX_EXTENSIONS OFF)
target_include_directories(zuno_flags INTERFACE "${PROJECT_SOURCE_DIR}")
target_compile_options(zuno_flags INTERFACE -Wall -Wextra -Wpedantic)
if(ZUNO_WERROR)
    target_compile_options(zuno_flags INTERFACE -Werror)
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
