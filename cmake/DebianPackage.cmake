# The Debian package of the Linux programs, made by CPack from the same install rules as
# `cmake --install`:
#     cpack --config build/CPackConfig.cmake -B DIR
# (scripts/package.sh builds with Debian's own build flags first). Its dependencies come from
# dpkg-shlibdeps, so they follow whatever libraries the programs were linked with; its version
# is the project's.
set(ORVANE_PACKAGE_MAINTAINER "Tesserium <orvane@tesserium.example>" CACHE STRING
    "The Maintainer field of the Debian package")

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME orvane)
set(CPACK_PACKAGE_VENDOR Tesserium)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_HOMEPAGE_URL https://tesserium.example/)
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "screen saver touring a variant of the Mandelbrot set")
set(CPACK_PACKAGE_DESCRIPTION
    "Orvane tours a variant of the Mandelbrot set in which the imaginary part
of z is replaced by its absolute value before every step. It renders a home
view, picks a busy spot, zooms ten times into it, up to ten times, animates
each zoom and saves every zoom picture as a BMP file; holding the right
mouse button shows a labelled coordinate grid.
.
This package holds the show (orvane), which runs full screen, in a window
or as an xscreensaver display mode with its settings page, and the headless
renderer (orvane-render), which writes single pictures and whole tours
without a screen.")
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${ORVANE_PACKAGE_MAINTAINER}")
set(CPACK_DEBIAN_PACKAGE_SECTION graphics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_SUGGESTS xscreensaver)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)    # orvane_VERSION_ARCH.deb
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)

# What a Debian package carries beyond the installed files: the copyright file, the
# changelog, compressed manual pages, programs stripped as Debian strips them. Done on
# CPack's staging tree before it is packed.
set(CPACK_PRE_BUILD_SCRIPTS ${CMAKE_CURRENT_LIST_DIR}/DebianPackageTree.cmake)
set(CPACK_ORVANE_STRIP ${CMAKE_STRIP})
set(CPACK_ORVANE_PACKAGING_DIR ${CMAKE_SOURCE_DIR}/packaging/deb)
string(TIMESTAMP CPACK_ORVANE_CHANGELOG_DATE "%a, %d %b %Y %H:%M:%S +0000" UTC)

include(CPack)
