# Writes disc-facts.sh and disc-facts.json into the build folder from setup/DiscFacts.h: for
# each `constexpr char NAME[] = "...";` line, a shell variable HDA_<NAME> in single quotes
# and a JSON member NAME, with the C escapes undone, so neither the scripts nor the Python
# tools ever type a path, codec or marker text again.
set(HDA_DISC_FACTS_HEADER ${CMAKE_SOURCE_DIR}/setup/DiscFacts.h)
set(HDA_DISC_FACTS_SH ${CMAKE_BINARY_DIR}/disc-facts.sh)
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${HDA_DISC_FACTS_HEADER})

file(STRINGS ${HDA_DISC_FACTS_HEADER} hda_fact_lines REGEX "^constexpr char [A-Z0-9_]+\\[\\] = \".*\";$")
set(hda_facts "# Written by the build from setup/DiscFacts.h; do not edit.\n")
set(hda_facts_json "{}")
foreach(line IN LISTS hda_fact_lines)
    string(REGEX REPLACE "^constexpr char ([A-Z0-9_]+)\\[\\] = \"(.*)\";$" "\\1" name "${line}")
    string(REGEX REPLACE "^constexpr char ([A-Z0-9_]+)\\[\\] = \"(.*)\";$" "\\2" text "${line}")
    # The facts use no escape but \\ and no quote; anything else would need more than this.
    string(REPLACE "\\\\" "" rest "${text}")
    if(rest MATCHES "['\"\\\\]")
        message(FATAL_ERROR "setup/DiscFacts.h: ${name} holds an escape or quote the shell copy cannot take")
    endif()
    string(JSON hda_facts_json SET "${hda_facts_json}" ${name} "\"${text}\"")
    string(REPLACE "\\\\" "\\" text "${text}")
    string(APPEND hda_facts "HDA_${name}='${text}'\n")
endforeach()
# And the Windows build's stand-ins, by the names of tests/standins/NAME.cpp: all of them, and
# those a demo runs.
foreach(list HDA_STANDINS HDA_DEMO_STANDINS)
    string(REPLACE ";" " " names "${${list}}")
    string(APPEND hda_facts "${list}=(${names})\n")
endforeach()
file(GENERATE OUTPUT ${HDA_DISC_FACTS_SH} CONTENT "${hda_facts}")
file(GENERATE OUTPUT ${CMAKE_BINARY_DIR}/disc-facts.json CONTENT "${hda_facts_json}\n")
