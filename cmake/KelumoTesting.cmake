# The thread-sanitizer pass (the tsan presets) builds this target and runs the
# tests labelled tsan: both follow the TSAN flag below, so they cannot differ.
add_custom_target(tsan_tests)

# kelumo_qt_test(<folder> <name>
#     [LIBS lib...] [SOURCES file...] [DEFINES def...] [DEPENDS target...]
#     [ENV VAR=value...] [LABELS label...] [TIMEOUT seconds] [OFFSCREEN] [TSAN])
# One Qt Test executable from <name>.cpp, registered with CTest as <folder>/<name>.
# OFFSCREEN runs it on the offscreen platform, without an X server (on one,
# GL drivers are loaded and unloaded in ways no leak check can attribute).
# TSAN puts it in the thread-sanitizer pass.
function(kelumo_qt_test folder name)
    cmake_parse_arguments(T "OFFSCREEN;TSAN" "TIMEOUT" "LIBS;SOURCES;DEFINES;DEPENDS;ENV;LABELS" ${ARGN})
    add_executable(${name} ${name}.cpp ${T_SOURCES})
    set_target_properties(${name} PROPERTIES AUTOMOC ON)
    target_link_libraries(${name} PRIVATE ${T_LIBS} Qt6::Test)
    if(T_DEFINES)
        target_compile_definitions(${name} PRIVATE ${T_DEFINES})
    endif()
    if(T_DEPENDS)
        add_dependencies(${name} ${T_DEPENDS})
    endif()
    kelumo_warnings(${name})
    add_test(NAME ${folder}/${name} COMMAND ${name})
    set(env ${T_ENV})
    if(T_OFFSCREEN)
        list(APPEND env "QT_QPA_PLATFORM=offscreen")
        set_tests_properties(${folder}/${name} PROPERTIES ENVIRONMENT_MODIFICATION "DISPLAY=unset:")
    endif()
    if(env)
        set_tests_properties(${folder}/${name} PROPERTIES ENVIRONMENT "${env}")
    endif()
    if(T_TIMEOUT)
        set_tests_properties(${folder}/${name} PROPERTIES TIMEOUT ${T_TIMEOUT})
    endif()
    set(labels ${T_LABELS})
    if(T_TSAN)
        list(APPEND labels tsan)
        add_dependencies(tsan_tests ${name})
    endif()
    if(labels)
        set_tests_properties(${folder}/${name} PROPERTIES LABELS "${labels}")
    endif()
endfunction()
