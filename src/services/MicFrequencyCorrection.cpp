// SPDX-License-Identifier: GPL-3.0-or-later
#include "services/MicFrequencyCorrection.h"

namespace kavro::services {

namespace keys = platform::keys;

MicFrequencyCorrection::MicFrequencyCorrection(platform::Settings settings, QObject* parent)
    : QObject(parent), m_settings(settings) {
    setIsEnabled(m_settings.value(keys::micFreqCorrectionEnabled));
    loadFromDefaults();
}

void MicFrequencyCorrection::apply(std::span<float> samples, double sampleRate) {
    if (!m_isEnabled.load(std::memory_order_acquire)) {
        return;
    }
    std::unique_lock guard(m_lock, std::try_to_lock);
    if (!guard.owns_lock()) {
        return;
    }
    // Taps designed for another rate would filter the wrong frequencies: never
    // resample them, just leave the buffer alone until the rates agree again.
    if (!m_filter.hasTaps() || m_activeSampleRate != sampleRate) {
        return;
    }
    m_filter.process(samples);
}

void MicFrequencyCorrection::install(const models::MicCorrectionProfile& profile) {
    m_filter.setTaps(profile.taps);
    m_activeSampleRate = profile.sampleRate;
}

std::optional<QString> MicFrequencyCorrection::save(const models::MicCorrectionProfile& profile) {
    // Every road to the filter passes here: taps that are not numbers or far too large
    // would turn every reading into nonsense.
    if (auto problem = profile.problem()) {
        return problem;
    }
    {
        std::lock_guard guard(m_lock);
        install(profile);
    }
    m_profile = profile;
    if (const auto data = profile.encode()) {
        m_settings.setValue(keys::micCorrectionProfile, *data);
        m_storedProfileProblem.reset();
    }
    emit changed();
    return std::nullopt;
}

void MicFrequencyCorrection::clear() {
    {
        std::lock_guard guard(m_lock);
        m_filter.clear();
        m_activeSampleRate = 0;
    }
    m_profile.reset();
    m_storedProfileProblem.reset();
    setIsEnabled(false);
    m_settings.remove(keys::micCorrectionProfile);
    m_settings.remove(keys::micFreqCorrectionEnabled);
    emit changed();
}

void MicFrequencyCorrection::setIsEnabled(bool enabled) {
    m_settings.setValue(keys::micFreqCorrectionEnabled, enabled);
    if (enabled) {
        // Zero the history before the capture thread can see the switch on, so the
        // first corrected buffer starts from silence rather than from stale samples.
        std::lock_guard guard(m_lock);
        m_filter.resetHistory();
    }
    m_isEnabled.store(enabled, std::memory_order_release);
    emit changed();
}

void MicFrequencyCorrection::loadFromDefaults() {
    const auto data = m_settings.stored(keys::micCorrectionProfile);
    if (!data) {
        return;
    }
    // Undecodable data stays stored: a later version may read it.
    auto decoded = models::MicCorrectionProfile::decode(*data);
    auto* profile = std::get_if<models::MicCorrectionProfile>(&decoded);
    if (!profile) {
        m_storedProfileProblem = std::get<QString>(decoded);
        return;
    }
    {
        std::lock_guard guard(m_lock);
        install(*profile);
    }
    m_profile = std::move(*profile);
}

} // namespace kavro::services
