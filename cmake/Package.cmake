# A Debian package for a system-wide install: `cpack -G DEB` in the build directory.
# Installed there, the program cannot write beside itself and keeps its data in the
# per-user folder instead.
set(KAKIVA_MAINTAINER "Kakiva developers <kakiva@example.org>"
    CACHE STRING "Maintainer named in the package")

set(CPACK_PACKAGE_NAME kakiva)
set(CPACK_PACKAGE_VENDOR Kakiva)
set(CPACK_PACKAGE_CONTACT "${KAKIVA_MAINTAINER}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "desktop diary that publishes itself as a small web site")
set(CPACK_PACKAGE_DESCRIPTION "Kakiva is a diary with a Japanese user interface. Each day's entry is stored
as a Shift_JIS text file. Saving it rewrites the year, month and day pages of
that date and uploads them to an FTP server.")
set(CPACK_GENERATOR DEB)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
# The libraries it needs, with versions, as dpkg-shlibdeps reads them from the program.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Japanese input under fcitx5 (Qt already ships the plugin for ibus), and a Japanese
# Gothic face for the captions, which a desktop without one shows as empty boxes; the
# Secret Service client the keyring library opens at run time (without it the password
# stays in Kakiva.ini).
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS
  "fcitx5-frontend-qt6, fonts-ipafont-gothic | fonts-noto-cjk, libsecret-1-0")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
include(CPack)
