// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <optional>
#include <span>

namespace kavro::dsp {

// Recognises a sound calibrator in captured audio: one steady tone near 1 kHz with
// little else, so that its level can be trusted as the calibrator's.
namespace calibrator {

inline constexpr double kNominalFrequencyHz = 1000.0;
// How far the tone may be from 1 kHz, as a fraction of it.
inline constexpr double kFrequencyTolerance = 0.05;
// Every short stretch of the tone must lie this close to the tone's mean level.
inline constexpr double kSteadinessDb = 0.2;
// Everything that is not the tone must be at least this far below it.
inline constexpr double kOtherSoundsBelowDb = 20.0;
// Below this the input is taken as silent.
inline constexpr double kSilenceDbfs = -90.0;
// How long the tone is listened to, and how long the input settles before that.
inline constexpr double kListenSeconds = 3.0;
inline constexpr double kSettleSeconds = 0.5;
// A calibration that moves the offset further than this is likely the wrong input.
inline constexpr double kLargeOffsetChangeDb = 30.0;

enum class Refusal {
    noTone,
    wrongFrequency,
    unsteadyLevel,
    otherSoundsTooLoud,
};

struct Tone {
    double frequencyHz = 0;
    // The level of everything captured, flat (Z) weighted, dB re full scale RMS.
    double levelDbfs = 0;
    // The widest distance of a short stretch from the mean level, dB.
    double spreadDb = 0;
    // Everything but the tone, relative to the tone, dB (negative: below it).
    double otherSoundsDb = 0;
};

struct ToneCheck {
    // What was measured; none when nothing tonal was heard.
    std::optional<Tone> tone;
    // Why the tone cannot serve as a calibrator; none when it can.
    std::optional<Refusal> refusal;
};

// Examines mono samples at the given rate (a few seconds of them).
ToneCheck checkTone(std::span<const float> samples, double sampleRate);

// The offset that makes a level measured at `measuredDbfs` read `calibratorDb`, to
// 0.1 dB.
double offsetFor(double calibratorDb, double measuredDbfs);

// The level of a mean square, dB re full scale; the silence floor for nothing.
double meanSquareDbfs(double sumSquares, std::size_t frames);

} // namespace calibrator
} // namespace kavro::dsp
