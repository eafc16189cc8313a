// SPDX-License-Identifier: GPL-3.0-or-later
// The stored microphone correction and the saved calibration profiles, as read from
// the preferences: whatever decodes is usable and survives being stored again.
#include "fuzz/Require.h"
#include "models/CalibrationSavedProfile.h"
#include "models/MicCorrectionProfile.h"

#include <cstddef>
#include <cstdint>

using kavro::fuzz::require;
using kavro::models::CalibrationSavedProfile;
using kavro::models::MicCorrectionProfile;

namespace {

void decodeCorrection(const QByteArray& data) {
    const auto decoded = MicCorrectionProfile::decode(data);
    const auto* profile = std::get_if<MicCorrectionProfile>(&decoded);
    if (!profile) {
        require(!std::get<QString>(decoded).isEmpty(), "a refused profile says why");
        return;
    }
    require(!profile->problem(), "a decoded profile is a usable filter");
    const auto encoded = profile->encode();
    require(encoded.has_value(), "a decoded profile can be stored again");
    const auto again = MicCorrectionProfile::decode(*encoded);
    const auto* reread = std::get_if<MicCorrectionProfile>(&again);
    require(reread && *reread == *profile, "a stored profile reads back as itself");
}

void decodeSavedProfiles(const QByteArray& data) {
    const auto list = CalibrationSavedProfile::decodeList(data);
    if (!list) {
        return;
    }
    for (const auto& profile : *list) {
        require(!profile.freqProfile || !profile.freqProfile->problem(), "a saved correction is usable");
    }
    const auto encoded = CalibrationSavedProfile::encodeList(*list);
    require(encoded.has_value(), "decoded profiles can be stored again");
    const auto again = CalibrationSavedProfile::decodeList(*encoded);
    require(again && *again == *list, "stored profiles read back as themselves");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    decodeCorrection(bytes);
    decodeSavedProfiles(bytes);
    return 0;
}
