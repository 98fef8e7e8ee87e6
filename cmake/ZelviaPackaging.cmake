# Debian package of the program: `cpack -G DEB` in the build folder. Configure with
# -DCMAKE_INSTALL_PREFIX=/usr and a Release build for a package to ship; the help book is also
# found through <program's folder>/../share/zelvia/help, so other prefixes work too.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME zelvia)
set(CPACK_PACKAGE_VERSION ${ZELVIA_VERSION_TEXT})
set(CPACK_PACKAGE_VENDOR "The Zelvia developers")
set(CPACK_PACKAGE_CONTACT "Zelvia developers <zelvia@example.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "picture viewer and file browser with a Japanese interface")
set(CPACK_PACKAGE_DESCRIPTION
    "Zelvia is a single-window picture viewer and file browser with a Japanese
user interface. The user picks a drive, a folder and a file; the picture is
shown reduced to fit a square display box, and a panel shows the file's name,
size, attributes, pixel size, last-modified date and folder. BMP, DIB, ICO,
WMF, EMF, JPEG and GIF pictures are shown, and executables show their icon.
The picture can be printed with its details or copied to the clipboard, and
the file moved to the trash.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION graphics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "Zelvia developers <zelvia@example.org>")
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "https://zelvia.github.io/")
# Library dependencies (Qt, libturbojpeg, libcups2) come from dpkg-shlibdeps; the user
# interface needs a Japanese font, Qt's platform plugins (X11 and Wayland) and Qt's Japanese
# texts for the standard dialogs, which no library dependency pulls in.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS
    "fonts-ipafont-gothic | fonts-vlgothic, qt6-qpa-plugins, qt6-wayland, qt6-translations-l10n")

include(CPack)
