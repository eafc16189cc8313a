// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

namespace kavro::dsp {

// What a full-scale signal on an output becomes at the ear: the reference of an output
// profile, in dB SPL for a signal whose RMS is 1.0 (0 dBFS on the meter's scale) with the
// system volume at 100 %. Worked out from data sheets or from a measurement with a
// calibrated microphone.
namespace outputReference {

// 0 dBu is the voltage that puts 1 mW into 600 Ω: √0.6 V.
inline constexpr double kDbuReferenceVolts = 0.7745966692414834;

// An interface's maximum output is stated for a full-scale sine, whose RMS is 1/√2 of a
// full-scale RMS signal: the reference lies this much above the sine's level.
inline constexpr double kFullScaleSineCrestDb = 3.010299956639812;

// The range of plausible data-sheet figures and references; beyond them a figure is a
// typing error or belongs to another unit.
inline constexpr double kMinimumSensitivityPerMilliwattDb = 60.0;
inline constexpr double kMaximumSensitivityPerMilliwattDb = 140.0;
inline constexpr double kMinimumSensitivityPerVoltDb = 60.0;
inline constexpr double kMaximumSensitivityPerVoltDb = 150.0;
inline constexpr double kMinimumImpedanceOhms = 1.0;
inline constexpr double kMaximumImpedanceOhms = 10000.0;
inline constexpr double kMinimumMaximumOutputDbu = -40.0;
inline constexpr double kMaximumMaximumOutputDbu = 30.0;
inline constexpr double kMinimumReferenceDbSpl = 60.0;
inline constexpr double kMaximumReferenceDbSpl = 150.0;

// The RMS voltage of a level in dBu, and back.
double voltsFromDbu(double dbu);
double dbuFromVolts(double volts);

// A sensitivity per milliwatt as a sensitivity per volt RMS: 1 mW into Z ohms takes
// √(0.001·Z) volts.
double perVoltFromPerMilliwatt(double sensitivityPerMilliwattDb, double impedanceOhms);

// The reference of headphones of this sensitivity (dB SPL for 1 V RMS) on an output
// whose full-scale sine measures maximumOutputVolts RMS.
double fromSensitivity(double sensitivityPerVoltDb, double maximumOutputVolts);

// The reference from a measurement: the level the microphone read while a test signal
// of a known weighted level (dB re a full-scale RMS signal, the same weighting) played
// with the system volume at volumeDb (0 at 100 %).
double fromMeasurement(double measuredDbSpl, double signalLevelDb, double volumeDb);

// The A-weighted level of the calibration pink noise at this sample rate, in dB re a
// full-scale RMS signal: what the microphone hears of it at a reference of 0 dB.
double pinkNoiseWeightedLevelDb(double sampleRate);

} // namespace outputReference
} // namespace kavro::dsp
