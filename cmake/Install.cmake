# What `cmake --install` puts where, and the Debian package made from the same tree (`make package`).
#
# The programs install themselves from their own folders into bin/: nk7x (app/), nk7x-cli and
# nk7x-sim (tools/). The emulator stays in bin/ rather than libexec/nk7x/: people start it by hand
# to try the program without a keyboard (README, `nk7x-sim(1)`, scripts/run-demo.sh), so it belongs
# on PATH; it is not a helper that only another program runs.
#
# Everything else comes from here: the data the program reads (share/nk7x), the udev rule, the
# desktop entry, the AppStream metainfo, the icons, the manual pages and the shell completion.

set(NK7X_APP_ID "org.nk7x.configurator" CACHE STRING
    "AppStream component ID (reverse DNS; it must never change once published)")
set(NK7X_SCREENSHOT_URL_BASE "" CACHE STRING
    "https address the docs/screenshot-*.png files are published under; empty: the metainfo lists no screenshots")
set(NK7X_UDEV_RULES_DIR "lib/udev/rules.d" CACHE STRING
    "Where the udev rule goes; relative to the install prefix unless absolute")
set(NK7X_PACKAGE_MAINTAINER "NK-7X configurator maintainers <nk7x-maintainers@invalid>" CACHE STRING
    "The Maintainer field of the Debian package")

set(_pkg "${CMAKE_SOURCE_DIR}/packaging")
set(_gen "${CMAKE_BINARY_DIR}/packaging")
file(MAKE_DIRECTORY "${_gen}/man" "${_gen}/icons")

# Data: the program finds it in ${NK7X_INSTALL_DATADIR} (platform/linux/Folders.cpp).
install(DIRECTORY DefaultData skin Font DESTINATION "${CMAKE_INSTALL_DATADIR}/nk7x"
        PATTERN "skin/lang/README.md" EXCLUDE)

# Access to the devices for the logged-in user (uaccess); never writable by others.
install(FILES udev/70-nk7x.rules DESTINATION "${NK7X_UDEV_RULES_DIR}"
        PERMISSIONS OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ)

# The rest belongs to the desktop program; a build without it makes no package.
if(NOT NK7X_GUI)
  return()
endif()

# ---- desktop integration ------------------------------------------------------------------------

install(FILES "${_pkg}/nk7x.desktop" DESTINATION "${CMAKE_INSTALL_DATADIR}/applications")

# Profiles that follow the application in front: the KWin script is the program's own data (it
# loads it through KWin's scripting interface while it needs it, so KWin never lists it); the shell
# extension goes where GNOME Shell finds extensions for every user, who enables it.
install(DIRECTORY "${_pkg}/kwin/nk7x-focus" DESTINATION "${CMAKE_INSTALL_DATADIR}/nk7x/kwin")
install(DIRECTORY "${_pkg}/gnome-shell/nk7x-focus@norlakeys"
        DESTINATION "${CMAKE_INSTALL_DATADIR}/gnome-shell/extensions")

# AppStream wants screenshots as https addresses; without a published copy of docs/ there are none.
set(NK7X_METAINFO_SCREENSHOTS "")
if(NK7X_SCREENSHOT_URL_BASE)
  if(NOT NK7X_SCREENSHOT_URL_BASE MATCHES "^https://")
    message(FATAL_ERROR "NK7X_SCREENSHOT_URL_BASE must be an https:// address")
  endif()
  string(REGEX REPLACE "/+$" "" _shots "${NK7X_SCREENSHOT_URL_BASE}")
  set(NK7X_METAINFO_SCREENSHOTS "  <screenshots>\n")
  foreach(shot "keyboard;default;The keyboard page with a keyboard connected"
               "keys;;Assigning a key"
               "macros;;Recording a macro"
               "keyboard-wave;;A lighting effect in the preview")
    list(GET shot 0 file)
    list(GET shot 1 kind)
    list(GET shot 2 caption)
    set(type "")
    if(kind)
      set(type " type=\"${kind}\"")
    endif()
    string(APPEND NK7X_METAINFO_SCREENSHOTS
           "    <screenshot${type}>\n"
           "      <caption>${caption}</caption>\n"
           "      <image>${_shots}/screenshot-${file}.png</image>\n"
           "    </screenshot>\n")
  endforeach()
  string(APPEND NK7X_METAINFO_SCREENSHOTS "  </screenshots>\n")
endif()
configure_file("${_pkg}/nk7x.metainfo.xml.in" "${_gen}/${NK7X_APP_ID}.metainfo.xml" @ONLY)
install(FILES "${_gen}/${NK7X_APP_ID}.metainfo.xml" DESTINATION "${CMAKE_INSTALL_DATADIR}/metainfo")

# Icons: the skin's SVG, and PNG renderings of it for the sizes panels and menus ask for.
set(_icon_svg "${CMAKE_SOURCE_DIR}/skin/images/app_icon.svg")
install(FILES "${_icon_svg}" DESTINATION "${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps"
        RENAME nk7x.svg)
find_program(NK7X_RSVG_CONVERT rsvg-convert)
set(_pngs)
if(NK7X_RSVG_CONVERT)
  foreach(size 16 22 24 32 48 64 128 256)
    set(png "${_gen}/icons/${size}/nk7x.png")
    add_custom_command(OUTPUT "${png}"
      COMMAND "${CMAKE_COMMAND}" -E make_directory "${_gen}/icons/${size}"
      COMMAND "${NK7X_RSVG_CONVERT}" --width ${size} --height ${size} --keep-aspect-ratio
              --output "${png}" "${_icon_svg}"
      DEPENDS "${_icon_svg}" VERBATIM)
    list(APPEND _pngs "${png}")
    install(FILES "${png}" DESTINATION "${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps")
  endforeach()
else()
  message(WARNING "rsvg-convert (Debian package librsvg2-bin) is missing: the PNG icons are not made "
                  "and the install check fails; run scripts/install-deps.sh")
endif()

# ---- manual pages and completion ----------------------------------------------------------------

# The pages carry the version; they are compressed as Debian installs manual pages.
set(_mans)
foreach(page nk7x nk7x-cli nk7x-sim)
  configure_file("${_pkg}/man/${page}.1.in" "${_gen}/man/${page}.1" @ONLY)
  set(gz "${_gen}/man/${page}.1.gz")
  add_custom_command(OUTPUT "${gz}"
    COMMAND gzip -9 -n -k -f "${_gen}/man/${page}.1"
    DEPENDS "${_gen}/man/${page}.1" VERBATIM)
  list(APPEND _mans "${gz}")
  install(FILES "${gz}" DESTINATION "${CMAKE_INSTALL_MANDIR}/man1")
endforeach()

install(FILES "${_pkg}/completion/nk7x-cli" DESTINATION "${CMAKE_INSTALL_DATADIR}/bash-completion/completions")

# Everything `cmake --install` takes from the build, so a package can be made without building the
# tests and benchmarks (`make package`).
add_custom_target(nk7x_desktop_files ALL DEPENDS ${_pngs} ${_mans})
add_custom_target(nk7x_installed)
add_dependencies(nk7x_installed nk7x_desktop_files)
foreach(program nk7x nk7x-cli nk7x-sim)
  if(TARGET ${program})
    add_dependencies(nk7x_installed ${program})
  endif()
endforeach()

# ---- the Debian package -------------------------------------------------------------------------

# The program looks for its data under the prefix it was built for, so the package installs there
# too: configure with -DCMAKE_INSTALL_PREFIX=/usr for a distribution package (`make package` does).
set(CPACK_PACKAGING_INSTALL_PREFIX "${CMAKE_INSTALL_PREFIX}")
if(NOT CMAKE_INSTALL_PREFIX STREQUAL "/usr")
  message(STATUS "nk7x: the .deb of this build installs under ${CMAKE_INSTALL_PREFIX} "
                 "(a distribution package wants -DCMAKE_INSTALL_PREFIX=/usr)")
endif()

set(CPACK_GENERATOR "DEB")
set(CPACK_PACKAGE_NAME "nk7x")
set(CPACK_PACKAGE_VERSION "${PROJECT_VERSION}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "${PROJECT_DESCRIPTION}")
set(CPACK_PACKAGE_CONTACT "${NK7X_PACKAGE_MAINTAINER}")
set(CPACK_STRIP_FILES ON)
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
set(CPACK_DEBIAN_FILE_NAME "DEB-DEFAULT")
set(CPACK_DEBIAN_PACKAGE_SECTION "utils")
set(CPACK_DEBIAN_PACKAGE_PRIORITY "optional")
# The summary above is the synopsis line; this is the text below it.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "Sets up the lighting effects and per-key colours, key assignments, macros,
polling rate and keyboard options of NK-7X keyboards through their USB HID
interface. Every setting lives in named profiles. The package also holds the
command-line tool nk7x-cli and the device emulator nk7x-sim, which lets the
program be tried without hardware.")
# Libraries from the binaries (dpkg-shlibdeps); what only runs at run time is recommended.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Opened at run time by the update check, so the binaries do not name it.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "libcurl4")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "fonts-noto-cjk | fonts-wqy-microhei, fonts-dejavu-core, qt6-wayland")
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA "${_pkg}/debian/postinst;${_pkg}/debian/postrm")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)

include(CPack)
