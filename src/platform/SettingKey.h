// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QLatin1String>
#include <QString>

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>
#include <type_traits>
#include <variant>

namespace kavro::platform {

// Every preference the program keeps. Views hear which one changed through this.
enum class SettingKey {
    selectedDeviceUID,
    calibrationOffset,
    conservativeDoseMode,
    peakMonitoringEnabled,
    autoStartSessions,
    selectedOutputDeviceUID,
    launchAtLogin,
    timeSensitiveNotifications,
    micLocationNote,
    selectedChannelIndex,
    micCorrectionProfile,
    micFreqCorrectionEnabled,
    calibrationProfiles,
    customWatchedApplications,
    accumulatedDose,
    doseDate,
    peakCount135,
    peakCount137,
    peakCount140,
    todayPeakDBC,
    peakDBACount115,
    doseConservativeMode,
    measureFrom,
    outputProfiles,
    warnBy,
    dayStartMinutes,
    visibleCriteria,
    calibrationRecord,
    calibrationHistory,
    calibrationMaxAgeDays,
    criteriaToday,
};

// One preference: the name it is stored under, the type of its value, and what it reads
// as when nothing usable is stored. Texts, dates and data read as empty.
template <typename T> struct Setting {
    using Value = T;
    SettingKey key;
    QLatin1String name;
    std::conditional_t<std::is_arithmetic_v<T>, T, std::monostate> defaultValue{};
    // A stored zero reads as the default too: for a level offset, 0 dB means "never set".
    bool zeroIsUnset = false;
};

// The table of every preference. The names and types are what earlier versions stored,
// so they never change; the defaults are what a first launch starts with.
namespace keys {

// The user's settings.
inline constexpr Setting<QString> selectedDeviceUID{SettingKey::selectedDeviceUID,
                                                    QLatin1String("selectedDeviceUID")};
inline constexpr Setting<double> calibrationOffset{.key = SettingKey::calibrationOffset,
                                                   .name = QLatin1String("calibrationOffset"),
                                                   .defaultValue = 94.0,
                                                   .zeroIsUnset = true};
inline constexpr Setting<bool> conservativeDoseMode{SettingKey::conservativeDoseMode,
                                                    QLatin1String("conservativeDoseMode"), false};
inline constexpr Setting<bool> peakMonitoringEnabled{SettingKey::peakMonitoringEnabled,
                                                     QLatin1String("peakMonitoringEnabled"), true};
inline constexpr Setting<bool> autoStartSessions{SettingKey::autoStartSessions,
                                                 QLatin1String("autoStartSessions"), true};
inline constexpr Setting<QString> selectedOutputDeviceUID{SettingKey::selectedOutputDeviceUID,
                                                          QLatin1String("selectedOutputDeviceUID")};
// Written only: at launch the desktop's login-item registration is the truth.
inline constexpr Setting<bool> launchAtLogin{SettingKey::launchAtLogin, QLatin1String("launchAtLogin"),
                                             false};
inline constexpr Setting<bool> timeSensitiveNotifications{SettingKey::timeSensitiveNotifications,
                                                          QLatin1String("timeSensitiveNotifications"), true};
// Where the measuring microphone stands, as the user describes it.
inline constexpr Setting<QString> micLocationNote{SettingKey::micLocationNote,
                                                  QLatin1String("micLocationNote")};

// The input channel of the selected device.
inline constexpr Setting<std::int64_t> selectedChannelIndex{SettingKey::selectedChannelIndex,
                                                            QLatin1String("selectedChannelIndex"), 0};

// The microphone correction (UTF-8 JSON) and its switch.
inline constexpr Setting<QByteArray> micCorrectionProfile{SettingKey::micCorrectionProfile,
                                                          QLatin1String("micCorrectionProfile")};
inline constexpr Setting<bool> micFreqCorrectionEnabled{SettingKey::micFreqCorrectionEnabled,
                                                        QLatin1String("micFreqCorrectionEnabled"), false};

// The saved calibration profiles (a UTF-8 JSON array).
inline constexpr Setting<QByteArray> calibrationProfiles{SettingKey::calibrationProfiles,
                                                         QLatin1String("calibrationProfiles_v1")};

// The applications the user added to the watch list: a UTF-8 JSON object, application
// id → display name. The built-in entries are never stored, so a later version's
// table always applies.
inline constexpr Setting<QByteArray> customWatchedApplications{SettingKey::customWatchedApplications,
                                                               QLatin1String("customWatchedApplications")};

// Today's dose, so that a restart on the same day continues it.
inline constexpr Setting<double> accumulatedDose{SettingKey::accumulatedDose,
                                                 QLatin1String("DoseCalculator.accumulatedDose"), 0.0};
inline constexpr Setting<QDateTime> doseDate{SettingKey::doseDate, QLatin1String("DoseCalculator.doseDate")};
inline constexpr Setting<std::int64_t> peakCount135{SettingKey::peakCount135,
                                                    QLatin1String("DoseCalculator.peakCount135"), 0};
inline constexpr Setting<std::int64_t> peakCount137{SettingKey::peakCount137,
                                                    QLatin1String("DoseCalculator.peakCount137"), 0};
inline constexpr Setting<std::int64_t> peakCount140{SettingKey::peakCount140,
                                                    QLatin1String("DoseCalculator.peakCount140"), 0};
inline constexpr Setting<double> todayPeakDBC{SettingKey::todayPeakDBC,
                                              QLatin1String("DoseCalculator.todayPeakDBC"), 0.0};
inline constexpr Setting<std::int64_t> peakDBACount115{SettingKey::peakDBACount115,
                                                       QLatin1String("DoseCalculator.peakDBACount115"), 0};
// The dose calculator's copy of conservativeDoseMode, which it reads at launch.
inline constexpr Setting<bool> doseConservativeMode{SettingKey::doseConservativeMode,
                                                    QLatin1String("DoseCalculator.conservativeMode"), false};

// Where the level comes from: "microphone", "output" or "automatic"; nothing stored
// follows the first-launch rule.
inline constexpr Setting<QString> measureFrom{SettingKey::measureFrom, QLatin1String("measureFrom")};
// The output profiles (a UTF-8 JSON array), one per output device and port.
inline constexpr Setting<QByteArray> outputProfiles{SettingKey::outputProfiles,
                                                    QLatin1String("outputProfiles_v1")};

// Which dose drives the bands and warnings; nothing stored is the daily dose of old.
inline constexpr Setting<QString> warnBy{SettingKey::warnBy, QLatin1String("warnBy")};
// When the user's day starts, in minutes after local midnight.
inline constexpr Setting<std::int64_t> dayStartMinutes{SettingKey::dayStartMinutes,
                                                       QLatin1String("dayStartMinutes"), 0};
// The exposure criteria shown beside the one that warns (a UTF-8 JSON array of names).
inline constexpr Setting<QByteArray> visibleCriteria{SettingKey::visibleCriteria,
                                                     QLatin1String("visibleCriteria")};

// How and when the level offset in use was set, and for which input (UTF-8 JSON).
inline constexpr Setting<QByteArray> calibrationRecord{SettingKey::calibrationRecord,
                                                       QLatin1String("calibrationRecord")};
// The last calibrations, newest first (a UTF-8 JSON array).
inline constexpr Setting<QByteArray> calibrationHistory{SettingKey::calibrationHistory,
                                                        QLatin1String("calibrationHistory_v1")};
// After how many days a calibration is said to be old.
inline constexpr Setting<std::int64_t> calibrationMaxAgeDays{SettingKey::calibrationMaxAgeDays,
                                                             QLatin1String("calibrationMaxAgeDays"), 90};

// Today's figures of the other exposure criteria and when they were written (UTF-8
// JSON), so that a restart on the same day continues them.
inline constexpr Setting<QByteArray> criteriaToday{SettingKey::criteriaToday,
                                                   QLatin1String("Criteria.today")};

} // namespace keys

// A key and its stored name, for code that lists every preference.
struct SettingName {
    SettingKey key;
    QLatin1String name;
};

template <typename T> constexpr SettingName nameOf(const Setting<T>& setting) {
    return {setting.key, setting.name};
}

inline constexpr std::array kAllSettings{
    nameOf(keys::selectedDeviceUID),
    nameOf(keys::calibrationOffset),
    nameOf(keys::conservativeDoseMode),
    nameOf(keys::peakMonitoringEnabled),
    nameOf(keys::autoStartSessions),
    nameOf(keys::selectedOutputDeviceUID),
    nameOf(keys::launchAtLogin),
    nameOf(keys::timeSensitiveNotifications),
    nameOf(keys::micLocationNote),
    nameOf(keys::selectedChannelIndex),
    nameOf(keys::micCorrectionProfile),
    nameOf(keys::micFreqCorrectionEnabled),
    nameOf(keys::calibrationProfiles),
    nameOf(keys::customWatchedApplications),
    nameOf(keys::accumulatedDose),
    nameOf(keys::doseDate),
    nameOf(keys::peakCount135),
    nameOf(keys::peakCount137),
    nameOf(keys::peakCount140),
    nameOf(keys::todayPeakDBC),
    nameOf(keys::peakDBACount115),
    nameOf(keys::doseConservativeMode),
    nameOf(keys::measureFrom),
    nameOf(keys::outputProfiles),
    nameOf(keys::warnBy),
    nameOf(keys::dayStartMinutes),
    nameOf(keys::visibleCriteria),
    nameOf(keys::calibrationRecord),
    nameOf(keys::calibrationHistory),
    nameOf(keys::calibrationMaxAgeDays),
    nameOf(keys::criteriaToday),
};

namespace detail {
// Every key once, in the order of the enumeration, and no two under the same name: two
// settings sharing a name would overwrite each other.
constexpr bool isCompleteTable(const decltype(kAllSettings)& table) {
    for (std::size_t i = 0; i < table.size(); ++i) {
        if (static_cast<std::size_t>(table[i].key) != i) {
            return false;
        }
        for (std::size_t j = 0; j < i; ++j) {
            if (std::string_view(table[i].name.data(), static_cast<std::size_t>(table[i].name.size())) ==
                std::string_view(table[j].name.data(), static_cast<std::size_t>(table[j].name.size()))) {
                return false;
            }
        }
    }
    return static_cast<std::size_t>(SettingKey::criteriaToday) + 1 == table.size();
}
} // namespace detail
static_assert(detail::isCompleteTable(kAllSettings), "every setting once, each under its own name");

// The name a key is stored under.
constexpr QLatin1String settingName(SettingKey key) {
    return kAllSettings[static_cast<std::size_t>(key)].name;
}

} // namespace kavro::platform
