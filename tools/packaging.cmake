# `make package`: a Debian package of what `cmake --install` installs, its
# library dependencies computed by dpkg-shlibdeps.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME tendril)
set(CPACK_PACKAGE_VENDOR Larkspire)
set(CPACK_PACKAGE_CONTACT "Larkspire <tendril@larkspire.com>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Control this computer from your phone")
set(CPACK_PACKAGE_DESCRIPTION
    "Tendril is the desktop half of a phone remote control: the phone pairs with a\n"
    "PIN over the local network and launches and switches applications, runs quick\n"
    "actions and exchanges the clipboard.")
string(JOIN "" CPACK_PACKAGE_DESCRIPTION ${CPACK_PACKAGE_DESCRIPTION})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION net)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_STRIP_FILES ON)
# Loaded at run time, so dpkg-shlibdeps cannot see them: the QML modules the
# window imports and Qt's platform plugins.
set(CPACK_DEBIAN_PACKAGE_DEPENDS
    "qt6-qpa-plugins, qml6-module-qtquick, qml6-module-qtquick-window, qml6-module-qtquick-layouts, qml6-module-qtquick-shapes, qml6-module-qtquick-controls, qml6-module-qtquick-templates, qml6-module-qtqml-workerscript, qml6-module-qtqml-models")
# The services some actions use; the program runs without them.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "avahi-daemon, pulseaudio-utils, scrot, xdg-utils, dbus-user-session")
include(CPack)
