# JUCE 8.0.6: a source tree given by the user (scripts/fetch-deps.sh prepares one from
# Debian's source package), otherwise the upstream release tag. Either way the fixes in
# cmake/patches belong on it; the script and the fetch here apply them.
set(KELTO_JUCE_DIR "" CACHE PATH "A JUCE 8.0.6 source tree; empty fetches the upstream release")

if(KELTO_JUCE_DIR)
    if(NOT EXISTS "${KELTO_JUCE_DIR}/CMakeLists.txt")
        message(FATAL_ERROR "KELTO_JUCE_DIR=${KELTO_JUCE_DIR} holds no JUCE source tree")
    endif()
    add_subdirectory("${KELTO_JUCE_DIR}" "${CMAKE_BINARY_DIR}/juce" EXCLUDE_FROM_ALL)
else()
    include(FetchContent)
    FetchContent_Declare(juce
        GIT_REPOSITORY https://github.com/juce-framework/JUCE.git
        GIT_TAG 8.0.6
        GIT_SHALLOW TRUE
        PATCH_COMMAND patch -p1 -s -f -i ${CMAKE_CURRENT_LIST_DIR}/patches/juce-vst3-oversized-blocks.patch)
    FetchContent_MakeAvailable(juce)
endif()
