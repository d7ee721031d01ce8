# Warnings, ccache and sanitizers for every target of the project.

find_program(CCACHE_PROGRAM ccache)
if(CCACHE_PROGRAM)
    set(CMAKE_CXX_COMPILER_LAUNCHER "${CCACHE_PROGRAM}")
endif()

if(NOT CMAKE_BUILD_TYPE AND NOT CMAKE_CONFIGURATION_TYPES)
    set(CMAKE_BUILD_TYPE RelWithDebInfo CACHE STRING "Build type" FORCE)
endif()

add_compile_options(-Wall -Wextra -Wshadow)
# GCC 12 reports std::string concatenation as overlapping memcpy at -O3 (GCC bug 105651).
if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU" AND CMAKE_CXX_COMPILER_VERSION VERSION_LESS 13)
    add_compile_options(-Wno-restrict)
endif()

option(ORVANTA_WERROR "Treat compiler warnings as errors" OFF)
if(ORVANTA_WERROR)
    add_compile_options(-Werror)
endif()

# ORVANTA_SANITIZE: "address" (with undefined behaviour), "thread", or "fuzzer" (address and
# undefined behaviour with libFuzzer's coverage; clang only).
set(ORVANTA_SANITIZE "" CACHE STRING "Sanitizer build: address or thread")
if(ORVANTA_SANITIZE STREQUAL "address")
    add_compile_options(-fsanitize=address,undefined -fno-omit-frame-pointer
                        -fno-sanitize-recover=undefined)
    add_link_options(-fsanitize=address,undefined)
elseif(ORVANTA_SANITIZE STREQUAL "thread")
    add_compile_options(-fsanitize=thread -fno-omit-frame-pointer)
    add_link_options(-fsanitize=thread)
elseif(ORVANTA_SANITIZE STREQUAL "fuzzer")
    # libFuzzer's coverage for everything; the harnesses link the fuzzer itself (clang).
    add_compile_options(-fsanitize=fuzzer-no-link,address,undefined -fno-omit-frame-pointer
                        -fno-sanitize-recover=undefined)
    add_link_options(-fsanitize=address,undefined)
elseif(NOT ORVANTA_SANITIZE STREQUAL "")
    message(FATAL_ERROR "ORVANTA_SANITIZE must be empty, address, thread or fuzzer")
endif()
