// SPDX-License-Identifier: GPL-3.0-or-later
#include "ProgramParts.h"

#include "platform/Settings.h"
#include "platform/file/QtFileStore.h"
#include "platform/file/SoundFile.h"
#include "platform/file/SoundFileBackend.h"
#include "platform/linux/DBusNotificationCenter.h"
#include "platform/linux/ProcWorkspace.h"
#include "platform/linux/XdgAutostartLoginItem.h"
#include "platform/pulse/PulseOutputTap.h"
#include "platform/qt/QtAudioBackend.h"
#include "platform/qt/SettingsPreferencesStore.h"
#include "platform/qt/SystemClock.h"
#include "services/KnownWorkstations.h"

namespace kavro::app {

ProgramParts::ProgramParts(const ProgramFolders& folder)
    : m_dataFolder(folder.path()),
      m_preferences(std::make_unique<platform::SettingsPreferencesStore>(folder.preferencesFilePath())),
      m_clock(std::make_unique<platform::SystemClock>()),
      m_notifications(std::make_unique<platform::DBusNotificationCenter>()),
      m_workspace(std::make_unique<platform::ProcWorkspace>(services::workstationAliases())),
      m_loginItem(std::make_unique<platform::XdgAutostartLoginItem>(folder.autostartFolder())),
      m_files(std::make_unique<platform::QtFileStore>()) {}

ProgramParts::~ProgramParts() = default;

std::variant<std::unique_ptr<ProgramParts>, QString> ProgramParts::create(const ProgramFolders& folder,
                                                                          const Input& input) {
    auto parts = std::unique_ptr<ProgramParts>(new ProgramParts(folder));
    if (folder.isTemporary()) {
        // A demonstration's session runs for as long as the demonstration: a workstation
        // quitting on this machine must not end it. Its preferences start that way.
        platform::Settings(*parts->m_preferences).setValue(platform::keys::autoStartSessions, false);
    }
    if (input.soundFile.isEmpty()) {
        parts->m_audioBackend = std::make_unique<platform::QtAudioBackend>();
        parts->m_outputTap = std::make_unique<platform::PulseOutputTap>();
        return parts;
    }
    auto opened = platform::SoundFile::open(input.soundFile);
    if (auto* error = std::get_if<QString>(&opened)) {
        return *error;
    }
    parts->m_soundFile = std::move(std::get<std::unique_ptr<platform::SoundFile>>(opened));
    // The first channel is the microphone.
    parts->m_audioBackend = std::make_unique<platform::SoundFileBackend>(
        *parts->m_soundFile, 0,
        input.loop ? platform::SoundFileBackend::Pace::realTimeLooped
                   : platform::SoundFileBackend::Pace::realTime);
    return parts;
}

core::AppState::Platform ProgramParts::platform(platform::NotificationCenter& notifications) {
    core::AppState::Platform parts{*m_audioBackend, *m_preferences, *m_clock, notifications,
                                   *m_workspace,    *m_loginItem,   *m_files, m_dataFolder};
    parts.outputTap = m_outputTap.get();
    return parts;
}

platform::NotificationCenter& ProgramParts::desktopNotifications() {
    return *m_notifications;
}

} // namespace kavro::app
