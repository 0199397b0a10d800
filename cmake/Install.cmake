# Installing vx414 (`cmake --install`) and its Debian package (`cpack`).
#
# The program looks for VX-414.dis and VX-414.chm in its own folder, so the three are
# installed together in <prefix>/lib/vx414/, and <prefix>/bin/vx414 is a relative link to
# the program there (the program resolves /proc/self/exe, so it finds its folder through
# the link). The tools go to <prefix>/bin. The desktop files, icons, manual pages and the
# udev rule are made ready in <build>/linux/, never in the sources.

set(VX414_HOMEPAGE "https://github.com/vx414/vx414" CACHE STRING
    "The project's home page, named in the package and the AppStream metainfo")
set(VX414_MAINTAINER "vx414 maintainers <maintainers@vx414.org>" CACHE STRING
    "The Debian package's maintainer")
# The date of this version's release, for the metainfo and the package's changelog.
set(VX414_RELEASE_DATE 2026-12-07)
set(VX414_RELEASE_DATE_RFC2822 "Mon, 07 Dec 2026 12:00:00 +0000")

set(VX414_PROGRAM_DIR lib/vx414)
set(linux_sources ${PROJECT_SOURCE_DIR}/data/linux)
set(linux_build ${PROJECT_BINARY_DIR}/linux)
set(CMAKE_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)

# The program, its files and the link to it.
if(TARGET vx414)
  install(TARGETS vx414 RUNTIME DESTINATION ${VX414_PROGRAM_DIR})
  # The print module, loaded from the program's folder on the first Print.
  install(TARGETS vx414_print LIBRARY DESTINATION ${VX414_PROGRAM_DIR}/modules)
  file(MAKE_DIRECTORY ${linux_build}/bin)
  file(CREATE_LINK ../${VX414_PROGRAM_DIR}/vx414 ${linux_build}/bin/vx414 SYMBOLIC)
  install(FILES ${linux_build}/bin/vx414 DESTINATION bin)
endif()
if(TARGET vx414_data_file)
  install(FILES ${PROJECT_BINARY_DIR}/VX-414.dis DESTINATION ${VX414_PROGRAM_DIR})
endif()
if(TARGET vx414_help_file)
  install(FILES ${PROJECT_BINARY_DIR}/VX-414.chm DESTINATION ${VX414_PROGRAM_DIR})
endif()
foreach(tool vx414-reader-emulator vx414-elm327-emulator vx414-dis)
  if(TARGET ${tool})
    install(TARGETS ${tool} RUNTIME DESTINATION bin)
  endif()
endforeach()
# vx414-read looks for the data file beside itself too: it lives with the program, linked
# from bin like it; its bash completion is loaded on demand by bash-completion.
if(TARGET vx414-read)
  install(TARGETS vx414-read RUNTIME DESTINATION ${VX414_PROGRAM_DIR})
  file(MAKE_DIRECTORY ${linux_build}/bin)
  file(CREATE_LINK ../${VX414_PROGRAM_DIR}/vx414-read ${linux_build}/bin/vx414-read SYMBOLIC)
  install(FILES ${linux_build}/bin/vx414-read DESTINATION bin)
  install(FILES ${linux_sources}/vx414-read.bash-completion DESTINATION share/bash-completion/completions
          RENAME vx414-read)
endif()

# Manual pages and the package's changelog, compressed as Debian expects (no time stamp).
set(linux_outputs)
function(vx414_gzip source name)
  set(plain ${linux_build}/${name})
  add_custom_command(
    OUTPUT ${plain}.gz
    COMMAND ${CMAKE_COMMAND} -E copy ${source} ${plain}
    COMMAND gzip -9nf ${plain}
    DEPENDS ${source}
    VERBATIM)
  set(linux_outputs ${linux_outputs} ${plain}.gz PARENT_SCOPE)
endfunction()

set(man_pages vx414-reader-emulator vx414-elm327-emulator vx414-dis vx414-read)
if(TARGET vx414)
  list(APPEND man_pages vx414)
endif()
foreach(page ${man_pages})
  vx414_gzip(${linux_sources}/${page}.1 man/${page}.1)
  install(FILES ${linux_build}/man/${page}.1.gz DESTINATION share/man/man1)
endforeach()

configure_file(${linux_sources}/changelog.in ${linux_build}/changelog.in @ONLY)
vx414_gzip(${linux_build}/changelog.in doc/changelog)
install(FILES ${linux_build}/doc/changelog.gz ${linux_sources}/copyright DESTINATION share/doc/vx414)

install(FILES ${linux_sources}/60-vx414.rules DESTINATION lib/udev/rules.d)

# The desktop entry, the icon in the hicolor sizes and the AppStream metainfo.
if(TARGET vx414)
  find_program(VX414_RSVG_CONVERT rsvg-convert)
  if(NOT VX414_RSVG_CONVERT)
    message(FATAL_ERROR "rsvg-convert is missing: install Debian's librsvg2-bin package (tools/install-deps.sh)")
  endif()
  set(icon ${PROJECT_SOURCE_DIR}/data/vx414.svg)
  foreach(size 16 32 48 64 128 256)
    set(png ${linux_build}/icons/${size}x${size}/vx414.png)
    add_custom_command(
      OUTPUT ${png}
      COMMAND ${CMAKE_COMMAND} -E make_directory ${linux_build}/icons/${size}x${size}
      COMMAND ${VX414_RSVG_CONVERT} --width ${size} --height ${size} --output ${png} ${icon}
      DEPENDS ${icon}
      VERBATIM)
    list(APPEND linux_outputs ${png})
    install(FILES ${png} DESTINATION share/icons/hicolor/${size}x${size}/apps)
  endforeach()
  install(FILES ${icon} DESTINATION share/icons/hicolor/scalable/apps)
  install(FILES ${linux_sources}/vx414.desktop DESTINATION share/applications)

  set(VX414_SCREENSHOT_URL "${VX414_HOMEPAGE}/raw/main/docs/read.png")
  configure_file(${linux_sources}/io.github.vx414.vx414.metainfo.xml.in
                 ${linux_build}/io.github.vx414.vx414.metainfo.xml @ONLY)
  install(FILES ${linux_build}/io.github.vx414.vx414.metainfo.xml DESTINATION share/metainfo)
endif()

add_custom_target(vx414_linux_files ALL DEPENDS ${linux_outputs})

# The Debian package: `cpack` in the build folder writes vx414_<version>_<arch>.deb.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME vx414)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT ${VX414_MAINTAINER})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "companion program of the VX-414 trouble-code reader")
# Lines of at most 80 characters, as Debian's tools show them.
string(JOIN "\n" CPACK_PACKAGE_DESCRIPTION
  "vx414 reads the trouble codes of a car, pending, stored and permanent, each with"
  "its definition for the chosen vehicle make (67 makes, generic first): from the"
  "VX-414, a hand-held EOBD / OBD-II trouble-code reader, over its USB link, or"
  "through an ELM327 OBD-II adapter over USB serial, Bluetooth rfcomm,"
  "Bluetooth LE or Wi-Fi. Through an adapter it also tells the VIN, the"
  "check-engine light, the readiness monitors and the freeze frame, clears the"
  "codes, and shows live data as strip charts. Without a car it is a reference:"
  "type the beginning of a code to see its definition, or open the glossary of"
  "832 diagnostic terms."
  "."
  "vx414-read does the same on the command line: it reads the codes once, follows"
  "live data, looks a code or a glossary term up, and clears the codes through an"
  "ELM327 adapter, printing text, CSV or JSON for scripts."
  "."
  "The package also holds vx414-reader-emulator, which plays the reader on a"
  "pseudo-terminal, vx414-elm327-emulator, which plays an ELM327 OBD-II adapter"
  "and a car on a pseudo-terminal or a local TCP port, vx414-dis, which builds,"
  "dumps and verifies the definitions file, and a udev rule that gives access to"
  "the USB-serial chips ELM327 adapters are built on, with a template for naming"
  "the reader's device /dev/vx414.")
set(CPACK_PACKAGE_HOMEPAGE_URL ${VX414_HOMEPAGE})
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION electronics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# The shared libraries linked, found by dpkg-shlibdeps; then what the program needs at run
# time beyond them: Qt's xcb platform plugin, Liberation Sans for Arial's metrics, and
# chmlib, which the program loads when the help is first opened (not linked, so not found).
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins, fonts-liberation, libchm1")
include(CPack)
