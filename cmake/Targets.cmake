# Compile options shared by every target of ours.
function(engine_target_options target)
    target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic -ffp-contract=off)
endfunction()

# With ENGINE_LIBFUZZER the code a fuzz target explores (the engine's rooms
# and the targets' own sources) carries libFuzzer's coverage hooks; tests,
# tools and benchmarks link the same libraries without needing hooks of their
# own.
function(engine_fuzz_coverage target)
    if(ENGINE_LIBFUZZER)
        target_compile_options(${target} PRIVATE -fsanitize=fuzzer-no-link)
    endif()
endfunction()

# Configuration fails when a room library names a room above it among the
# libraries it links.
function(engine_check_room_links rooms)
    set(index 0)
    foreach(room IN LISTS rooms)
        get_target_property(links engine_${room} LINK_LIBRARIES)
        set(above_index 0)
        foreach(other IN LISTS rooms)
            if(above_index GREATER index AND "engine_${other}" IN_LIST links)
                message(FATAL_ERROR "engine_${room} links engine_${other}, a room above it")
            endif()
            math(EXPR above_index "${above_index} + 1")
        endforeach()
        math(EXPR index "${index} + 1")
    endforeach()
endfunction()

# One small program per room that takes every object of the room's library
# and links it with the rooms below only: a symbol that a room takes from a
# room above it is left undefined and fails the build.
function(engine_add_room_link_checks rooms)
    file(WRITE "${PROJECT_BINARY_DIR}/room_link_check.cpp" "int main() { return 0; }\n")
    foreach(room IN LISTS rooms)
        add_executable(room_link_check_${room} "${PROJECT_BINARY_DIR}/room_link_check.cpp")
        target_link_libraries(room_link_check_${room} PRIVATE
            "$<LINK_LIBRARY:WHOLE_ARCHIVE,engine_${room}>")
    endforeach()
endfunction()
