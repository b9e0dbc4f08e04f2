# The pipe's name is fixed, so on Linux the tests and benchmarks that use it run in a network
# namespace of their own, where the abstract socket name is private: a running tavrel-host, or a
# second test run on the same machine, can neither take the name from them nor lose it to them.
# As root a plain `unshare --net` does; otherwise a user namespace that keeps our own user id, so
# that tests needing root still see who they really are. Where neither works, they run as before
# and say so once, here. (Windows tests are kept apart by the build tree's own Wine prefix.)
set(TAVREL_PIPE_TEST_LAUNCHER "")
if(NOT WIN32)
    find_program(TAVREL_UNSHARE unshare)
    if(TAVREL_UNSHARE)
        foreach(options IN ITEMS "--net" "--net;--map-current-user")
            execute_process(COMMAND ${TAVREL_UNSHARE} ${options} true
                RESULT_VARIABLE nResult OUTPUT_QUIET ERROR_QUIET)
            if(nResult EQUAL 0)
                set(TAVREL_PIPE_TEST_LAUNCHER ${TAVREL_UNSHARE} ${options})
                break()
            endif()
        endforeach()
    endif()
    if(NOT TAVREL_PIPE_TEST_LAUNCHER)
        message(STATUS "No private network namespace here (unshare --net): the tests that use "
            "the command pipe share its name with every other process on this machine")
    endif()
endif()

# Runs target's tests (and their discovery) through the launcher. CTest runs a test's program
# through its CROSSCOMPILING_EMULATOR, also when not cross-compiling (policy CMP0158 unset).
function(tavrel_isolate_pipe_tests target)
    if(TAVREL_PIPE_TEST_LAUNCHER)
        set_target_properties(${target} PROPERTIES
            CROSSCOMPILING_EMULATOR "${TAVREL_PIPE_TEST_LAUNCHER}")
    endif()
endfunction()
