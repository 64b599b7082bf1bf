# Every target of the project links voluni_warnings; no folder sets its own flags.
add_library(voluni_warnings INTERFACE)
target_compile_options(voluni_warnings INTERFACE
    -Wall                 # the usual suspects: unused values, missing returns, bad format strings
    -Wextra               # unused parameters, signed/unsigned comparisons
    -Wpedantic            # non-standard extensions that would not build elsewhere
    -Wnon-virtual-dtor    # a polymorphic class deleted through its base (reader modules are)
    -Woverloaded-virtual  # a derived operation hiding a virtual of its base by accident
    -Wcast-align          # casts that break alignment of the wire buffers
    -Wformat=2            # format strings that are not literals
    -Wimplicit-fallthrough
    -Werror
)
