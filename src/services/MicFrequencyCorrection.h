// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "dsp/FirCorrelator.h"
#include "dsp/MicCorrectionHook.h"
#include "models/MicCorrectionProfile.h"
#include "platform/Settings.h"

#include <QObject>

#include <atomic>
#include <mutex>
#include <optional>

namespace kavro::services {

// The application's one microphone correction: a stored FIR profile and an on/off
// switch, both kept in the preferences, and the filter that flattens every capture
// buffer before weighting. The capture thread only ever try-locks the filter, so a
// buffer that meets a change in progress passes uncorrected instead of waiting.
class MicFrequencyCorrection : public QObject, public dsp::MicCorrectionHook {
    Q_OBJECT
public:
    // Restores the stored switch and profile; undecodable profile data is ignored.
    explicit MicFrequencyCorrection(platform::Settings settings, QObject* parent = nullptr);

    // Capture thread. Corrects in place when switched on, a filter is installed, its
    // rate equals the buffer's exactly, and the filter is not being changed right now.
    void apply(std::span<float> samples, double sampleRate) override;

    // Main thread: makes the profile current and the active filter, and stores it
    // (unless it cannot be encoded). The switch is left as it is. A profile with a
    // problem (a number that is not finite, enormous taps) is refused and changes
    // nothing: the problem is returned.
    std::optional<QString> save(const models::MicCorrectionProfile& profile);
    // Main thread: no profile, switched off, both preference keys removed.
    void clear();

    const std::optional<models::MicCorrectionProfile>& profile() const { return m_profile; }
    // Why the profile stored in the preferences was not restored, when one is stored
    // and could not be.
    const std::optional<QString>& storedProfileProblem() const { return m_storedProfileProblem; }
    bool isEnabled() const { return m_isEnabled.load(); }
    // Stores the switch; switching on restarts the filter from a silent history.
    void setIsEnabled(bool enabled);

signals:
    void changed();

private:
    void install(const models::MicCorrectionProfile& profile);
    void loadFromDefaults();

    platform::Settings m_settings;
    std::optional<models::MicCorrectionProfile> m_profile;
    std::optional<QString> m_storedProfileProblem;
    std::atomic<bool> m_isEnabled{false};

    // Guards the filter and its rate; see apply().
    std::mutex m_lock;
    dsp::FirCorrelator m_filter;
    double m_activeSampleRate = 0;
};

} // namespace kavro::services
