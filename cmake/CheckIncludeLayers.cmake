cmake_minimum_required(VERSION 3.25)
# cmake -DSOURCE_DIR=<tree> -P CheckIncludeLayers.cmake
# Fails when a folder includes a header of a folder it may not depend on:
# the browser's capabilities point one way, and nothing below the browser
# knows it. Each rule: a folder, then the folders its files may include.
set(rules
    "browser/navigation|base browser/navigation"
    "browser/print|base browser/print"
    "browser/downloads|base browser/downloads"
    "browser/commands|base browser/commands browser/navigation browser/print"
    "browser/permissions|base browser/permissions browser/navigation"
    "browser/view|base auth frame browser/view browser/commands browser/downloads browser/navigation browser/permissions browser/print"
    "auth|base auth"
    "frame|base frame"
    "base|base")

set(failures "")
foreach(rule IN LISTS rules)
    string(REPLACE "|" ";" fields "${rule}")
    list(GET fields 0 folder)
    list(GET fields 1 allowed)
    string(REPLACE " " ";" allowed "${allowed}")
    file(GLOB files "${SOURCE_DIR}/${folder}/*.h" "${SOURCE_DIR}/${folder}/*.cpp" "${SOURCE_DIR}/${folder}/*.h.in")
    foreach(file IN LISTS files)
        file(STRINGS "${file}" includes REGEX "^#include \"[^\"]+\"")
        foreach(line IN LISTS includes)
            string(REGEX REPLACE "^#include \"([^\"]+)\".*" "\\1" header "${line}")
            get_filename_component(from "${header}" DIRECTORY)
            # Headers the build generates or that name no module.
            if(from STREQUAL "" OR header STREQUAL "base/KelumoConfig.h")
                continue()
            endif()
            # A folder's subfolders count as the folder (base/proxy is base).
            set(allowed_here FALSE)
            foreach(folder_allowed IN LISTS allowed)
                if(from STREQUAL folder_allowed OR from MATCHES "^${folder_allowed}/")
                    set(allowed_here TRUE)
                endif()
            endforeach()
            if(NOT allowed_here)
                file(RELATIVE_PATH shown "${SOURCE_DIR}" "${file}")
                string(APPEND failures "  ${shown} includes ${header}\n")
            endif()
        endforeach()
    endforeach()
endforeach()

if(failures)
    message(FATAL_ERROR "Includes against the layers:\n${failures}")
endif()
