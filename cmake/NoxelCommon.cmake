# Options every target of ours shares.
add_library(noxel_options INTERFACE)
target_compile_options(noxel_options INTERFACE -Wall -Wextra -Werror)
target_compile_definitions(noxel_options INTERFACE
    QT_NO_CAST_FROM_ASCII
    QT_NO_CONTEXTLESS_CONNECT
    QT_USE_QSTRINGBUILDER
    QT_NO_FOREACH)
if(NOXEL_SANITIZE)
    target_compile_options(noxel_options INTERFACE -fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
    target_link_options(noxel_options INTERFACE -fsanitize=address,undefined)
endif()
if(NOXEL_FUZZ)
    if(NOT CMAKE_CXX_COMPILER_ID MATCHES "Clang")
        message(FATAL_ERROR "NOXEL_FUZZ needs clang: configure with CC=clang CXX=clang++")
    endif()
    # Coverage for libFuzzer without its main(), which only the fuzz targets link.
    target_compile_options(noxel_options INTERFACE -fsanitize=fuzzer-no-link,address,undefined
        -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
    target_link_options(noxel_options INTERFACE -fsanitize=fuzzer-no-link,address,undefined)
endif()

# noxel_add_test(NAME name SOURCES ... [LIBS ...] [LABELS ...] [ENV ...] [LOCKS ...] [GUI])
# noxel_add_test(NAME name EXECUTABLE target [LABELS ...] [ENV ...] [LOCKS ...] [GUI])
# Adds a QtTest executable and registers it with CTest. Without GUI the test runs
# on the offscreen platform; GUI tests are run under Xvfb by scripts/test.
# EXECUTABLE registers a test target built by an earlier call once more, for code
# that reads its environment once per process.
function(noxel_add_test)
    cmake_parse_arguments(T "GUI" "NAME;TIMEOUT;EXECUTABLE" "SOURCES;LIBS;LABELS;ENV;LOCKS" ${ARGN})
    if(T_EXECUTABLE)
        add_test(NAME ${T_NAME} COMMAND ${T_EXECUTABLE})
    else()
        add_executable(${T_NAME} ${T_SOURCES})
        target_link_libraries(${T_NAME} PRIVATE Qt6::Test noxel_options ${T_LIBS})
        add_test(NAME ${T_NAME} COMMAND ${T_NAME})
    endif()
    set(env "QT_LOGGING_RULES=qt.qpa.*=false" ${T_ENV})
    if(NOT T_GUI)
        list(APPEND env "QT_QPA_PLATFORM=offscreen")
    endif()
    if(NOT T_LABELS)
        set(T_LABELS unit)
    endif()
    if(NOT T_TIMEOUT)
        set(T_TIMEOUT 120)
    endif()
    set_tests_properties(${T_NAME} PROPERTIES
        LABELS "${T_LABELS}"
        ENVIRONMENT "${env}"
        TIMEOUT ${T_TIMEOUT})
    if(T_LOCKS)
        set_tests_properties(${T_NAME} PROPERTIES RESOURCE_LOCK "${T_LOCKS}")
    endif()
endfunction()
