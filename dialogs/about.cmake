# SPDX-License-Identifier: MIT
# The settings dialog, the About box, and the help and home-page commands of the main window.
add_library(pavendel_about STATIC
    dialog1.cpp
    fixeddialog.cpp
    linklabel.cpp
    programicon.cpp
    setting.cpp
    twips.cpp
)
set_target_properties(pavendel_about PROPERTIES AUTOMOC ON)
target_include_directories(pavendel_about PUBLIC ${PROJECT_SOURCE_DIR})
target_link_libraries(pavendel_about
    PUBLIC pavendel_dialogs pavendel_platform_gui pavendel_state Qt6::Widgets
    PRIVATE Qt6::Svg pavendel_warnings)
# The program icon is shared with the main window and the desktop entry.
set_source_files_properties(${PROJECT_SOURCE_DIR}/resources/pavendel.svg
    PROPERTIES QT_RESOURCE_ALIAS pavendel.svg)
qt_add_resources(pavendel_about pavendel_about_resources
    PREFIX /pavendel
    BASE resources
    FILES ${PROJECT_SOURCE_DIR}/resources/pavendel.svg resources/hand.xpm)

# Renders the two dialogs into docs/ (not built by default):
#   cmake --build --preset dev --target pavendel_about_screenshots
#   QT_QPA_PLATFORM=offscreen build/dialogs/pavendel_about_screenshots docs
add_executable(pavendel_about_screenshots EXCLUDE_FROM_ALL screenshots.cpp)
target_link_libraries(pavendel_about_screenshots PRIVATE pavendel_about pavendel_warnings)
