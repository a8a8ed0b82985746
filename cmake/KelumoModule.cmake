# The program's loadable modules (the browser, the login service): shared
# modules the executable loads by full path from its own folder after the
# login dialog is on screen, so their libraries stay off the launch path.
function(kelumo_module target output_name)
    set_target_properties(${target} PROPERTIES
        OUTPUT_NAME ${output_name}
        PREFIX ""
        # Beside the executable, in a build as in the program folder.
        LIBRARY_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bin
        # Only the factory is the module's interface.
        CXX_VISIBILITY_PRESET hidden
        VISIBILITY_INLINES_HIDDEN ON)
    if(NOT MSVC)
        # Every symbol resolved at link time: a missing one is a build error,
        # not a failed load at the user's.
        target_link_options(${target} PRIVATE "LINKER:--no-undefined")
    endif()
    kelumo_warnings(${target})
    # At the top of the program folder, beside the executable.
    install(TARGETS ${target} LIBRARY DESTINATION . COMPONENT client)
endfunction()
