# Where `cmake --install` puts QV-Boot, and the Debian package CPack makes of it.
include(GNUInstallDirs)

set(QV_HELP_GUIDE ${CMAKE_CURRENT_SOURCE_DIR}/docs/help/QV-Boot.html)
# The program looks for its guide in its own folder first, so a program run
# from the build tree finds the copy beside it.
configure_file(${QV_HELP_GUIDE} ${CMAKE_CURRENT_BINARY_DIR}/QV-Boot.html COPYONLY)

set(QV_INSTALL_PROGRAMS qvboot qvstation qvimage)
if(TARGET qvbootcli)
  list(APPEND QV_INSTALL_PROGRAMS qvbootcli)
endif()
install(TARGETS ${QV_INSTALL_PROGRAMS} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES ${QV_HELP_GUIDE} DESTINATION ${CMAKE_INSTALL_DATADIR}/qv-boot)
install(FILES resources/desktop/qv-boot.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES resources/desktop/io.github.quorvex.qvboot.metainfo.xml
        DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
install(FILES resources/icons/qv-boot.svg DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
# udev reads rules from <prefix>/lib/udev/rules.d, never from a multiarch
# library folder, so this one path is not GNUInstallDirs' LIBDIR.
install(FILES resources/udev/60-qv-boot.rules DESTINATION lib/udev/rules.d)

set(CPACK_PACKAGE_NAME qv-boot)
set(CPACK_PACKAGE_VENDOR "Quorvex")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Firmware loader for the Quorvex stations")
set(CPACK_PACKAGE_DESCRIPTION "QV-Boot loads new firmware into the battery-powered stations of the
Quorvex family over a serial line (serial cable, the station's USB interface or a
relaying master station) and sets their clocks. It comes with qvstation, a
simulated station on a pseudo-terminal, and qvimage, which makes and shows
upgrade files.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(QV_PACKAGE_MAINTAINER "QV-Boot maintainers <qv-boot@quorvex.invalid>"
    CACHE STRING "Maintainer field of the Debian package")
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${QV_PACKAGE_MAINTAINER}")
set(CPACK_DEBIAN_PACKAGE_SECTION electronics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Read at run time, so dpkg-shlibdeps cannot see it: Qt's own catalogue, which
# puts the standard buttons of the boxes into German and French.
set(CPACK_DEBIAN_PACKAGE_DEPENDS qt6-translations-l10n)
set(CPACK_GENERATOR DEB)
include(CPack)

if(QV_TESTS)
  add_test(NAME package_contents
    COMMAND bash ${CMAKE_CURRENT_SOURCE_DIR}/tests/package/check-package.sh ${CMAKE_CURRENT_BINARY_DIR})
endif()
