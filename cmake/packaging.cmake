# What `cmake --install` puts in place, and the packages CPack makes of it.
#
# Linux: the program, its README, a systemd unit and the unit's environment file with the store's
# drive map; CPack makes a Debian package (cpack -G DEB).
# Windows: zav5.exe in the folder ZAV5_WINDOWS_EXE_DIR names and the installation guide for the
# store PC in Italian and English. The 32-bit build's package (cpack -G ZIP in build/windows32)
# also holds the 64-bit build's zav5.exe, from the build folder ZAV5_ZIP_ALSO names.

include(GNUInstallDirs)

set(CPACK_PACKAGE_NAME zav5)
set(CPACK_PACKAGE_VENDOR zav5)
set(CPACK_PACKAGE_CONTACT "zav5 maintainers <zav5@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "${PROJECT_DESCRIPTION}")
set(CPACK_PACKAGE_VERSION "${PROJECT_VERSION}")
set(CPACK_RESOURCE_FILE_README "${PROJECT_SOURCE_DIR}/README.md")
set(CPACK_PACKAGE_FILE_NAME_SUFFIX "")

if(WIN32)
  set(ZAV5_WINDOWS_EXE_DIR "." CACHE STRING "Folder of zav5.exe within an installation")
  set(ZAV5_ZIP_ALSO "" CACHE PATH "Build folder of the other Windows build, whose zav5.exe the zip holds too")
  install(TARGETS zav5 RUNTIME DESTINATION "${ZAV5_WINDOWS_EXE_DIR}" COMPONENT program)
  # Notepad opens them as they are: the guide is kept with CR LF (see .gitattributes).
  install(FILES docs/installazione-windows.txt DESTINATION . RENAME LEGGIMI.txt COMPONENT guide)
  install(FILES docs/install-windows.txt DESTINATION . RENAME README.txt COMPONENT guide)

  set(CPACK_GENERATOR ZIP)
  if(CMAKE_SIZEOF_VOID_P EQUAL 4)
    set(CPACK_PACKAGE_FILE_NAME "zav5-${PROJECT_VERSION}-windows")
  else()
    set(CPACK_PACKAGE_FILE_NAME "zav5-${PROJECT_VERSION}-windows64")
  endif()
  set(CPACK_INSTALL_CMAKE_PROJECTS "${CMAKE_BINARY_DIR};zav5;ALL;/")
  if(ZAV5_ZIP_ALSO)
    list(APPEND CPACK_INSTALL_CMAKE_PROJECTS "${ZAV5_ZIP_ALSO};zav5;program;/")
  endif()
else()
  install(TARGETS zav5 RUNTIME DESTINATION "${CMAKE_INSTALL_BINDIR}")
  install(FILES README.md DESTINATION "${CMAKE_INSTALL_DOCDIR}")

  # The unit runs the installed program with the options of its environment file.
  set(ZAV5_ENVIRONMENT_FILE "${CMAKE_INSTALL_FULL_SYSCONFDIR}/default/zav5")
  set(ZAV5_PROGRAM "${CMAKE_INSTALL_FULL_BINDIR}/zav5")
  configure_file(packaging/zav5.service.in zav5.service @ONLY)
  install(FILES "${CMAKE_BINARY_DIR}/zav5.service" DESTINATION lib/systemd/system)
  install(FILES packaging/zav5.default DESTINATION "${CMAKE_INSTALL_FULL_SYSCONFDIR}/default"
          RENAME zav5)

  # The package installs where the build was configured for, which the unit names: the presets
  # configure for /usr, as a Debian package must.
  set(CPACK_GENERATOR DEB)
  set(CPACK_PACKAGING_INSTALL_PREFIX "${CMAKE_INSTALL_PREFIX}")
  set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
  set(CPACK_DEBIAN_PACKAGE_SECTION misc)
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
  set(CPACK_DEBIAN_PACKAGE_DEPENDS "passwd")
  # The drivers for a store whose files are reached through ODBC.
  set(CPACK_DEBIAN_PACKAGE_SUGGESTS "libsqliteodbc, odbc-mdbtools")
  # Below the synopsis (the summary); CPack indents the lines as Debian asks.
  string(JOIN "\n" CPACK_DEBIAN_PACKAGE_DESCRIPTION
         "Every few seconds it looks in the store's database for promotional offers"
         "whose last day has passed, restores the regular prices of their articles and"
         "hands the new prices to the electronic shelf-label systems. The systemd unit"
         "zav5.service runs it with the drive map of /etc/default/zav5.")
  set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA
      "${PROJECT_SOURCE_DIR}/packaging/debian/postinst;${PROJECT_SOURCE_DIR}/packaging/debian/prerm;${PROJECT_SOURCE_DIR}/packaging/debian/postrm;${PROJECT_SOURCE_DIR}/packaging/debian/conffiles")
  set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
endif()

include(CPack)
