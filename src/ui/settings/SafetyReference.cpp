// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/settings/SafetyReference.h"

#include "core/AlertCenter.h"
#include "core/AppState.h"
#include "dsp/ExposureLimits.h"
#include "models/NumberText.h"
#include "platform/SettingKey.h"

namespace kavro::ui {

using namespace reference;
using models::fixedText;

namespace {

QString whole(double value, const char* unit) {
    return fixedText(value, 0) + QLatin1String(unit);
}

ReferenceSection nioshStandardSection() {
    return {
        QStringLiteral("NIOSH Dose Standard"),
        {Paragraph{QStringLiteral("Based on NIOSH REL (Recommended Exposure Limit). At %1, safe exposure is "
                                  "%2. Each +%3 halves the allowed time.")
                       .arg(whole(dsp::niosh::kCriterionLevelDb, " dBA"),
                            whole(dsp::niosh::kCriterionHours, " hours"),
                            whole(dsp::niosh::kExchangeRateDb, " dB"))},
         ValueRow{QStringLiteral("Reference level"), whole(dsp::niosh::kCriterionLevelDb, " dBA")},
         ValueRow{QStringLiteral("Criterion duration"), whole(dsp::niosh::kCriterionHours, " hours")},
         ValueRow{QStringLiteral("Exchange rate"), whole(dsp::niosh::kExchangeRateDb, " dB")},
         ValueRow{QStringLiteral("Threshold"), whole(dsp::niosh::kThresholdDb, " dBA")}}};
}

ReferenceSection doseThresholdsSection() {
    const auto band = [](models::DoseLevel level) {
        return BandRow{level, models::label(level), models::rangeText(level)};
    };
    return {QStringLiteral("Dose Thresholds"),
            {band(models::DoseLevel::safe), band(models::DoseLevel::caution),
             band(models::DoseLevel::warning), band(models::DoseLevel::danger)}};
}

ReferenceSection weeklyLevelSection() {
    return {
        QStringLiteral("EU Weekly Level (L𝒈,w)"),
        {Subheading{QStringLiteral("What it is")},
         Paragraph{
             QStringLiteral(
                 "L𝒈,w is the equivalent continuous A-weighted sound level averaged over a 5-day working "
                 "week (ISO 9612 / EU Directive 2003/10/EC). It lets you compare multi-day exposure against "
                 "the same %1 daily limit — so one loud 100% day mixed with four quiet ones can still "
                 "produce a safe weekly level.")
                 .arg(whole(dsp::niosh::kCriterionLevelDb, " dBA"))},
         Subheading{QStringLiteral("How it's calculated")},
         Paragraph{QStringLiteral(
             "Each day's dose is converted back to an equivalent 8-hour level, energy-summed across all "
             "selected days, then normalised to 5 days: L𝒈,w = 10 × log₁₀( (1/5) × Σ 10^(L_day/10) ). Days "
             "with no exposure contribute zero energy, so rest days naturally lower the result.")},
         Subheading{QStringLiteral("How to read it")},
         Paragraph{QStringLiteral("Shown in the History window when 5 or more days are selected.")},
         ColouredRow{
             ColourRole::green, QStringLiteral("< ") + whole(dsp::eu::kLowerActionLevelDb, " dBA"),
             QStringLiteral("Below the lower exposure action value. No mandatory action required under "
                            "EU 2003/10/EC.")},
         ColouredRow{ColourRole::orange,
                     fixedText(dsp::eu::kLowerActionLevelDb, 0) + QStringLiteral("–") +
                         whole(dsp::eu::kUpperActionLevelDb - 1, " dBA"),
                     QStringLiteral("Lower exposure action value. Hearing protection must be made available "
                                    "and information on risks provided.")},
         ColouredRow{ColourRole::red, QStringLiteral("≥ ") + whole(dsp::eu::kUpperActionLevelDb, " dBA"),
                     QStringLiteral("Upper exposure action value. Wearing hearing protection is mandatory. "
                                    "Investigate and reduce exposure.")}}};
}

// Each criterion in plain words, with the body that publishes it.
ReferenceSection criteriaSection() {
    return {
        QStringLiteral("Exposure Criteria"),
        {Paragraph{QStringLiteral(
             "Kavro counts several criteria at once from the same measurement. Employers, unions and "
             "audiologists ask different questions, so each gives its own number. Choose the one that warns "
             "you under General › Exposure; the others can be shown on the panel.")},
         Subheading{QStringLiteral("NIOSH REL — the daily dose (default)")},
         Paragraph{QStringLiteral(
             "US National Institute for Occupational Safety and Health, Recommended Exposure Limit (1998): "
             "8 hours at 85 dBA, 3 dB exchange rate, nothing counted below 80 dBA. The most protective "
             "of the daily doses.")},
         Subheading{QStringLiteral("OSHA PEL — the legal US limit")},
         Paragraph{QStringLiteral(
             "US Occupational Safety and Health Administration, 29 CFR 1910.95 (Table G-16a): 8 hours at "
             "90 dBA with a 5 dB exchange rate, so 95 dBA is allowed for 4 hours. Levels below 90 dBA do "
             "not count at all. It permits far more than NIOSH: 100 % OSHA can be several times 100 % "
             "NIOSH.")},
         Subheading{QStringLiteral("OSHA hearing conservation")},
         Paragraph{QStringLiteral(
             "The same OSHA rule counted from 80 dBA, which decides when an employer must run a hearing "
             "conservation programme (at 50 %, an 8-hour average of 85 dBA).")},
         Subheading{QStringLiteral("EU L_EX,8h — Directive 2003/10/EC")},
         Paragraph{QStringLiteral(
             "The day's A-weighted sound energy as the steady level that would give it in 8 hours, in "
             "dB(A). The Directive sets action values at 80 and 85 dB(A) and a limit value of 87 dB(A).")},
         Subheading{QStringLiteral("WHO / ITU-T H.870 — the weekly dose")},
         Paragraph{QStringLiteral(
             "World Health Organization and ITU-T H.870 (safe listening): a weekly allowance of 1.6 Pa²h, "
             "that is 80 dBA for 40 hours, counted from the sound energy of the last 7 days. One hour at "
             "95 dBA uses 79 % of it. It suits people whose loud days vary.")}}};
}

ReferenceSection statisticsSection() {
    return {
        QStringLiteral("Leq & Ln Statistics"),
        {Subheading{QStringLiteral("Leq — equivalent continuous level")},
         Paragraph{QStringLiteral(
             "Leq(T) is the steady level that would deliver the same A-weighted acoustic energy as the "
             "actual "
             "varying signal over a period T. It is calculated by energy-averaging all readings in the "
             "window: Leq = 10 × log₁₀( (1/N) × Σ 10^(Lᵢ/10) ). Kavro computes Leq over rolling 1-, 10-, and "
             "30-minute windows. Values appear once the corresponding window is full.")},
         Subheading{QStringLiteral("How to read Leq")},
         Paragraph{QStringLiteral(
             "Leq(1m) answers \"how loud have I been in the last minute?\" — useful for spotting short "
             "bursts "
             "of high-level listening. Leq(10m) smooths over brief peaks and reflects your recent working "
             "level. Leq(30m) gives the broadest picture and is the closest to what your dose accumulation "
             "reflects over that period.")},
         Subheading{QStringLiteral("Ln percentiles — L10, L50, L90")},
         Paragraph{QStringLiteral(
             "Ln is the level exceeded for n% of the measurement time, computed over the full available "
             "window (up to 30 minutes). The three values reveal the character of a session:")},
         ColouredRow{
             ColourRole::orange, QStringLiteral("L10"),
             QStringLiteral("Exceeded only 10% of the time. Your loud peaks — the loudest transients, "
                            "critical listening passes, or reference checks.")},
         ColouredRow{ColourRole::yellow, QStringLiteral("L50"),
                     QStringLiteral("Exceeded 50% of the time. The median level — the most honest single "
                                    "number for your typical working SPL during the session.")},
         ColouredRow{ColourRole::green, QStringLiteral("L90"),
                     QStringLiteral("Exceeded 90% of the time. The background — room noise, fan hum, and the "
                                    "quietest moments between takes.")},
         Paragraph{QStringLiteral(
             "L10 is always ≥ L50 ≥ L90. A narrow spread (L10 − L90 < 10 dB) means consistent listening "
             "levels. A wide spread means the session had large dynamic swings between loud and quiet "
             "periods.")}}};
}

ReferenceSection frequencyWeightingSection() {
    return {
        QStringLiteral("Frequency Weighting"),
        {WeightingImage{}, Subheading{QStringLiteral("A-weighting (dBA) — for dose")},
         Paragraph{QStringLiteral(
             "Matches human hearing sensitivity: de-emphasises bass, slightly boosts 2–4 kHz. Used by NIOSH, "
             "OSHA, and EU 2003/10/EC for continuous noise dose. The IEC 61672-1 curve is implemented as "
             "four "
             "cascaded biquad IIR filter sections.")},
         Subheading{QStringLiteral("C-weighting (dBC) — for peaks")},
         Paragraph{QStringLiteral(
             "Nearly flat from 31.5 Hz to 8 kHz. Captures the full physical energy of impulsive sounds (drum "
             "hits, transients) that can cause mechanical hair-cell damage regardless of perceived loudness. "
             "EU 2003/10/EC mandates C-weighted peak (LCpeak) measurement for this reason.")},
         Subheading{QStringLiteral("The dBC−dBA gap")},
         Paragraph{QStringLiteral(
             "When dBC is 6–10+ dB above dBA, significant low-frequency energy is present that A-weighting "
             "underreports. The gap indicator in the menu bar shows this in real time.")}}};
}

ReferenceSection conservativeModeSection() {
    return {QStringLiteral("Conservative Dose Mode"),
            {Switch{SafetyReference::conservativeDoseMode()},
             Paragraph{QStringLiteral(
                 "When enabled, the dose calculator uses whichever is higher — the A-weighted or C-weighted "
                 "level — at each measurement. This catches bass-heavy exposure that A-weighting alone "
                 "underreports.")},
             Paragraph{QStringLiteral("No formal NIOSH/OSHA standard — a maximum-protection option for "
                                      "bass-heavy work. Leave it off for speech or mid-range content.")}}};
}

ReferenceSection peakMonitoringSection() {
    return {
        QStringLiteral("Peak Impulse Monitoring"),
        {Switch{SafetyReference::peakMonitoring()},
         Paragraph{QStringLiteral("Tracks instantaneous C-weighted peak SPL per EU Directive 2003/10/EC. "
                                  "When a peak exceeds %1, a notification fires (rate-limited to one per %2 "
                                  "seconds). Counts are tracked per session and per day.")
                       .arg(whole(dsp::eu::kPeakLowerActionDbc, " dBC"),
                            fixedText(core::AlertCenter::kPeakIntervalSeconds, 0))}}};
}

ReferenceSection peakThresholdsSection() {
    return {
        QStringLiteral("EU 2003/10/EC Peak Thresholds"),
        {ColouredRow{
             ColourRole::yellow, whole(dsp::eu::kPeakLowerActionDbc, " dBC"),
             QStringLiteral("Recurring peaks here suggest an uncontrolled element — a hot kick, snare, "
                            "or transient bus. A limiter on that group, or nudging your monitor trim "
                            "down 2 dB, is usually enough to stay clear.")},
         ColouredRow{
             ColourRole::orange, whole(dsp::eu::kPeakUpperActionDbc, " dBC"),
             QStringLiteral("Pull your monitor level down 3–6 dB now. If the source keeps peaking here, "
                            "reach for a fast limiter or clip gain on the offending track. Repeated "
                            "exposure at this level causes mechanical damage that A-weighted dose "
                            "won't account for.")},
         ColouredRow{ColourRole::red, whole(dsp::eu::kPeakLimitDbc, " dBC"),
                     QStringLiteral("Turn down immediately — a single impulse at this level can permanently "
                                    "damage hair cells. Identify the source (rogue transient, gain-staging "
                                    "issue, feedback spike) and fix it before continuing the session.")}}};
}

ReferenceSection calibrationReferenceSection() {
    return {
        QStringLiteral("Calibration Reference"),
        {Subheading{QStringLiteral("How the offset works")},
         Paragraph{QStringLiteral("SPL = 20 × log₁₀(RMS) + offset. The default %1 matches the IEC 60942 "
                                  "pistonphone standard. Adjust in the Audio tab until readings match a "
                                  "reference meter.")
                       .arg(whole(platform::keys::calibrationOffset.defaultValue, " dB"))},
         Subheading{QStringLiteral("How to calibrate")},
         Paragraph{QStringLiteral("1. Install the free NIOSH SLM app on an iPhone.") + QLatin1Char('\n') +
                   QStringLiteral("2. Place it at your listening position — where your head sits during a "
                                  "session, not next to the mic.") +
                   QLatin1Char('\n') + QStringLiteral("3. Play pink noise at a typical level.") +
                   QLatin1Char('\n') +
                   QStringLiteral("4. Adjust the offset until both readings agree within 1–2 dB.")},
         Subheading{QStringLiteral("Why the listening position?")},
         Paragraph{
             QStringLiteral(
                 "The goal is to estimate the SPL at your ears. If the mic sits 30–40 cm from your head, "
                 "calibrating at the listening position folds the spatial offset into the constant — so "
                 "Kavro tracks exposure as it reaches you, not as it reaches the mic.") +
             QStringLiteral("\n\n") +
             QStringLiteral("This isn't the formally correct method (IEC 61252 specifies the mic on the "
                            "shoulder, 10–20 cm from the ear), but it's the best practical approximation "
                            "for a desk-mounted setup. If you move the mic, recalibrate.")}}};
}

} // namespace

SettingSwitch SafetyReference::conservativeDoseMode() {
    return {QStringLiteral("Use max(dBA, dBC) for dose calculation"), &core::AppState::conservativeDoseMode,
            &core::AppState::setConservativeDoseMode};
}

SettingSwitch SafetyReference::peakMonitoring() {
    return {QStringLiteral("Monitor C-weighted peak levels"), &core::AppState::peakMonitoringEnabled,
            &core::AppState::setPeakMonitoringEnabled};
}

const std::vector<ReferenceSection>& SafetyReference::sections() {
    static const std::vector<ReferenceSection> all{
        nioshStandardSection(),        doseThresholdsSection(), criteriaSection(),
        weeklyLevelSection(),          statisticsSection(),     frequencyWeightingSection(),
        conservativeModeSection(),     peakMonitoringSection(), peakThresholdsSection(),
        calibrationReferenceSection(),
    };
    return all;
}

} // namespace kavro::ui
