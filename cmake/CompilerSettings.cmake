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

# Hardening for every program, the wake-up helper (which runs as root) above all: stack
# canaries, checked buffer calls, position-independent executables and a read-only
# relocation table bound at start-up. The checked calls need the optimiser; sanitizer
# builds go without them (they check more themselves, and the two collide).
include(CheckCXXSourceCompiles)
include(CheckPIESupported)
check_pie_supported()
set(CMAKE_POSITION_INDEPENDENT_CODE ON)
add_compile_options(-fstack-protector-strong)
add_link_options(-Wl,-z,relro,-z,now)
if(ORVANTA_SANITIZE STREQUAL "")
    set(CMAKE_REQUIRED_FLAGS "-O2 -Werror -U_FORTIFY_SOURCE -D_FORTIFY_SOURCE=3")
    check_cxx_source_compiles("
        #include <cstring>
        int main(int argc, char**) { char b[8]; std::memset(b, 0, sizeof b);
            return static_cast<int>(__builtin_dynamic_object_size(b, 0)) + argc; }"
        ORVANTA_HAVE_FORTIFY_3)
    unset(CMAKE_REQUIRED_FLAGS)
    if(ORVANTA_HAVE_FORTIFY_3)
        set(ORVANTA_FORTIFY_LEVEL 3)
    else()
        set(ORVANTA_FORTIFY_LEVEL 2)
    endif()
    # Only where the optimiser runs: without it the checks are not made, and glibc warns.
    add_compile_options("$<$<NOT:$<CONFIG:Debug>>:-U_FORTIFY_SOURCE;-D_FORTIFY_SOURCE=${ORVANTA_FORTIFY_LEVEL}>")
endif()
