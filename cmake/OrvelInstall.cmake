# Install rules and the Debian packages.
#
# Layout under the prefix (GNUInstallDirs):
#   libexec/orvelnetdisk/OrvelNetdisk             the client: its own program folder,
#   libexec/orvelnetdisk/AutoUpdate/OrvelTool     because the updater lives beside it
#   bin/OrvelNetdisk -> ../libexec/orvelnetdisk/OrvelNetdisk
#   share/applications, share/metainfo, share/icons/hicolor/<n>x<n>/apps
# Component "client": the above. Component "tools": orvel-server and
# orvel-transfer, packaged apart so the client package does not carry them.
include(GNUInstallDirs)

set(ORVEL_APP_ID example.orvel.OrvelNetdisk)
set(ORVEL_PROGRAM_DIR ${CMAKE_INSTALL_LIBEXECDIR}/orvelnetdisk CACHE STRING
  "The client's program folder, relative to the installation prefix")
set(pkg_src ${PROJECT_SOURCE_DIR}/packaging/linux)
set(pkg_out ${CMAKE_BINARY_DIR}/packaging)

install(TARGETS OrvelNetdisk RUNTIME DESTINATION ${ORVEL_PROGRAM_DIR} COMPONENT client)
if(TARGET OrvelTool)
  install(TARGETS OrvelTool RUNTIME DESTINATION ${ORVEL_PROGRAM_DIR}/AutoUpdate COMPONENT client)
endif()
# The package manager's marker: the client reads it and offers the download
# page instead of replacing files it does not own. Only the packages carry it
# (a component install); a plain "cmake --install" leaves it out, so such an
# installation updates itself.
file(WRITE ${pkg_out}/installed-by-package "dpkg\n")
install(FILES ${pkg_out}/installed-by-package DESTINATION ${ORVEL_PROGRAM_DIR} COMPONENT client EXCLUDE_FROM_ALL)

# The command in the path: a relative link into the program folder.
file(RELATIVE_PATH link_target ${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}
  ${CMAKE_INSTALL_PREFIX}/${ORVEL_PROGRAM_DIR}/OrvelNetdisk)
file(MAKE_DIRECTORY ${pkg_out}/bin)
file(CREATE_LINK ${link_target} ${pkg_out}/bin/OrvelNetdisk SYMBOLIC)
install(FILES ${pkg_out}/bin/OrvelNetdisk DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT client)

# Desktop entry, AppStream metadata and the icon at the usual sizes, drawn by
# the same script from the same glyph as the window icon.
install(FILES ${pkg_src}/${ORVEL_APP_ID}.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications COMPONENT client)
string(TIMESTAMP ORVEL_RELEASE_DATE "%Y-%m-%d" UTC) # SOURCE_DATE_EPOCH when set
configure_file(${pkg_src}/${ORVEL_APP_ID}.metainfo.xml.in ${pkg_out}/${ORVEL_APP_ID}.metainfo.xml @ONLY)
install(FILES ${pkg_out}/${ORVEL_APP_ID}.metainfo.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo COMPONENT client)
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${pkg_src}/hicolor.map)
execute_process(COMMAND bash ${PROJECT_SOURCE_DIR}/resources/images/render-icons.sh ${ORVEL_ICON_THEME}
  ${pkg_src}/hicolor.map ${pkg_out}/hicolor RESULT_VARIABLE icons_rc)
if(NOT icons_rc EQUAL 0)
  message(FATAL_ERROR "Rendering the hicolor icons failed")
endif()
install(DIRECTORY ${pkg_out}/hicolor DESTINATION ${CMAKE_INSTALL_DATADIR}/icons COMPONENT client)

# Manual pages, compressed as Debian keeps them.
file(MAKE_DIRECTORY ${pkg_out}/man)
foreach(page OrvelNetdisk orvel-server orvel-transfer)
  execute_process(COMMAND gzip -9nc ${pkg_src}/man/${page}.1 OUTPUT_FILE ${pkg_out}/man/${page}.1.gz)
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${pkg_src}/man/${page}.1)
endforeach()
install(FILES ${pkg_out}/man/OrvelNetdisk.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1 COMPONENT client)
install(FILES ${pkg_out}/man/orvel-server.1.gz ${pkg_out}/man/orvel-transfer.1.gz
  DESTINATION ${CMAKE_INSTALL_MANDIR}/man1 COMPONENT tools)

# Package documentation Debian asks for.
set(doc_dir ${CMAKE_INSTALL_DATADIR}/doc/orvelnetdisk)
install(FILES ${pkg_src}/copyright DESTINATION ${doc_dir} COMPONENT client)
execute_process(COMMAND gzip -9nc ${pkg_src}/changelog OUTPUT_FILE ${pkg_out}/changelog.gz)
install(FILES ${pkg_out}/changelog.gz DESTINATION ${doc_dir} COMPONENT client)

foreach(t orvel-server orvel-transfer)
  if(TARGET ${t})
    install(TARGETS ${t} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT tools)
  endif()
endforeach()
install(FILES ${pkg_src}/copyright DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/orvelnetdisk-tools COMPONENT tools)
install(FILES ${pkg_out}/changelog.gz DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/orvelnetdisk-tools COMPONENT tools)

# Debian packages: "cpack -G DEB" in the build folder (scripts/build-deb.sh).
set(CPACK_PACKAGE_NAME orvelnetdisk)
set(CPACK_PACKAGE_VENDOR "Orvel")
set(CPACK_PACKAGE_CONTACT "Orvel <support@orvel.example>")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_GENERATOR DEB)
set(CPACK_STRIP_FILES ON)
set(CPACK_COMPONENTS_ALL client tools)
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION net)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS OFF)
set(CPACK_DEBIAN_CLIENT_PACKAGE_NAME orvelnetdisk)
set(CPACK_DEBIAN_CLIENT_PACKAGE_SECTION net)
# Loaded as plug-ins, so not found in the binary's own links.
set(CPACK_DEBIAN_CLIENT_PACKAGE_DEPENDS "libqt5sql5-sqlite")
set(CPACK_DEBIAN_CLIENT_PACKAGE_RECOMMENDS "fonts-noto-cjk")
set(CPACK_DEBIAN_CLIENT_DESCRIPTION "desktop client for the school cloud disk
Sign in with the school account, browse the school's shared disk, upload
and download with resume, manage files, preview documents and back the
disk up to a local folder.")
set(CPACK_DEBIAN_TOOLS_PACKAGE_NAME orvelnetdisk-tools)
set(CPACK_DEBIAN_TOOLS_PACKAGE_SECTION net)
set(CPACK_DEBIAN_TOOLS_DESCRIPTION "stand-in service and transfer tool for the school cloud disk
orvel-server answers like the school's service on the local machine, for
demonstrations and tests; orvel-transfer drives uploads and downloads from
the command line.")
include(CPack)
