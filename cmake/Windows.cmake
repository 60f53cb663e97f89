# SPDX-License-Identifier: MIT
# The Windows build, with the toolchain of cmake/MinGW.cmake.

# Unicode wide-character calls throughout; windows.h without its rarely used parts and without
# the min and max macros that would break the standard library's.
target_compile_definitions(pavendel_warnings INTERFACE
    UNICODE _UNICODE WIN32_LEAN_AND_MEAN NOMINMAX _WIN32_WINNT=0x0601)

# nlohmann-json is a header library that Debian installs for the build machine only; its own
# folder is put on the include path, not /usr/include, whose C library is not Windows'.
find_path(PAVENDEL_JSON_HEADERS nlohmann/json.hpp
    PATHS /usr/include NO_DEFAULT_PATH NO_CMAKE_FIND_ROOT_PATH REQUIRED)
set(json_include ${CMAKE_BINARY_DIR}/json-include)
file(MAKE_DIRECTORY ${json_include})
file(CREATE_LINK ${PAVENDEL_JSON_HEADERS}/nlohmann ${json_include}/nlohmann SYMBOLIC)
add_library(pavendel_json INTERFACE)
target_include_directories(pavendel_json SYSTEM INTERFACE ${json_include})
add_library(nlohmann_json::nlohmann_json ALIAS pavendel_json)

add_subdirectory(platform)
add_subdirectory(automation)
add_subdirectory(state)
add_subdirectory(core)
add_subdirectory(dialogs)
add_subdirectory(app)
add_subdirectory(help)

if(PAVENDEL_BUILD_TESTS)
    enable_testing()
    # GoogleTest from its sources (Debian's googletest package), built with the same toolchain;
    # it defines the GTest:: targets the tests link.
    set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
    set(gtest_disable_pthreads OFF CACHE BOOL "" FORCE)
    add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL SYSTEM)
    add_subdirectory(tests)
endif()
