# SPDX-License-Identifier: GPL-3.0-or-later
# A home on the Linux desktop: installation and the Debian package (`make package`).

# The program looks for its help page beside its own executable, so both live in <prefix>/lib/zafrel; the
# command in <prefix>/bin is a link to it (the running program sees its real location through the link).
install(TARGETS zafrel RUNTIME DESTINATION lib/zafrel)
install(FILES Doc/help.htm DESTINATION lib/zafrel/Doc)
file(MAKE_DIRECTORY ${CMAKE_BINARY_DIR}/install-link)
file(CREATE_LINK ../lib/zafrel/zafrel ${CMAKE_BINARY_DIR}/install-link/zafrel SYMBOLIC)
install(FILES ${CMAKE_BINARY_DIR}/install-link/zafrel DESTINATION bin)
install(FILES res/package/${ZAFREL_APP_ID}.desktop DESTINATION share/applications)
install(FILES res/package/${ZAFREL_APP_ID}.metainfo.xml DESTINATION share/metainfo)
# From file managers: the type of encrypted files (by their name, since their bytes are noise), and for each mode a
# KDE service menu, a Thunar Send To entry and a Nemo action. None of them is an application entry, so the only type
# Zafrel registers to open is its own; for any other file it stays under "Open With Other Application".
install(FILES res/package/zafrel-mime.xml DESTINATION share/mime/packages RENAME ${ZAFREL_APP_ID}.xml)
foreach(mode IN ITEMS encrypt decrypt)
    install(FILES res/package/zafrel-${mode}.servicemenu.desktop DESTINATION share/kio/servicemenus
            RENAME zafrel-${mode}.desktop)
    install(FILES res/package/zafrel-${mode}.sendto.desktop DESTINATION share/Thunar/sendto RENAME zafrel-${mode}.desktop)
    install(FILES res/package/zafrel-${mode}.nemo_action DESTINATION share/nemo/actions)
endforeach()
install(FILES res/icons/app.png DESTINATION share/icons/hicolor/32x32/apps RENAME zafrel.png)
install(FILES res/icons/app-256.png DESTINATION share/icons/hicolor/256x256/apps RENAME zafrel.png)
# The manual page and the changelog are installed compressed, without a time stamp, so a rebuild is identical.
foreach(document IN ITEMS zafrel.1 zafrel-cli.1 changelog)
    add_custom_command(OUTPUT ${document}.gz
        COMMAND gzip -9n < ${CMAKE_SOURCE_DIR}/res/package/${document} > ${document}.gz
        DEPENDS res/package/${document})
endforeach()
add_custom_target(zafrel_documents ALL DEPENDS zafrel.1.gz zafrel-cli.1.gz changelog.gz)
install(FILES ${CMAKE_BINARY_DIR}/zafrel.1.gz DESTINATION share/man/man1)
install(FILES res/package/copyright ${CMAKE_BINARY_DIR}/changelog.gz DESTINATION share/doc/zafrel)
# zafrel-cli on the path, with its manual page and its bash completion; it needs no help page beside it.
install(TARGETS zafrel-cli RUNTIME DESTINATION bin)
install(FILES ${CMAKE_BINARY_DIR}/zafrel-cli.1.gz DESTINATION share/man/man1)
install(FILES res/package/zafrel-cli.bash DESTINATION share/bash-completion/completions RENAME zafrel-cli)

set(CPACK_PACKAGE_NAME zafrel)
set(CPACK_PACKAGE_VENDOR Kelmot)
set(CPACK_PACKAGE_CONTACT "Kelmot <support@kelmot.example>")
set(CPACK_PACKAGE_HOMEPAGE_URL https://www.kelmot.example/)
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Easy to use encryption and decryption of files")
# Lines of at most 80 characters; CPack indents each one for the control file.
set(CPACK_PACKAGE_DESCRIPTION [[
Zafrel encrypts and decrypts whole files with a key that you type or let it
generate. Queue files, give a key and start: each file gets a scrambled twin
beside it (name.enc), and the same key turns it back.

The zafrel-cli command does the same from a shell or a script, for one file
or whole folders, with the key read from a file, the environment or the
terminal.

The repeating-key XOR it uses keeps out casual readers, not a determined
attacker, and a wrong key is not detected.]])
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
# The Qt libraries come from dpkg-shlibdeps (dpkg-dev); the platform plugins are loaded at run time, where it
# cannot see them. xdg-open opens the help page and the About window's links, which would do nothing without it;
# qt6-wayland lets the window run natively on a Wayland desktop instead of through XWayland.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins, xdg-utils")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "fonts-liberation2, qt6-wayland")
include(CPack)
