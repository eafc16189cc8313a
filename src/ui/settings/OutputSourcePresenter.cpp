// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/settings/OutputSourcePresenter.h"

#include "core/AppState.h"
#include "models/NumberText.h"
#include "platform/Clock.h"
#include "services/AudioDeviceManager.h"
#include "services/AudioMeasurementService.h"
#include "services/MicResponseCalibrationService.h"
#include "services/OutputProfileMeasurement.h"
#include "services/OutputProfileStore.h"
#include "services/OutputReferenceSource.h"
#include "ui/presentation/HistoryDates.h"

#include <QLocale>

#include <algorithm>
#include <array>
#include <cmath>

namespace kavro::ui {

using models::fixedText;
using models::MeasureFrom;
using models::OutputProfile;
using Phase = services::OutputProfileMeasurement::Phase;

namespace {

constexpr std::array kSources{MeasureFrom::microphone, MeasureFrom::output, MeasureFrom::automatic};

QString sourceCaption(MeasureFrom source) {
    switch (source) {
    case MeasureFrom::microphone:
        return QStringLiteral("Kavro measures the sound at the measurement microphone.");
    case MeasureFrom::output:
        return QStringLiteral("Kavro measures the signal on its way to the default output and turns it into "
                              "sound level with that output's profile below.");
    case MeasureFrom::automatic:
        break;
    }
    return QStringLiteral("Kavro measures the output while it is headphones or a headset, and the microphone "
                          "otherwise.");
}

// The outputs Qt lists name the sink but not its port, so their profiles hold for every
// port of the device.
QString outputKeyFor(const QString& uid) {
    return uid + QLatin1Char('#');
}

} // namespace

OutputSourcePresenter::OutputSourcePresenter(core::AppState& state, QObject* parent)
    : QObject(parent), m_state(state) {
    connect(&m_state, &core::AppState::changed, this, &OutputSourcePresenter::changed);
}

std::optional<double> OutputSourcePresenter::parseNumber(const QString& text) {
    const QString trimmed = text.trimmed();
    bool ok = false;
    double value = QLocale::c().toDouble(trimmed, &ok);
    if (!ok) {
        value = QLocale().toDouble(trimmed, &ok);
    }
    return ok && std::isfinite(value) ? std::optional<double>(value) : std::nullopt;
}

// ---- the model ----

OutputSourceModel OutputSourcePresenter::model() const {
    OutputSourceModel model;
    const MeasureFrom source = m_state.measureFrom();
    model.selectedSource =
        static_cast<int>(std::find(kSources.begin(), kSources.end(), source) - kSources.begin());
    model.sourceCaption = sourceCaption(source);

    const QString current = currentOutputUID();
    for (const auto& device : m_state.deviceManager().outputDevices()) {
        if (device.uid == current) {
            model.selectedOutput = static_cast<int>(model.outputs.size());
        }
        model.outputs.append({device.displayName(), device.uid});
    }
    if (model.outputs.isEmpty()) {
        model.reference = QStringLiteral("No output device");
        model.showsMeasure = false;
        return model;
    }
    const auto profile = m_state.outputProfileStore().profileFor(outputKeyFor(current));
    const double reference = profile ? profile->fullScaleDbSpl : services::OutputReference{}.fullScaleDbSpl;
    model.reference = fixedText(reference, 1) + QStringLiteral(" dB SPL");
    if (profile) {
        QString basis = OutputProfile::basisText(profile->basis);
        basis[0] = basis[0].toUpper();
        model.basis = {basis + QStringLiteral(", ") +
                           HistoryDates::mediumDate(m_state.clock().dayOf(profile->setAt), QLocale()),
                       ColourRole::secondary,
                       {},
                       {}};
        model.canReset = true;
    } else {
        model.basis = {QStringLiteral("Estimated: nothing is known about this output yet, so Kavro assumes "
                                      "sensitive headphones at full volume."),
                       ColourRole::orange,
                       QStringLiteral("exclamationmark.triangle"),
                       {}};
    }
    measurementRow(model);
    return model;
}

void OutputSourcePresenter::measurementRow(OutputSourceModel& model) const {
    const auto& measurement = m_state.outputProfileMeasurement();
    // The response measurement owns the pink noise while it runs.
    model.measureEnabled =
        m_state.audioService().hasPermission() && !m_state.micResponseService().state().isRunning();
    switch (measurement.phase()) {
    case Phase::idle:
        break;
    case Phase::settling:
        model.measurementStatus = {
            QStringLiteral("Playing pink noise — letting the room settle…"), ColourRole::secondary, {}, {}};
        break;
    case Phase::measuring:
        model.measurementStatus = {QStringLiteral("Reading the microphone…"), ColourRole::secondary, {}, {}};
        model.progress = measurement.progress();
        break;
    case Phase::done:
        model.measurementStatus = {measurement.message(), ColourRole::secondary,
                                   QStringLiteral("checkmark.circle.fill"), ColourRole::green};
        model.measurementSymbolName = QStringLiteral("Done");
        break;
    case Phase::failed:
        model.measurementStatus = {measurement.message(), ColourRole::secondary,
                                   QStringLiteral("exclamationmark.triangle.fill"), ColourRole::red};
        model.measurementSymbolName = QStringLiteral("Failed");
        break;
    }
    model.showsMeasure = measurement.phase() == Phase::idle;
    model.showsCancel = measurement.isRunning();
    model.showsDismiss = measurement.phase() == Phase::done || measurement.phase() == Phase::failed;
}

QString OutputSourcePresenter::currentOutputUID() const {
    const auto& outputs = m_state.deviceManager().outputDevices();
    for (const QString& wanted : {m_chosenOutput, m_state.selectedOutputDeviceUID()}) {
        const bool present = std::any_of(outputs.begin(), outputs.end(),
                                         [&wanted](const auto& device) { return device.uid == wanted; });
        if (!wanted.isEmpty() && present) {
            return wanted;
        }
    }
    return outputs.isEmpty() ? QString() : outputs.front().uid;
}

QString OutputSourcePresenter::displayNameOf(const QString& uid) const {
    for (const auto& device : m_state.deviceManager().outputDevices()) {
        if (device.uid == uid) {
            return device.displayName();
        }
    }
    return uid;
}

// ---- commands ----

void OutputSourcePresenter::selectSource(MeasureFrom source) {
    m_state.setMeasureFrom(source);
}

void OutputSourcePresenter::selectOutput(const QString& uid) {
    m_chosenOutput = uid;
    emit changed();
}

QString OutputSourcePresenter::store(double reference, OutputProfile::Basis basis) {
    const QString uid = currentOutputUID();
    if (uid.isEmpty()) {
        return QStringLiteral("There is no output device.");
    }
    const OutputProfile profile{outputKeyFor(uid), displayNameOf(uid), reference, basis,
                                m_state.clock().now()};
    if (const auto problem = m_state.outputProfileStore().setProfile(profile)) {
        return QStringLiteral("Not stored: ") + *problem + QLatin1Char('.');
    }
    return QStringLiteral("Stored: ") + fixedText(reference, 1) + QStringLiteral(" dB SPL at full scale.");
}

QString OutputSourcePresenter::applyTypedReference(const QString& text) {
    const auto reference = parseNumber(text);
    if (!reference) {
        return QStringLiteral("Type the reference as a number of dB SPL.");
    }
    return store(*reference, OutputProfile::Basis::typed);
}

QString OutputSourcePresenter::applyDataSheet(const DataSheetFields& fields) {
    const auto sensitivity = parseNumber(fields.sensitivity);
    const auto maximumOutput = parseNumber(fields.maximumOutput);
    if (!sensitivity || !maximumOutput) {
        return QStringLiteral("Fill in the sensitivity and the maximum output as numbers.");
    }
    const models::OutputDataSheet sheet{*sensitivity, fields.sensitivityUnit, parseNumber(fields.impedance),
                                        *maximumOutput, fields.maximumOutputUnit};
    const auto reference = sheet.reference();
    if (const auto* problem = std::get_if<QString>(&reference)) {
        return QStringLiteral("Not stored: ") + *problem + QLatin1Char('.');
    }
    return store(std::get<double>(reference), OutputProfile::Basis::dataSheet);
}

void OutputSourcePresenter::resetToEstimate() {
    m_state.outputProfileStore().remove(outputKeyFor(currentOutputUID()));
}

void OutputSourcePresenter::measure() {
    const QString uid = currentOutputUID();
    if (uid.isEmpty()) {
        return;
    }
    // The volume of a Qt output is not known here: the measurement counts it as 100 %.
    m_state.outputProfileMeasurement().start({outputKeyFor(uid), displayNameOf(uid), uid, std::nullopt});
}

void OutputSourcePresenter::cancelMeasurement() {
    m_state.outputProfileMeasurement().cancel();
}

void OutputSourcePresenter::dismissMeasurement() {
    m_state.outputProfileMeasurement().dismiss();
}

} // namespace kavro::ui
