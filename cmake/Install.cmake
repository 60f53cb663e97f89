# SPDX-License-Identifier: MIT
# What `cmake --install` lays out under the prefix, and the Debian package CPack builds from it:
#   lib/pavendel/         the program folder: pavendel, pavendel-office and help.chm side by side,
#                         as in build/bin (the program finds the other two beside itself)
#   bin/pavendel          a relative link to lib/pavendel/pavendel
#   share/applications/   the menu entry; share/metainfo/ the AppStream metainfo
#   share/icons/hicolor/  the program icon, scalable and at each bitmap size
# Installed under a prefix the user cannot write, the program keeps its state files in
# $XDG_CONFIG_HOME/pavendel; a copy in a writable folder keeps them beside itself.
include(GNUInstallDirs)

set(PAVENDEL_INSTALL_PROGRAMDIR "lib/pavendel" CACHE STRING
    "Program folder under the installation prefix (relative)")
foreach(dir IN ITEMS PAVENDEL_INSTALL_PROGRAMDIR CMAKE_INSTALL_BINDIR)
    if(IS_ABSOLUTE "${${dir}}")
        message(FATAL_ERROR "${dir} must be relative to the prefix: the bin link is relative")
    endif()
endforeach()

# Directories created on the way get the usual modes whatever the umask of the one installing.
set(CMAKE_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)

install(TARGETS pavendel RUNTIME DESTINATION ${PAVENDEL_INSTALL_PROGRAMDIR})
# The program cannot convert without its office server beside it.
install(TARGETS pavendel-office RUNTIME DESTINATION ${PAVENDEL_INSTALL_PROGRAMDIR})
install(TARGETS pavendel-office-uno LIBRARY DESTINATION ${PAVENDEL_INSTALL_PROGRAMDIR})
install(FILES ${PAVENDEL_PROGRAM_DIR}/help.chm DESTINATION ${PAVENDEL_INSTALL_PROGRAMDIR})

# The link is made in the build tree and installed as a link, so that it stays relative and the
# tree can be moved or packaged.
file(RELATIVE_PATH pavendel_link_target
    /prefix/${CMAKE_INSTALL_BINDIR} /prefix/${PAVENDEL_INSTALL_PROGRAMDIR}/pavendel)
set(pavendel_link ${PROJECT_BINARY_DIR}/install-links/pavendel)
file(MAKE_DIRECTORY ${PROJECT_BINARY_DIR}/install-links)
file(CREATE_LINK ${pavendel_link_target} ${pavendel_link} SYMBOLIC)
install(FILES ${pavendel_link} DESTINATION ${CMAKE_INSTALL_BINDIR})

install(FILES desktop/${PAVENDEL_APP_ID}.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES desktop/${PAVENDEL_APP_ID}.metainfo.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
install(FILES ${PAVENDEL_ICON_SOURCE}
    DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps
    RENAME ${PAVENDEL_APP_ID}.svg)
foreach(size IN LISTS PAVENDEL_ICON_SIZES)
    install(FILES ${PAVENDEL_ICON_DIR}/${size}x${size}/apps/${PAVENDEL_APP_ID}.png
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps)
endforeach()
install(FILES LICENSE DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/pavendel RENAME copyright)

# The Debian package: scripts/package.sh builds it from the release preset.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME pavendel)
set(CPACK_PACKAGE_VENDOR "The Pavendel developers")
set(CPACK_PACKAGE_CONTACT "The Pavendel developers <pavendel@example.org>")
set(CPACK_PACKAGE_HOMEPAGE_URL "https://pavendel.example.org/")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "${PROJECT_DESCRIPTION}")
set(CPACK_PACKAGE_DESCRIPTION [[
Pavendel converts Word documents (.doc, .docx, .docm, .dotx) into RTF files
in batches. Add Word files and whole folders, untick the documents to leave
out, choose an output folder and press Convert: every ticked document becomes
one RTF file and every failure is reported.
Each document is opened read-only and saved by a fresh instance of the
LibreOffice Writer engine, so a document that crashes or hangs the engine
cannot harm the next one.]])
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# dpkg-shlibdeps names the libraries' packages (Qt 6 and the rest); these are what the program
# starts or opens rather than links: the conversion engine, the fonts documents are laid out
# with, and xdg-open for the output folder. A CHM viewer is needed only for the Help command, and
# Qt's Wayland platform only for running natively under a Wayland compositor.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS
    "libreoffice-writer-nogui | libreoffice-writer, fonts-liberation, xdg-utils")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "xchm, qt6-wayland")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
include(CPack)
