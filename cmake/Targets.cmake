# Compile options shared by every target of ours.
function(engine_target_options target)
    target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic -ffp-contract=off)
endfunction()
