// SPDX-License-Identifier: GPL-3.0-or-later
#include "services/KnownWorkstations.h"

namespace kavro::services {

const ApplicationTable& knownDAWBundleIDs() {
    static const ApplicationTable table{
        {QStringLiteral("com.apple.logic10"), QStringLiteral("Logic Pro")},
        {QStringLiteral("com.apple.garageband"), QStringLiteral("GarageBand")},
        {QStringLiteral("com.avid.ProTools"), QStringLiteral("Pro Tools")},
        {QStringLiteral("com.uaudio.luna"), QStringLiteral("LUNA")},
        {QStringLiteral("com.ableton.live"), QStringLiteral("Ableton Live")},
        {QStringLiteral("com.cockos.reaper"), QStringLiteral("REAPER")},
        {QStringLiteral("com.steinberg.cubase"), QStringLiteral("Cubase")},
        {QStringLiteral("com.steinberg.nuendo"), QStringLiteral("Nuendo")},
        {QStringLiteral("com.presonus.studioone"), QStringLiteral("Studio One")},
        {QStringLiteral("com.image-line.flstudio"), QStringLiteral("FL Studio")},
        {QStringLiteral("com.bitwig.studio"), QStringLiteral("Bitwig Studio")},
        {QStringLiteral("org.audacityteam.audacity"), QStringLiteral("Audacity")},
        {QStringLiteral("com.adobe.audition"), QStringLiteral("Adobe Audition")},
        {QStringLiteral("com.apple.FinalCutPro"), QStringLiteral("Final Cut Pro")},
        {QStringLiteral("com.blackmagic-design.DaVinciResolve"), QStringLiteral("DaVinci Resolve")},
    };
    return table;
}

const ApplicationTable& linuxWorkstationIDs() {
    // Keyed by the reverse-domain id of the Debian package's .desktop file where it has
    // one, else by the Flathub id.
    static const ApplicationTable table{
        {QStringLiteral("org.ardour.Ardour"), QStringLiteral("Ardour")},
        {QStringLiteral("io.lmms.LMMS"), QStringLiteral("LMMS")},
        {QStringLiteral("org.rncbc.qtractor"), QStringLiteral("Qtractor")},
        {QStringLiteral("org.zrythm.Zrythm"), QStringLiteral("Zrythm")},
        {QStringLiteral("com.rosegardenmusic.rosegarden"), QStringLiteral("Rosegarden")},
        {QStringLiteral("io.github.muse_sequencer.Muse"), QStringLiteral("MusE")},
        {QStringLiteral("org.hydrogenmusic.Hydrogen"), QStringLiteral("Hydrogen")},
        {QStringLiteral("org.tenacityaudio.Tenacity"), QStringLiteral("Tenacity")},
        {QStringLiteral("org.kde.kdenlive"), QStringLiteral("Kdenlive")},
        {QStringLiteral("org.shotcut.Shotcut"), QStringLiteral("Shotcut")},
        {QStringLiteral("org.mixxx.Mixxx"), QStringLiteral("Mixxx")},
        {QStringLiteral("org.openshot.OpenShot"), QStringLiteral("OpenShot")},
        {QStringLiteral("org.olivevideoeditor.Olive"), QStringLiteral("Olive")},
    };
    return table;
}

const ApplicationTable& builtInWorkstationIDs() {
    static const ApplicationTable table = [] {
        ApplicationTable all = knownDAWBundleIDs();
        all.insert(linuxWorkstationIDs());
        return all;
    }();
    return table;
}

const ApplicationTable& workstationAliases() {
    // Versioned executables ("ardour-8.4.0", "ardour8") are matched by their name
    // without the version, so one entry covers them.
    static const ApplicationTable table{
        // Executables of the workstations that also run on Linux.
        {QStringLiteral("reaper"), QStringLiteral("com.cockos.reaper")},
        {QStringLiteral("fm.reaper.Reaper"), QStringLiteral("com.cockos.reaper")},
        {QStringLiteral("audacity"), QStringLiteral("org.audacityteam.audacity")},
        {QStringLiteral("org.audacityteam.Audacity"), QStringLiteral("org.audacityteam.audacity")},
        {QStringLiteral("bitwig-studio"), QStringLiteral("com.bitwig.studio")},
        {QStringLiteral("com.bitwig.BitwigStudio"), QStringLiteral("com.bitwig.studio")},
        {QStringLiteral("resolve"), QStringLiteral("com.blackmagic-design.DaVinciResolve")},
        // Linux workstations.
        {QStringLiteral("ardour"), QStringLiteral("org.ardour.Ardour")},
        {QStringLiteral("lmms"), QStringLiteral("io.lmms.LMMS")},
        {QStringLiteral("qtractor"), QStringLiteral("org.rncbc.qtractor")},
        {QStringLiteral("zrythm"), QStringLiteral("org.zrythm.Zrythm")},
        {QStringLiteral("rosegarden"), QStringLiteral("com.rosegardenmusic.rosegarden")},
        {QStringLiteral("muse"), QStringLiteral("io.github.muse_sequencer.Muse")},
        {QStringLiteral("hydrogen"), QStringLiteral("org.hydrogenmusic.Hydrogen")},
        {QStringLiteral("tenacity"), QStringLiteral("org.tenacityaudio.Tenacity")},
        {QStringLiteral("kdenlive"), QStringLiteral("org.kde.kdenlive")},
        {QStringLiteral("shotcut"), QStringLiteral("org.shotcut.Shotcut")},
        {QStringLiteral("mixxx"), QStringLiteral("org.mixxx.Mixxx")},
        {QStringLiteral("openshot-qt"), QStringLiteral("org.openshot.OpenShot")},
        {QStringLiteral("olive-editor"), QStringLiteral("org.olivevideoeditor.Olive")},
    };
    return table;
}

} // namespace kavro::services
