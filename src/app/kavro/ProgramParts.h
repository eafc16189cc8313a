// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "ProgramFolders.h"

#include "core/AppState.h"

#include <memory>
#include <variant>

namespace kavro::platform {
class AudioBackend;
class DBusNotificationCenter;
class NotificationCenter;
class ProcWorkspace;
class PulseOutputTap;
class QtFileStore;
class SettingsPreferencesStore;
class SoundFile;
class SystemClock;
class XdgAutostartLoginItem;
} // namespace kavro::platform

namespace kavro::app {

// The real parts of the operating system the application state runs on, for one data
// folder: the microphone (or a sound file played in real time in its place), the
// signal going to the outputs, the preferences, the clock, the desktop's notifications, the running programs
// and the login item, and the files it keeps.
class ProgramParts {
public:
    struct Input {
        QString soundFile; // empty: the real audio devices
        bool loop = false;
    };

    // Fails with a one-line description when the sound file cannot be played.
    static std::variant<std::unique_ptr<ProgramParts>, QString> create(const ProgramFolders& folder,
                                                                       const Input& input);
    ~ProgramParts();

    // `notifications` is the desktop's, or a wrapper around it; it must outlive the state.
    core::AppState::Platform platform(platform::NotificationCenter& notifications);
    platform::NotificationCenter& desktopNotifications();

private:
    explicit ProgramParts(const ProgramFolders& folder);

    QString m_dataFolder;
    std::unique_ptr<platform::SoundFile> m_soundFile;
    std::unique_ptr<platform::AudioBackend> m_audioBackend;
    // None while a sound file plays the microphone.
    std::unique_ptr<platform::PulseOutputTap> m_outputTap;
    std::unique_ptr<platform::SettingsPreferencesStore> m_preferences;
    std::unique_ptr<platform::SystemClock> m_clock;
    std::unique_ptr<platform::DBusNotificationCenter> m_notifications;
    std::unique_ptr<platform::ProcWorkspace> m_workspace;
    std::unique_ptr<platform::XdgAutostartLoginItem> m_loginItem;
    std::unique_ptr<platform::QtFileStore> m_files;
};

} // namespace kavro::app
