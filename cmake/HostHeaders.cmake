# In a cross build, the header-only libraries come from the build machine's Debian
# packages. Their folders are copied into the build tree rather than adding /usr/include,
# which would put the machine's own C library headers in front of the target's.
set(host_headers ${CMAKE_BINARY_DIR}/host-headers)
foreach(folder CLI nlohmann)
    if(NOT EXISTS /usr/include/${folder})
        message(FATAL_ERROR "/usr/include/${folder} is missing: run scripts/deps")
    endif()
    file(COPY /usr/include/${folder} DESTINATION ${host_headers})
endforeach()
foreach(target CLI11::CLI11 nlohmann_json::nlohmann_json)
    add_library(${target} INTERFACE IMPORTED)
    set_target_properties(${target} PROPERTIES INTERFACE_INCLUDE_DIRECTORIES ${host_headers})
endforeach()

# GoogleTest from the sources that libgtest-dev ships; they define the GTest:: names.
if(KELTROVE_BUILD_TESTS)
    set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
    add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
endif()
