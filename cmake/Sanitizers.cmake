# The unit tests once more, built with AddressSanitizer and UndefinedBehaviorSanitizer
# and run in the same CTest run under the prefix "asan.": an overrun of a fixed buffer or
# an undefined shift fails a test even when the result happens to look right.
if(HDA_FUZZ)
    return() # the clang fuzz build has its own sanitizers
endif()

set(HDA_SANITIZE_OPTIONS -fsanitize=address,undefined -fno-sanitize-recover=all
    -fno-omit-frame-pointer)

# Same sources as the plain build, so a file added there is checked here too.
get_target_property(HDA_UNIT_SOURCES unit_tests SOURCES)

hda_layers(_asan ${HDA_SANITIZE_OPTIONS} ${HDA_TEST_INIT})
target_link_options(hda_host_asan PUBLIC ${HDA_SANITIZE_OPTIONS})

add_executable(unit_tests_asan ${HDA_UNIT_SOURCES})
target_link_libraries(unit_tests_asan PRIVATE hda_setup_asan GTest::gtest_main)
target_compile_definitions(unit_tests_asan PRIVATE HDA_DISC_FACTS_SH="${HDA_DISC_FACTS_SH}")
gtest_discover_tests(unit_tests_asan
    TEST_PREFIX asan.
    PROPERTIES LABELS asan TIMEOUT ${HDA_UNIT_TIMEOUT}
               ENVIRONMENT "ASAN_OPTIONS=detect_leaks=1:strict_string_checks=1;UBSAN_OPTIONS=print_stacktrace=1")
