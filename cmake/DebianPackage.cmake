# SPDX-License-Identifier: GPL-3.0-or-later
# The Debian package that scripts/package builds with CPack from the `cmake --install`
# layout under /usr.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME kavro)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)

set(KAVRO_MAINTAINER "Kavro developers <dev@kavro.invalid>" CACHE STRING
    "Maintainer of the Debian package: name <e-mail address>")
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${KAVRO_MAINTAINER}")
set(CPACK_DEBIAN_PACKAGE_SECTION sound)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "${KAVRO_HOMEPAGE}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "hearing-dose monitor for audio engineers")
# The long description, in lines as short as Debian's tools show them.
string(JOIN "\n" CPACK_DEBIAN_PACKAGE_DESCRIPTION
    "Kavro protects the hearing of people who work at loud studio monitors:"
    "mixing and mastering engineers, producers, editors. From a measurement"
    "microphone at the listening position it measures the A- and C-weighted"
    "sound level, keeps the day's noise dose against the NIOSH limit (85 dBA"
    "for 8 hours), counts impulse peaks against the EU limits, keeps rolling"
    "Leq and L10/L50/L90 statistics, warns through desktop notifications and"
    "starts and ends listening sessions with the audio workstation."
    ""
    "It lives in the desktop's tray and keeps 30 days of history. The terminal"
    "tool kavro-cli measures sound files and reads the history.")

# The libraries the programs link come from the binaries. Qt loads the rest at run
# time: the platform plugins that open windows (X11 in qt6-qpa-plugins, Wayland in
# qt6-wayland); libqt6svg6 brings the SVG icon plugins and libqt6multimedia6 its media
# backends, and both are linked. Audio goes through the PulseAudio client library to
# the desktop's sound server (PipeWire's PulseAudio service or PulseAudio itself).
# GNOME shows tray icons only with the AppIndicator extension.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins, libpulse0")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "pipewire-pulse | pulseaudio, qt6-wayland")
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "gnome-shell-extension-appindicator")

include(CPack)
