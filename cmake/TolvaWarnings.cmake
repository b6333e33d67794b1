# Warnings and floating-point rules for Tolva's own targets.
# The sound must be bit-exact, so no contraction into fused multiply-adds and
# no fast-math anywhere; flush-to-zero stays off.
function(tolva_target_defaults target)
    target_compile_options(${target} PRIVATE
        -Wall -Wextra -Wshadow -Wconversion
        -ffp-contract=off -fno-fast-math)
    if(CMAKE_CXX_COMPILER_ID MATCHES "Clang" AND CMAKE_CXX_COMPILER_VERSION VERSION_GREATER_EQUAL 19)
        # The nonblocking attribute is checked at run time by RealtimeSanitizer;
        # the static effect analysis would flag every libm call.
        target_compile_options(${target} PRIVATE -Wno-function-effects -Wno-perf-constraint-implies-noexcept)
    endif()
endfunction()
