# SPDX-License-Identifier: MIT
# A Debian package of what the build installs: in the build folder,
# cpack -G DEB makes travorn_<version>_<arch>.deb, whose dependencies
# dpkg-shlibdeps computes from the binaries. The license is its copyright
# file.
set(CPACK_PACKAGE_NAME travorn)
set(CPACK_PACKAGE_VENDOR "The travorn authors")
set(CPACK_PACKAGE_CONTACT "The travorn authors <travorn@users.noreply.github.com>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "convert ASCII PPM (P3) images into 24-bit BMP files")
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
    "travorn turns a NetPBM plain-text colour image (P3) into an uncompressed\n"
    "24-bit BMP file that every viewer opens, with a clear report and status 1\n"
    "for a file it cannot take. It never replaces a file that is not a BMP\n"
    "file and leaves no half-written file behind.\n"
    "\n"
    "The package also holds its two C++ libraries, static, with their headers,\n"
    "a CMake package and a pkg-config file: libtravorn_ppma reads, checks and\n"
    "writes ASCII PPM images, and libtravorn_bmp reads, writes and describes 8-bit\n"
    "and 24-bit BMP files.")
string(REPLACE ";" "" CPACK_DEBIAN_PACKAGE_DESCRIPTION "${CPACK_DEBIAN_PACKAGE_DESCRIPTION}")
set(CPACK_DEBIAN_PACKAGE_SECTION graphics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_GENERATOR DEB)
include(CPack)
