# Installation and packaging.  `cmake --install` puts Quenlorix, the example
# programs, the toolkit's library and headers and, on Linux, Quenlorix's man
# page, desktop entry and icons below the prefix; `cpack -G DEB` makes a
# Debian package of the same files.
include(GNUInstallDirs)
# Installing and packaging take the build as it is and never build first:
# the suite packages the build tree while its other tests run the programs,
# and a rebuild then would replace them under their feet.
set(CMAKE_SKIP_INSTALL_ALL_DEPENDENCY TRUE)

install(TARGETS quenlorix RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
# The examples are demonstrations, not commands for the search path.
install(TARGETS widgets_demo gallery RUNTIME DESTINATION ${CMAKE_INSTALL_LIBEXECDIR}/kx9d)
# The umbrella and every floor below it: a program links them in this order
# (the README gives the whole link line).
install(TARGETS kx9d kx_markup kx_widgets kx_io kx_print kx_core kx_graphics kx_platform kx_base
  ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR})
# Headers as the toolkit's own sources include them ("core/window.h"), below
# include/kx9d; the hosts' private headers stay behind.
install(DIRECTORY toolkit/ DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/kx9d
  FILES_MATCHING PATTERN "*.h"
  PATTERN "platform/x11" EXCLUDE
  PATTERN "platform/posix" EXCLUDE
  PATTERN "platform/win32" EXCLUDE)

if(NOT WIN32)
  install(FILES app/quenlorix.1 DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
  install(FILES app/quenlorix.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
endif()

# The icon is drawn by the program's own code (app/icon.cpp) and written as
# PNG files at build time, one per size of the icon theme.
if(NOT CMAKE_CROSSCOMPILING AND NOT WIN32)
  add_executable(writeicon tools/writeicon.cpp)
  target_link_libraries(writeicon PRIVATE quenlorix_app)
  set(KX_ICON_DIR ${CMAKE_CURRENT_BINARY_DIR}/icons)
  set(KX_ICON_FILES "")
  foreach(size 16 24 32 48 64 128 256)
    set(dir ${KX_ICON_DIR}/${size}x${size}/apps)
    add_custom_command(OUTPUT ${dir}/quenlorix.png
      COMMAND ${CMAKE_COMMAND} -E make_directory ${dir}
      COMMAND writeicon ${size} ${dir}/quenlorix.png
      DEPENDS writeicon
      COMMENT "Drawing the ${size}x${size} icon"
      VERBATIM)
    list(APPEND KX_ICON_FILES ${dir}/quenlorix.png)
  endforeach()
  add_custom_target(quenlorix_icons ALL DEPENDS ${KX_ICON_FILES})
  install(DIRECTORY ${KX_ICON_DIR}/ DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor)
endif()

set(CPACK_PACKAGE_NAME quenlorix)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})  # all four numbers
set(CPACK_PACKAGE_VENDOR "kx9d")
set(CPACK_PACKAGE_CONTACT "kx9d developers")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "serial-line protocol tester")
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "Quenlorix sends the strings of a table over a serial line, one row per
button, and shows and logs all traffic. It is built on kx9d, a small toolkit
that draws every window itself; the toolkit's static library, its headers
and two example programs are included.")
set(CPACK_DEBIAN_PACKAGE_SECTION electronics)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_STRIP_FILES ON)
include(CPack)

# The man page renders without a warning; an install into a scratch
# directory and the Debian package hold every file above.
if(KX_TESTS AND NOT CMAKE_CROSSCOMPILING)
  add_test(NAME Install.ManPageRendersWithoutWarnings
    COMMAND sh ${CMAKE_CURRENT_SOURCE_DIR}/tests/install/check-manpage
      ${CMAKE_CURRENT_SOURCE_DIR}/app/quenlorix.1)
  # A sanitized build's libraries need the sanitizer runtimes at link time.
  set(KX_INSTALL_LINK_FLAGS "")
  if(KX_SANITIZE)
    set(KX_INSTALL_LINK_FLAGS "-fsanitize=address,undefined")
  endif()
  add_test(NAME Install.DestdirAndDebianPackageHoldEveryFile
    COMMAND sh ${CMAKE_CURRENT_SOURCE_DIR}/tests/install/check-install ${CMAKE_CURRENT_BINARY_DIR}
      "${KX_INSTALL_LINK_FLAGS}")
endif()
