# One switch turns the address and undefined-behaviour sanitizers on for every target.
add_library(voluni_sanitizers INTERFACE)
if(VOLUNI_SANITIZE)
    include(CheckCXXSourceCompiles)
    set(CMAKE_REQUIRED_FLAGS "-fsanitize=address,undefined")
    set(CMAKE_REQUIRED_LINK_OPTIONS "-fsanitize=address,undefined")
    check_cxx_source_compiles("int main() { return 0; }" VOLUNI_HAVE_SANITIZERS)
    unset(CMAKE_REQUIRED_FLAGS)
    unset(CMAKE_REQUIRED_LINK_OPTIONS)
    if(NOT VOLUNI_HAVE_SANITIZERS)
        message(FATAL_ERROR "VOLUNI_SANITIZE is on but the compiler cannot build with -fsanitize=address,undefined")
    endif()
    # Halt on the first finding instead of printing and going on.
    target_compile_options(voluni_sanitizers INTERFACE
        -fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer)
    target_link_options(voluni_sanitizers INTERFACE -fsanitize=address,undefined)
endif()

# Shared settings for every project target.
add_library(voluni_options INTERFACE)
target_link_libraries(voluni_options INTERFACE voluni_warnings voluni_sanitizers)
