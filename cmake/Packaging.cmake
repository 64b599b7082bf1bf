# The Debian package, built by CPack from the install rules (scripts/package.sh).
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME voluni-viewer)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR Ombrel)
set(CPACK_PACKAGE_CONTACT "Ombrel <voluni@ombrel.example>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "transit IC card history viewer for travel-expense claims")
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
"Voluni Viewer reads the usage history of Japanese contactless transit IC
cards (FeliCa rail and bus cards) from a card reader and turns it into a
travel-expense list: every trip with date, stations, lines, companies,
fare, balance, remarks, visit destination and distance, with a fare filter
and the total of the claimed fares. It also opens its own entry files
(.ent). The user interface is Japanese.

The package holds the viewer, the command-line tool voluni, which prints
a card's or an entry file's entries as JSON or CSV, and the station
database.")
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${CPACK_PACKAGE_CONTACT}")
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE https://www.ombrel.example/voluni/)
# Libraries come from dpkg-shlibdeps; card readers are reached through pcscd,
# most of them through its CCID driver.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS pcscd)
# Qt's own dialogs speak Japanese with its translations; English without them.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "libccid, qt6-translations-l10n")
set(CPACK_DEBIAN_PACKAGE_SUGGESTS libacsccid1)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_STRIP_FILES ON)
# The programs look for their data under the prefix they were built for.
set(CPACK_PACKAGING_INSTALL_PREFIX ${CMAKE_INSTALL_PREFIX})
include(CPack)
