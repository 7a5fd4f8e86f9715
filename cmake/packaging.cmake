# The Debian package of the desktop program: cpack -G DEB in a Release build directory
# (tools/package.sh does it all).
set(CPACK_PACKAGE_NAME brindlewick-puzzle)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR brindlewick)
set(CPACK_PACKAGE_CONTACT "brindlewick <puzzle@brindlewick.example>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "sliding picture puzzle")
set(CPACK_PACKAGE_DESCRIPTION
    "A picture is cut into a grid of 3 to 10 columns and rows, one corner piece\n\
is taken away and the others are shuffled; slide them back until the\n\
picture is whole again. Three levels with best times, custom board sizes,\n\
and any BMP, GIF, JPEG, PNG, TGA, TIFF or WMF picture of the player's.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION games)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "https://brindlewick.example/")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
# The libraries the program links come from dpkg-shlibdeps; what it loads at run time
# without linking it (picture loaders, fonts, the MIME database, the browser opener) is
# named here, as in tools/install-deps.sh.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS
    "libwmf-0.2-7-gtk, fonts-urw-base35, fonts-liberation, fonts-dejavu-core, shared-mime-info, xdg-utils")
include(CPack)
