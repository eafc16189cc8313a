// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "ui/widgets/FormSection.h"

class QAbstractSpinBox;
class QComboBox;
class QDoubleSpinBox;
class QListWidget;
class QProgressBar;
class QPushButton;
class QSpinBox;

namespace kavro::core {
class AppState;
}

namespace kavro::ui {

class RefreshPacer;
class WrappedText;

// Names a spin box and the text field inside it for assistive technology.
void nameSpinBox(QAbstractSpinBox* box, const QString& name);

// The Audio tab's section for setting the level offset from a known level: a sound
// calibrator on the microphone or another meter reading Kavro's pink noise; what the
// run found or why it refused; the calibration in use, the age after which it is said
// not to fit, and the last calibrations.
class LevelCalibrationSection : public FormSection {
    Q_OBJECT
public:
    // The state must outlive the section.
    explicit LevelCalibrationSection(core::AppState& state, QWidget* parent = nullptr);

    // Reads the state into the widgets.
    void refresh();

private:
    void buildCalibratorRow();
    void buildReferenceRow();
    void buildStatusRow();
    void buildRecord();
    void calibrateWithCalibrator();
    void calibrateWithReference();

    core::AppState& m_state;
    QComboBox* m_calibratorLevel = nullptr;
    QPushButton* m_calibratorButton = nullptr;
    QDoubleSpinBox* m_referenceLevel = nullptr;
    QComboBox* m_referenceWeighting = nullptr;
    QPushButton* m_referenceButton = nullptr;
    QWidget* m_statusRow = nullptr;
    QProgressBar* m_progress = nullptr;
    WrappedText* m_status = nullptr;
    QPushButton* m_confirmButton = nullptr;
    QPushButton* m_cancelButton = nullptr;
    WrappedText* m_inUse = nullptr;
    QSpinBox* m_maxAge = nullptr;
    QListWidget* m_history = nullptr;
    RefreshPacer* m_pacer = nullptr;
};

} // namespace kavro::ui
