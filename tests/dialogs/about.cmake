# SPDX-License-Identifier: MIT
foreach(name setting about)
    pavendel_add_qtest(${name}_tests SOURCES ${name}_test.cpp LIBRARIES pavendel_about)
    target_include_directories(${name}_tests PRIVATE ${PROJECT_SOURCE_DIR}/tests)
endforeach()
