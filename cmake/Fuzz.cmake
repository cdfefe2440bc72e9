# libFuzzer targets over the installer's logic on the in-memory Windows. The clang build
# (preset "fuzz", HDA_FUZZ on) makes them; the native build runs each for a few seconds
# from the seed corpus in fuzz/corpus, as CTest tests beside the unit tests.
# The targets are the files fuzz/fuzz_NAME.cpp; fuzz/run.sh finds them the same way.
file(GLOB hda_fuzz_sources RELATIVE ${CMAKE_SOURCE_DIR}/fuzz ${CMAKE_SOURCE_DIR}/fuzz/fuzz_*.cpp)
string(REGEX REPLACE "fuzz_([a-z0-9_]+)\\.cpp" "\\1" HDA_FUZZ_TARGETS "${hda_fuzz_sources}")

if(HDA_FUZZ)
    set(HDA_FUZZ_OPTIONS -g -O1 -fno-omit-frame-pointer -fno-sanitize-recover=all)
    hda_layers(_fuzz ${HDA_FUZZ_OPTIONS} -fsanitize=fuzzer-no-link,address,undefined)
    # The in-memory Windows the targets run the installer on. The process-wide pointer the
    # installer reads goes into each target itself: a library before the installer's on the
    # link line could not give it.
    add_library(hda_memory_fuzz STATIC ${HDA_MEMORY_HOST_SOURCES})
    target_link_libraries(hda_memory_fuzz PUBLIC hda_setup_fuzz)

    add_custom_target(fuzzers)
    foreach(name ${HDA_FUZZ_TARGETS})
        add_executable(fuzz_${name} fuzz/fuzz_${name}.cpp tests/unit/TestGlobals.cpp)
        target_link_libraries(fuzz_${name} PRIVATE hda_memory_fuzz)
        target_link_options(fuzz_${name} PRIVATE -fsanitize=fuzzer,address,undefined)
        add_dependencies(fuzzers fuzz_${name})
    endforeach()
else()
    # `make test` builds build/fuzz first, as it builds build/win32 for the Wine tests.
    set(HDA_FUZZ_DIR ${CMAKE_SOURCE_DIR}/build/fuzz CACHE PATH "The clang libFuzzer build")
    set(HDA_FUZZ_SECONDS 3 CACHE STRING "Seconds each fuzz target runs in the test run")
    foreach(name ${HDA_FUZZ_TARGETS})
        add_test(NAME fuzz.${name}
            COMMAND bash ${CMAKE_SOURCE_DIR}/fuzz/run.sh ${HDA_FUZZ_SECONDS} ${name})
        set_tests_properties(fuzz.${name} PROPERTIES
            ENVIRONMENT "HDA_FUZZ_DIR=${HDA_FUZZ_DIR}"
            LABELS fuzz
            TIMEOUT 120)
    endforeach()
endif()
