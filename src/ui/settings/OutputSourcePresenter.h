// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "models/MeasureFrom.h"
#include "models/OutputDataSheet.h"
#include "models/OutputProfile.h"
#include "ui/settings/OutputSourceModel.h"

#include <QObject>

#include <optional>

namespace kavro::core {
class AppState;
}

namespace kavro::ui {

// What the source choice and the output-profile editor show and what their controls do:
// where the level comes from, and for each output the reference its level is worked out
// with, typed, from data sheets or measured with the calibrated microphone.
class OutputSourcePresenter : public QObject {
    Q_OBJECT
public:
    // The texts of the data-sheet fields, as typed.
    struct DataSheetFields {
        QString sensitivity;
        models::OutputDataSheet::SensitivityUnit sensitivityUnit;
        QString impedance;
        QString maximumOutput;
        models::OutputDataSheet::LevelUnit maximumOutputUnit;
    };

    // The state must outlive the presenter.
    explicit OutputSourcePresenter(core::AppState& state, QObject* parent = nullptr);

    OutputSourceModel model() const;

    void selectSource(models::MeasureFrom source);
    void selectOutput(const QString& uid);
    // Each stores the chosen output's profile and says what it stored, or why nothing.
    QString applyTypedReference(const QString& text);
    QString applyDataSheet(const DataSheetFields& fields);
    // The output reads as estimated again.
    void resetToEstimate();
    void measure();
    void cancelMeasurement();
    void dismissMeasurement();

    // A number as the user types it: with a full stop, or in the user's own way.
    static std::optional<double> parseNumber(const QString& text);

signals:
    void changed();

private:
    // The output the editor works on: the chosen one while it exists, else the output
    // chosen for pink noise, else the first.
    QString currentOutputUID() const;
    QString displayNameOf(const QString& uid) const;
    QString store(double reference, models::OutputProfile::Basis basis);
    void measurementRow(OutputSourceModel& model) const;

    core::AppState& m_state;
    QString m_chosenOutput;
};

} // namespace kavro::ui
