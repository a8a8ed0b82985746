# The part of the client below Qt, for a target without Qt (the windows
# preset, MinGW-w64): the login service client with its own build of the gSOAP
# runtime, the GBK text of base/ and its proxy rules, kelumo-login and the GBK
# probe of the tests.
# soapcpp2 runs on the build machine; everything else is built for the target.

include(cmake/KelumoWarnings.cmake)
include_directories(${PROJECT_SOURCE_DIR} ${PROJECT_BINARY_DIR})
configure_file(base/KelumoConfig.h.in ${PROJECT_BINARY_DIR}/base/KelumoConfig.h @ONLY)

find_program(SOAPCPP2 soapcpp2 REQUIRED)

# Debian's source of the runtime the Linux build links, fetched and checked
# against its .dsc at configure time unless a tree is given.
set(KELUMO_GSOAP_SOURCE "" CACHE PATH "Unpacked gSOAP source tree (empty: scripts/fetch-gsoap-source)")
if(NOT KELUMO_GSOAP_SOURCE OR NOT EXISTS ${KELUMO_GSOAP_SOURCE}/gsoap/stdsoap2.cpp)
    execute_process(
        COMMAND ${PROJECT_SOURCE_DIR}/scripts/fetch-gsoap-source ${CMAKE_BINARY_DIR}/gsoap-source
        OUTPUT_VARIABLE fetched OUTPUT_STRIP_TRAILING_WHITESPACE
        RESULT_VARIABLE fetch_result)
    if(fetch_result)
        message(FATAL_ERROR "Fetching the gSOAP source failed (scripts/fetch-gsoap-source)")
    endif()
    set(KELUMO_GSOAP_SOURCE ${fetched} CACHE PATH "Unpacked gSOAP source tree (empty: scripts/fetch-gsoap-source)" FORCE)
endif()
set(gsoap_dir ${KELUMO_GSOAP_SOURCE}/gsoap)

set(ZLIB_USE_STATIC_LIBS ON)
find_package(ZLIB REQUIRED)

set(gen_dir ${PROJECT_BINARY_DIR}/service/gsoap)
set(gen_files ${gen_dir}/soapC.cpp ${gen_dir}/soapH.h ${gen_dir}/soapStub.h)
add_custom_command(
    OUTPUT ${gen_files}
    COMMAND ${CMAKE_COMMAND} -E rm -rf ${gen_dir}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${gen_dir}
    COMMAND ${SOAPCPP2} -2 -C -L -x -w -d ${gen_dir} ${PROJECT_SOURCE_DIR}/service/CheckUserLogin.gsoap
    DEPENDS ${PROJECT_SOURCE_DIR}/service/CheckUserLogin.gsoap
    COMMENT "Generating the login service serializers"
    VERBATIM)

add_library(kelumo_base STATIC
    ${PROJECT_BINARY_DIR}/base/KelumoConfig.h
    base/ClientSettings.cpp base/ClientSettings.h
    base/NoPolicyFiles.cpp base/PolicySet.h
    base/GbkText.cpp base/GbkText.h)
kelumo_warnings(kelumo_base)

add_subdirectory(base/proxy)

# One archive for the runtime, the serializers and the proxy: the runtime
# calls back into the serializers and the namespace table.
add_library(kelumo_service STATIC
    service/CheckUserLoginSoapProxy.cpp service/CheckUserLoginSoapProxy.h
    service/HttpRequestHead.cpp service/HttpRequestHead.h
    service/LoginEndpoint.cpp service/LoginEndpoint.h
    service/LoginNamespaces.cpp
    service/MessageRecords.cpp
    service/ProxyAuth.cpp service/ProxyAuth.h
    service/QuietPipe.cpp service/QuietPipe.h
    service/SoapFaultCode.cpp service/SoapFaultCode.h
    service/SystemProxy.h
    service/ServicePlatform.cpp service/ServicePlatform.h
    service/TlsTrust.cpp service/TlsTrust.h
    service/XmlEscape.cpp service/XmlEscape.h
    ${gen_dir}/soapC.cpp
    ${gsoap_dir}/stdsoap2.cpp
    ${gsoap_dir}/dom.cpp)
# The defines of Debian's libgsoapssl++ but TLS: Debian has no TLS library
# for MinGW, so https is refused with a message (see prepareTls).
target_compile_definitions(kelumo_service PUBLIC WITH_IPV6 WITH_GZIP WITH_DOM _WIN32_WINNT=0x0601)
set_source_files_properties(${gsoap_dir}/stdsoap2.cpp ${gsoap_dir}/dom.cpp PROPERTIES
    COMPILE_OPTIONS "-w" COMPILE_DEFINITIONS "WITH_COOKIES")
set_source_files_properties(${gen_dir}/soapC.cpp PROPERTIES COMPILE_OPTIONS "-w")
target_include_directories(kelumo_service PUBLIC ${gen_dir})
target_include_directories(kelumo_service SYSTEM PUBLIC ${gsoap_dir})
target_link_libraries(kelumo_service PUBLIC kelumo_base kelumo_proxy_rules ZLIB::ZLIB ws2_32)
# The system's proxy settings: the user's, through WinHTTP, on Windows.
if(WIN32)
    target_sources(kelumo_service PRIVATE service/WinHttpSystemProxy.cpp)
    target_link_libraries(kelumo_service PRIVATE winhttp)
else()
    target_sources(kelumo_service PRIVATE service/NoSystemProxy.cpp)
endif()
kelumo_warnings(kelumo_service)

add_executable(kelumo-login tools/kelumo-login.cpp)
target_link_libraries(kelumo-login PRIVATE kelumo_service kelumo_base)
kelumo_warnings(kelumo-login)

# The target's GBK conversion, for the Linux test that compares it with iconv.
add_executable(gbk-probe tests/service/gbk-probe.cpp)
target_link_libraries(gbk-probe PRIVATE kelumo_base)
kelumo_warnings(gbk-probe)
