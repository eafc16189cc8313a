// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "ui/settings/AudioTabModel.h"
#include "ui/widgets/RefreshPacer.h"

#include <QWidget>

class QCheckBox;
class QComboBox;
class QLineEdit;
class QPushButton;
class QDoubleSpinBox;
class QSlider;
class QVBoxLayout;

namespace kavro::core {
class AppState;
}

namespace kavro::ui {

class AudioTabPresenter;
class BusyIndicator;
class CorrectionCurveView;
class FormSection;
class MeasurementStatus;
class OutputSourceSections;
class SymbolLabel;
class WrappedText;

// The Audio tab: the input and output devices, the microphone's location, the
// response measurement with the stored correction, the level calibration, and saving
// and applying calibration profiles. The widgets show what the presenter worded; a
// value that changes ten times a second repaints itself alone.
class AudioTab : public QWidget {
    Q_OBJECT
public:
    // The state must outlive the tab.
    explicit AudioTab(core::AppState& state, QWidget* parent = nullptr);
    ~AudioTab() override;

    AudioTabPresenter& presenter() const { return *m_presenter; }
    // Reads the state at once. The tab does this itself when it is shown; while hidden
    // it does no work at all.
    void refreshNow();

protected:
    void showEvent(QShowEvent* event) override;

private:
    void buildInputDevice(QVBoxLayout* layout);
    void buildOutputDevice(QVBoxLayout* layout);
    void buildMicLocation(QVBoxLayout* layout);
    void buildCorrection(QVBoxLayout* layout);
    void buildCorrectionStatus(FormSection* section);
    void buildMeasurementRow(FormSection* section);
    void buildCalibration(QVBoxLayout* layout);
    void buildSaveProfile(QVBoxLayout* layout);
    void buildSavedProfiles(QVBoxLayout* layout);

    void apply(const AudioTabModel& model);
    void applyInput(const AudioTabModel::InputDevice& input);
    void applyCorrection(const AudioTabModel& model);
    void applyMeasurement(const AudioTabModel::Measurement& measurement);
    void applyCalibration(const AudioTabModel::Calibration& calibration);
    void applySavedProfiles(const QList<AudioTabModel::SavedProfile>& profiles);

    AudioTabPresenter* m_presenter = nullptr;
    OutputSourceSections* m_outputSource = nullptr;
    RefreshPacer* m_refreshPacer = nullptr;
    std::optional<AudioTabModel> m_shown;

    // Input and output devices.
    QComboBox* m_microphone = nullptr;
    QWidget* m_channelRow = nullptr;
    QComboBox* m_channel = nullptr;
    QWidget* m_permissionRow = nullptr;
    SymbolLabel* m_permissionSymbol = nullptr;
    WrappedText* m_permissionText = nullptr;
    QComboBox* m_output = nullptr;
    QLineEdit* m_micLocation = nullptr;

    // The response measurement and the stored correction.
    SymbolLabel* m_correctionTitle = nullptr;
    WrappedText* m_correctionDate = nullptr;
    QCheckBox* m_correctionSwitch = nullptr;
    QWidget* m_chartRow = nullptr;
    CorrectionCurveView* m_chart = nullptr;
    BusyIndicator* m_spinner = nullptr;
    MeasurementStatus* m_measurementStatus = nullptr;
    QPushButton* m_measureButton = nullptr;
    QPushButton* m_cancelButton = nullptr;
    QPushButton* m_dismissButton = nullptr;
    WrappedText* m_measureCaption = nullptr;
    QWidget* m_clearRow = nullptr;
    QPushButton* m_clearButton = nullptr;

    // The level calibration.
    SymbolLabel* m_offsetValue = nullptr;
    QSlider* m_offsetSlider = nullptr;
    QDoubleSpinBox* m_offsetField = nullptr;
    QPushButton* m_resetOffsetButton = nullptr;
    SymbolLabel* m_liveReading = nullptr;
    QFont m_levelFont;
    QFont m_hintFont;
    QPushButton* m_pinkNoiseButton = nullptr;
    WrappedText* m_pinkNoiseCaption = nullptr;

    // Profiles.
    QLineEdit* m_profileLabel = nullptr;
    QPushButton* m_saveProfileButton = nullptr;
    WrappedText* m_saveProfileCaption = nullptr;
    FormSection* m_savedProfilesSection = nullptr;
    QList<QWidget*> m_profileRows;
};

} // namespace kavro::ui
