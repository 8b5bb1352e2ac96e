# What `cmake --install` puts on a machine besides the executables, and the .deb that CPack
# builds from it. The executables install themselves from their own CMakeLists.txt.
include(GNUInstallDirs)

set(DRAVIK_APP_ID org.dravik.CommandTool)

install(FILES ${CMAKE_SOURCE_DIR}/resources/${DRAVIK_APP_ID}.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${CMAKE_SOURCE_DIR}/resources/${DRAVIK_APP_ID}.metainfo.xml
        DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
foreach(size 48 64 128 256)
  install(FILES ${CMAKE_SOURCE_DIR}/resources/icons/hicolor/${size}x${size}/apps/${DRAVIK_APP_ID}.png
          DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps)
endforeach()
install(FILES ${CMAKE_SOURCE_DIR}/resources/icons/${DRAVIK_APP_ID}.svg
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)

# Every page in docs/man, so pages added later install without an edit here.
file(GLOB dravik_man_pages CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/docs/man/*.1)
install(FILES ${dravik_man_pages} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)

# The Debian package's own documents: the copyright file (DEP-5) and the changelog, one entry
# per release of the metainfo (newest first), compressed as Debian keeps it. The package's
# version is the project's, with no Debian revision (a native package), so the changelog is
# changelog.gz.
set(DRAVIK_DOC_DIR ${CMAKE_INSTALL_DATADIR}/doc/dravik-command-tool)
install(FILES ${CMAKE_SOURCE_DIR}/cmake/debian/copyright DESTINATION ${DRAVIK_DOC_DIR})

set(dravik_metainfo ${CMAKE_SOURCE_DIR}/resources/${DRAVIK_APP_ID}.metainfo.xml)
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${dravik_metainfo})
file(STRINGS ${dravik_metainfo} dravik_releases REGEX "<release ")
set(dravik_changelog "")
foreach(release IN LISTS dravik_releases)
  string(REGEX MATCH "version=\"([^\"]+)\"" _ "${release}")
  set(release_version ${CMAKE_MATCH_1})
  string(REGEX MATCH "date=\"([^\"]+)\"" _ "${release}")
  set(release_date ${CMAKE_MATCH_1})
  execute_process(COMMAND date -u -R -d "${release_date} 12:00"
                  OUTPUT_VARIABLE release_stamp OUTPUT_STRIP_TRAILING_WHITESPACE RESULT_VARIABLE status)
  if(NOT status EQUAL 0 OR release_version STREQUAL "")
    message(FATAL_ERROR "metainfo release '${release}' has no usable version and date")
  endif()
  string(APPEND dravik_changelog
    "dravik-command-tool (${release_version}) unstable; urgency=medium\n\n"
    "  * Release ${release_version}.\n\n"
    " -- Dravik Command Tool developers <devel@dravik.invalid>  ${release_stamp}\n\n")
endforeach()
string(STRIP "${dravik_changelog}" dravik_changelog)
file(WRITE ${CMAKE_BINARY_DIR}/debian/changelog "${dravik_changelog}\n")
execute_process(COMMAND gzip -9nc ${CMAKE_BINARY_DIR}/debian/changelog
                OUTPUT_FILE ${CMAKE_BINARY_DIR}/debian/changelog.gz RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "gzip of the Debian changelog failed")
endif()
install(FILES ${CMAKE_BINARY_DIR}/debian/changelog.gz DESTINATION ${DRAVIK_DOC_DIR})

# dravik-exporter: its systemd unit, and the example configuration that the package's
# postinst copies to /etc/dravik-exporter/ once (everything installed stays below the prefix).
install(FILES ${CMAKE_SOURCE_DIR}/examples/dravik-exporter.service DESTINATION lib/systemd/system)
install(FILES ${CMAKE_SOURCE_DIR}/examples/dravik-exporter.yml DESTINATION ${CMAKE_INSTALL_DATADIR}/dravik-exporter)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME dravik-command-tool)
set(CPACK_PACKAGE_VENDOR "Dravik Command Tool developers")
set(CPACK_PACKAGE_CONTACT "Dravik Command Tool developers <devel@dravik.invalid>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "control large-format displays over the LAN and RS-232")
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
  "Controls large-format displays over TCP port 5000 and RS-232 lines: power, input,\n"
  "picture and sound commands, status read-back, display search and video walls.\n"
  "Includes dravikctl, a command for scripts, dravik-exporter, which lets Prometheus\n"
  "watch the displays, and dravik-display-sim, a simulated display for trying the\n"
  "tool without hardware.")
string(JOIN "" CPACK_DEBIAN_PACKAGE_DESCRIPTION ${CPACK_DEBIAN_PACKAGE_DESCRIPTION})
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
# The Qt libraries come from dpkg-shlibdeps; the platform plugins that open a window are
# loaded at run time, so no library dependency names them.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins, adduser")
# The manual pages go into the package compressed (a plain install keeps them as they are).
set(CPACK_PRE_BUILD_SCRIPTS ${CMAKE_SOURCE_DIR}/cmake/debian/compress_man_pages.cmake)
# The exporter's user and first configuration are made on install.
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA ${CMAKE_SOURCE_DIR}/cmake/deb/postinst)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
include(CPack)
