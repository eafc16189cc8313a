// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "ui/settings/OutputSourceModel.h"

#include <QWidget>

#include <optional>

class QComboBox;
class QLineEdit;
class QPushButton;
class QVBoxLayout;

namespace kavro::core {
class AppState;
}

namespace kavro::ui {

class FormSection;
class MeasurementStatus;
class OutputSourcePresenter;
class RefreshPacer;
class SymbolLabel;
class WrappedText;

// The "Measure From" choice and the "Output Profile" editor of the Audio tab: which
// source the level comes from, and for each output the reference its level is worked
// out with, typed in, calculated from data sheets or measured with the microphone.
class OutputSourceSections : public QWidget {
    Q_OBJECT
public:
    // The state must outlive the sections.
    explicit OutputSourceSections(core::AppState& state, QWidget* parent = nullptr);
    ~OutputSourceSections() override;

    OutputSourcePresenter& presenter() const { return *m_presenter; }
    void refreshNow();

private:
    void buildSource(QVBoxLayout* layout);
    void buildProfile(QVBoxLayout* layout);
    void buildTypedReference(FormSection* section);
    void buildDataSheet(FormSection* section);
    void buildMeasurement(FormSection* section);
    void applyDataSheet();
    // What the last Apply stored, or why it stored nothing.
    void showResult(const QString& text);
    void apply(const OutputSourceModel& model);
    void applyMeasurement(const OutputSourceModel& model);

    OutputSourcePresenter* m_presenter = nullptr;
    RefreshPacer* m_refreshPacer = nullptr;
    std::optional<OutputSourceModel> m_shown;

    QComboBox* m_source = nullptr;
    WrappedText* m_sourceCaption = nullptr;
    QComboBox* m_output = nullptr;
    SymbolLabel* m_reference = nullptr;
    WrappedText* m_basis = nullptr;
    QLineEdit* m_typedReference = nullptr;
    QLineEdit* m_sensitivity = nullptr;
    QComboBox* m_sensitivityUnit = nullptr;
    QLineEdit* m_impedance = nullptr;
    QLineEdit* m_maximumOutput = nullptr;
    QComboBox* m_maximumOutputUnit = nullptr;
    WrappedText* m_result = nullptr;
    QPushButton* m_measureButton = nullptr;
    MeasurementStatus* m_measurementStatus = nullptr;
    QPushButton* m_cancelButton = nullptr;
    QPushButton* m_dismissButton = nullptr;
    QPushButton* m_resetButton = nullptr;
};

} // namespace kavro::ui
