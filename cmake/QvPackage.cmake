# The Debian package, made by CPack from the same install rules as `cmake --install`
# (scripts/package runs it). Its run-time dependencies are what dpkg-shlibdeps finds in the
# program, its libraries, modules and tools, plus what they load by name: Qt's platform
# plugins, and as recommendations the data and services the program reads when present.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME quorvalde-translator)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR Quorvalde)
set(CPACK_PACKAGE_CONTACT "${QV_PACKAGE_MAINTAINER}")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "desktop translator for text, documents, pictures and web pages")
# The body under the summary line, which CPack puts first; lines short of 80 columns.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "Quorvalde Translator translates typed, pasted or dropped text, documents,
pictures and web pages, online through the Quorvalde service or offline with
downloaded language packages that its own engine runs on this computer. It
shows dictionary entries, reads text aloud and keeps a history with favourites.
.
The package installs no repository and no automatic updates.")
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${QV_PACKAGE_MAINTAINER}")
set(CPACK_DEBIAN_PACKAGE_RELEASE ${QV_PACKAGE_RELEASE})
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE https://quorvalde.example)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The program's own libraries are private: dpkg-shlibdeps finds them here, not in another package.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS_PRIVATE_DIRS /usr/${QV_INSTALL_PRIVATE_LIBDIR})
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS
  "tesseract-ocr-eng, wordnet-base, speech-dispatcher, speech-dispatcher-espeak-ng, qt6-speech-speechd-plugin, qt6-wayland, trans-de-en, libopenblas0-pthread")
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "gnome-keyring, sound-theme-freedesktop, gstreamer1.0-plugins-good")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_DEBIAN_COMPRESSION_TYPE xz)
set(CPACK_PACKAGE_DIRECTORY ${PROJECT_BINARY_DIR}/package)
include(CPack)
