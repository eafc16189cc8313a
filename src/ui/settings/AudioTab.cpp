// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/settings/AudioTab.h"
#include "ui/settings/LevelCalibrationSection.h"

#include "dsp/CorrectionDesign.h"
#include "models/NumberText.h"
#include "platform/SettingKey.h"
#include "ui/settings/AudioTabPresenter.h"
#include "ui/settings/CorrectionCurveView.h"
#include "ui/settings/MeasurementStatus.h"
#include "ui/settings/OutputSourceSections.h"
#include "ui/style/TextStyle.h"
#include "ui/widgets/BusyIndicator.h"
#include "ui/widgets/ButtonLook.h"
#include "ui/widgets/FormSection.h"
#include "ui/widgets/SymbolLabel.h"
#include "ui/widgets/WrappedText.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalBlocker>
#include <QSlider>
#include <QToolButton>
#include <QVBoxLayout>

namespace kavro::ui {

using models::fixedText;

namespace {

constexpr int kPickerMinimumWidth = 220;
const char* const kProfileIdProperty = "kavroProfileId";

QHBoxLayout* rowLayout(QWidget* row) {
    return static_cast<QHBoxLayout*>(row->layout());
}

QComboBox* picker(QWidget* parent, const char* objectName) {
    auto* combo = new QComboBox(parent);
    combo->setObjectName(QLatin1String(objectName));
    combo->setMinimumWidth(kPickerMinimumWidth);
    combo->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    combo->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    combo->setMinimumContentsLength(18);
    return combo;
}

// Fills a picker anew only when its entries changed, so an open list is left alone.
template <typename Choice, typename Value>
void setChoices(QComboBox* combo, const QList<Choice>& choices, int selected, Value Choice::*value) {
    const QSignalBlocker blocker(combo);
    bool same = combo->count() == choices.size();
    for (int index = 0; same && index < combo->count(); ++index) {
        same = combo->itemText(index) == choices[index].text &&
               combo->itemData(index) == QVariant::fromValue(choices[index].*value);
    }
    if (!same) {
        combo->clear();
        for (const Choice& choice : choices) {
            combo->addItem(choice.text, QVariant::fromValue(choice.*value));
        }
    }
    if (combo->currentIndex() != selected) {
        combo->setCurrentIndex(selected);
    }
}

void setContent(SymbolLabel* label, const SettingsText& content) {
    label->setText(content.text);
    label->setColour(content.colour);
    label->setSymbol(content.symbol);
    label->setSymbolColour(content.symbolColour);
}

// A symbol before a wrapping text, for notes that may run over a line.
QWidget* symbolNote(QWidget* parent, SymbolLabel*& symbol, WrappedText*& text, const char* objectName) {
    auto* row = new QWidget(parent);
    row->setObjectName(QLatin1String(objectName));
    auto* layout = new QHBoxLayout(row);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(6);
    symbol = new SymbolLabel(row);
    symbol->setFont(styledFont(parent->font(), TextStyle::caption));
    layout->addWidget(symbol, 0, Qt::AlignTop);
    text = WrappedText::caption(row, QString());
    layout->addWidget(text, 1);
    return row;
}

// The explanations under the measurement section: a bold heading and its paragraph.
void addExplanation(FormSection* section, const QString& heading, const QString& text) {
    auto* title = new WrappedText(heading, ColourRole::secondary,
                                  styledFont(section->font(), TextStyle::caption, QFont::Bold), section);
    title->setContentsMargins(0, 4, 0, 0);
    section->addFooter(title);
    section->addFooter(WrappedText::caption(section, text));
}

// What the response measurement does, in what order to calibrate, and its limits (the
// correction design's own).
void addCorrectionExplanations(FormSection* section) {
    addExplanation(
        section, QStringLiteral("What this does"),
        QStringLiteral("Pressing Measure plays pink noise through the selected output device, captures "
                       "the mic's response (~4 seconds), computes a correction curve, and stops "
                       "automatically. The resulting FIR filter flattens the mic's frequency response "
                       "before A/C weighting, so readings better reflect what a flat reference mic "
                       "would report."));
    addExplanation(
        section, QStringLiteral("Calibration order"),
        QStringLiteral("Measure and enable this correction before adjusting the level offset below. "
                       "The correction changes the frequency balance, which shifts the broadband dBA "
                       "reading."));
    using namespace dsp::correction;
    addExplanation(section, QStringLiteral("Caveats"),
                   QStringLiteral("The measurement captures the combined room + monitor + mic response, not "
                                  "the mic in isolation. Corrections are limited to ±%1 dB and taper in "
                                  "gradually between %2–%3 Hz (to avoid correcting room modes). Remeasure if "
                                  "you move the mic or change monitors.")
                       .arg(fixedText(kMaxCorrectionDB, 0), fixedText(kFreqLow, 0), fixedText(kBlendEnd, 0)));
}

// How to calibrate, below the level calibration: the default offset is the reference.
void addCalibrationNote(FormSection* section) {
    SymbolLabel* infoSymbol = nullptr;
    WrappedText* infoText = nullptr;
    section->addRow(symbolNote(section, infoSymbol, infoText, "calibrationInfoRow"));
    infoSymbol->setSymbol(QStringLiteral("info.circle"));
    infoSymbol->setColour(ColourRole::secondary);
    infoSymbol->setSpokenName(QStringLiteral("Note"));
    infoText->setText(
        fixedText(platform::keys::calibrationOffset.defaultValue, 0) +
        QStringLiteral(" dB is the standard reference. Adjust until readings match a reference "
                       "meter or known source. If mic response correction is enabled above, make "
                       "sure it's active before adjusting — the correction affects the broadband "
                       "level."));
}

} // namespace

AudioTab::AudioTab(core::AppState& state, QWidget* parent)
    : QWidget(parent), m_presenter(new AudioTabPresenter(state, this)) {
    setObjectName(QStringLiteral("audioTab"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(16, 14, 16, 16);
    layout->setSpacing(18);
    // Where the level comes from first: a headphone user without a microphone needs
    // nothing below it.
    m_outputSource = new OutputSourceSections(state, this);
    layout->addWidget(m_outputSource);
    buildInputDevice(layout);
    buildOutputDevice(layout);
    buildMicLocation(layout);
    buildCorrection(layout);
    buildCalibration(layout);
    layout->addWidget(new LevelCalibrationSection(state, this));
    buildSaveProfile(layout);
    buildSavedProfiles(layout);
    layout->addStretch(1);

    // The live reading changes with every buffer; the tab follows at the pace of the
    // live views. A hidden tab reads everything when it is shown.
    m_refreshPacer = new RefreshPacer(*this, [this] { apply(m_presenter->model()); });
    connect(m_presenter, &AudioTabPresenter::changed, m_refreshPacer, &RefreshPacer::request);
    apply(m_presenter->model());
}

AudioTab::~AudioTab() = default;

// ---- building ----

void AudioTab::buildInputDevice(QVBoxLayout* layout) {
    auto* section = new FormSection(QStringLiteral("Input Device"), this);
    section->setObjectName(QStringLiteral("inputDeviceSection"));
    m_microphone = picker(section, "microphonePicker");
    section->addLabelledRow(QStringLiteral("Microphone"), m_microphone, "microphoneRow");
    connect(m_microphone, &QComboBox::activated, this,
            [this](int index) { m_presenter->selectMicrophone(m_microphone->itemData(index).toString()); });

    m_channel = picker(section, "channelPicker");
    m_channelRow = section->addLabelledRow(QStringLiteral("Input Channel"), m_channel, "channelRow");
    connect(m_channel, &QComboBox::activated, this,
            [this](int index) { m_presenter->selectChannel(m_channel->itemData(index).toLongLong()); });

    QWidget* refreshRow = section->addRowWidget("refreshRow");
    auto* refresh = new QPushButton(refreshRow);
    refresh->setObjectName(QStringLiteral("refreshDevicesButton"));
    ButtonLook::apply(refresh, QStringLiteral("Refresh Devices"),
                      QStringLiteral("arrow.triangle.2.circlepath"), ButtonLook::Tint::none);
    connect(refresh, &QPushButton::clicked, m_presenter, &AudioTabPresenter::refreshDevices);
    rowLayout(refreshRow)->addWidget(refresh);
    rowLayout(refreshRow)->addStretch(1);

    m_permissionRow =
        section->addRow(symbolNote(section, m_permissionSymbol, m_permissionText, "permissionRow"));
    m_permissionSymbol->setSpokenName(QStringLiteral("Warning"));
    layout->addWidget(section);
}

void AudioTab::buildOutputDevice(QVBoxLayout* layout) {
    auto* section = new FormSection(QStringLiteral("Output Device"), this);
    section->setObjectName(QStringLiteral("outputDeviceSection"));
    m_output = picker(section, "outputPicker");
    section->addLabelledRow(QStringLiteral("Output"), m_output, "outputRow");
    connect(m_output, &QComboBox::activated, this,
            [this](int index) { m_presenter->selectOutput(m_output->itemData(index).toString()); });
    layout->addWidget(section);
}

void AudioTab::buildMicLocation(QVBoxLayout* layout) {
    auto* section = new FormSection(QStringLiteral("Mic Location"), this);
    section->setObjectName(QStringLiteral("micLocationSection"));
    m_micLocation = new QLineEdit(section);
    m_micLocation->setObjectName(QStringLiteral("micLocationField"));
    m_micLocation->setPlaceholderText(
        QStringLiteral("e.g. Studio Display mic, 1m behind listening position"));
    m_micLocation->setAccessibleName(QStringLiteral("Mic Location"));
    section->addRow(m_micLocation);
    // Every keystroke is kept: closing the window never loses the note.
    connect(m_micLocation, &QLineEdit::textEdited, m_presenter, &AudioTabPresenter::setMicLocationNote);
    section->addFooter(WrappedText::caption(
        section, QStringLiteral("For your reference only — helps you remember the measurement context.")));
    layout->addWidget(section);
}

void AudioTab::buildCorrection(QVBoxLayout* layout) {
    auto* section = new FormSection(QStringLiteral("Step 1 — Mic Response Correction (Optional)"), this);
    section->setObjectName(QStringLiteral("correctionSection"));
    buildCorrectionStatus(section);

    m_chartRow = section->addRowWidget("chartRow");
    m_chart = new CorrectionCurveView(m_chartRow);
    m_chart->setObjectName(QStringLiteral("correctionChart"));
    rowLayout(m_chartRow)->addWidget(m_chart);

    buildMeasurementRow(section);

    m_clearRow = section->addRowWidget("clearRow");
    m_clearButton = new QPushButton(m_clearRow);
    m_clearButton->setObjectName(QStringLiteral("clearMeasurementButton"));
    ButtonLook::apply(m_clearButton, QStringLiteral("Clear Measurement"), QStringLiteral("trash"),
                      ButtonLook::Tint::none);
    connect(m_clearButton, &QPushButton::clicked, m_presenter, &AudioTabPresenter::clearMeasurement);
    rowLayout(m_clearRow)->addWidget(m_clearButton);
    rowLayout(m_clearRow)->addStretch(1);

    addCorrectionExplanations(section);
    layout->addWidget(section);
}

void AudioTab::buildCorrectionStatus(FormSection* section) {
    QWidget* status = section->addRowWidget("correctionStatusRow");
    auto* titles = new QVBoxLayout;
    titles->setSpacing(1);
    m_correctionTitle = new SymbolLabel(status);
    m_correctionTitle->setObjectName(QStringLiteral("correctionTitle"));
    m_correctionDate = WrappedText::caption(status, QString(), "correctionDate");
    titles->addWidget(m_correctionTitle);
    titles->addWidget(m_correctionDate);
    rowLayout(status)->addLayout(titles, 1);
    m_correctionSwitch = new QCheckBox(status);
    m_correctionSwitch->setObjectName(QStringLiteral("correctionSwitch"));
    m_correctionSwitch->setText(QStringLiteral("Apply correction"));
    rowLayout(status)->addWidget(m_correctionSwitch);
    connect(m_correctionSwitch, &QCheckBox::clicked, m_presenter, &AudioTabPresenter::setCorrectionEnabled);
}

void AudioTab::buildMeasurementRow(FormSection* section) {
    QWidget* measurement = section->addRowWidget("measurementRow");
    auto* line = new QHBoxLayout;
    line->setSpacing(6);
    m_spinner = new BusyIndicator(measurement);
    m_spinner->setObjectName(QStringLiteral("measurementSpinner"));
    line->addWidget(m_spinner);
    m_measurementStatus = new MeasurementStatus(QStringLiteral("measurement"),
                                                QStringLiteral("Measurement progress"), measurement);
    line->addWidget(m_measurementStatus, 1);
    m_measureButton = new QPushButton(measurement);
    m_measureButton->setObjectName(QStringLiteral("measureButton"));
    ButtonLook::apply(m_measureButton, QStringLiteral("Measure Response"), QStringLiteral("mic.badge.plus"),
                      ButtonLook::Tint::accent);
    connect(m_measureButton, &QPushButton::clicked, m_presenter, &AudioTabPresenter::measureResponse);
    line->addWidget(m_measureButton);
    line->addStretch(0);
    m_cancelButton = new QPushButton(QStringLiteral("Cancel"), measurement);
    m_cancelButton->setObjectName(QStringLiteral("cancelMeasurementButton"));
    connect(m_cancelButton, &QPushButton::clicked, m_presenter, &AudioTabPresenter::cancelMeasurement);
    line->addWidget(m_cancelButton);
    m_dismissButton = new QPushButton(QStringLiteral("Dismiss"), measurement);
    m_dismissButton->setObjectName(QStringLiteral("dismissMeasurementButton"));
    connect(m_dismissButton, &QPushButton::clicked, m_presenter, &AudioTabPresenter::dismissMeasurement);
    line->addWidget(m_dismissButton);

    auto* column = new QVBoxLayout;
    column->setSpacing(4);
    column->addLayout(line);
    m_measureCaption = WrappedText::caption(measurement, QString(), "measureCaption");
    column->addWidget(m_measureCaption);
    rowLayout(measurement)->addLayout(column, 1);
}

void AudioTab::buildCalibration(QVBoxLayout* layout) {
    auto* section = new FormSection(QStringLiteral("Step 2 — Level Calibration"), this);
    section->setObjectName(QStringLiteral("calibrationSection"));
    const QFont value = fixedWidthFont(font(), TextStyle::body, QFont::Medium);

    m_offsetValue = new SymbolLabel(section);
    m_offsetValue->setObjectName(QStringLiteral("offsetValue"));
    m_offsetValue->setFont(value);
    m_offsetValue->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    section->addLabelledRow(QStringLiteral("Calibration Offset"), m_offsetValue, "offsetRow");

    m_offsetSlider = new QSlider(Qt::Horizontal, section);
    m_offsetSlider->setObjectName(QStringLiteral("offsetSlider"));
    m_offsetSlider->setRange(AudioTabPresenter::kMinimumSliderPosition,
                             AudioTabPresenter::kMaximumSliderPosition);
    m_offsetSlider->setSingleStep(1);
    m_offsetSlider->setPageStep(5);
    m_offsetSlider->setAccessibleName(QStringLiteral("Calibration Offset"));
    section->addRow(m_offsetSlider);
    connect(m_offsetSlider, &QSlider::valueChanged, m_presenter, &AudioTabPresenter::setSliderPosition);

    QWidget* resetRow = section->addRowWidget("resetOffsetRow");
    m_resetOffsetButton = new QPushButton(QStringLiteral("Reset to Default"), resetRow);
    m_resetOffsetButton->setObjectName(QStringLiteral("resetOffsetButton"));
    m_resetOffsetButton->setFont(styledFont(font(), TextStyle::caption));
    connect(m_resetOffsetButton, &QPushButton::clicked, m_presenter,
            &AudioTabPresenter::resetCalibrationOffset);
    // The offset typed to the tenth, for a value read off another meter.
    m_offsetField = new QDoubleSpinBox(resetRow);
    m_offsetField->setObjectName(QStringLiteral("offsetField"));
    m_offsetField->setRange(AudioTabPresenter::kMinimumOffsetDb, AudioTabPresenter::kMaximumOffsetDb);
    m_offsetField->setDecimals(1);
    m_offsetField->setSingleStep(1.0 / AudioTabPresenter::kStepsPerDb);
    m_offsetField->setSuffix(QStringLiteral(" dB"));
    m_offsetField->setKeyboardTracking(false);
    nameSpinBox(m_offsetField, QStringLiteral("Calibration Offset value"));
    connect(m_offsetField, &QDoubleSpinBox::valueChanged, m_presenter, &AudioTabPresenter::setTypedOffset);
    rowLayout(resetRow)->addWidget(m_offsetField);
    rowLayout(resetRow)->addStretch(1);
    rowLayout(resetRow)->addWidget(m_resetOffsetButton);

    m_liveReading = new SymbolLabel(section);
    m_liveReading->setObjectName(QStringLiteral("liveReading"));
    m_levelFont = value;
    m_hintFont = styledFont(font(), TextStyle::caption);
    m_liveReading->setFont(m_hintFont);
    m_liveReading->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    section->addLabelledRow(QStringLiteral("Live reading"), m_liveReading, "liveReadingRow");

    QWidget* pinkRow = section->addRowWidget("pinkNoiseRow");
    auto* pinkColumn = new QVBoxLayout;
    pinkColumn->setSpacing(4);
    m_pinkNoiseButton = new QPushButton(pinkRow);
    m_pinkNoiseButton->setObjectName(QStringLiteral("pinkNoiseButton"));
    connect(m_pinkNoiseButton, &QPushButton::clicked, m_presenter, &AudioTabPresenter::togglePinkNoise);
    pinkColumn->addWidget(m_pinkNoiseButton);
    m_pinkNoiseCaption = WrappedText::caption(pinkRow, QString(), "pinkNoiseCaption");
    pinkColumn->addWidget(m_pinkNoiseCaption);
    rowLayout(pinkRow)->addLayout(pinkColumn, 1);

    addCalibrationNote(section);
    layout->addWidget(section);
}

void AudioTab::buildSaveProfile(QVBoxLayout* layout) {
    auto* section = new FormSection(QStringLiteral("Save Profile"), this);
    section->setObjectName(QStringLiteral("saveProfileSection"));
    QWidget* row = section->addRowWidget("saveProfileRow");
    m_profileLabel = new QLineEdit(row);
    m_profileLabel->setObjectName(QStringLiteral("profileLabelField"));
    m_profileLabel->setPlaceholderText(QStringLiteral("Label (e.g. Superlux at desk)"));
    m_profileLabel->setAccessibleName(QStringLiteral("Profile label"));
    rowLayout(row)->addWidget(m_profileLabel, 1);
    m_saveProfileButton = new QPushButton(QStringLiteral("Save"), row);
    m_saveProfileButton->setObjectName(QStringLiteral("saveProfileButton"));
    rowLayout(row)->addWidget(m_saveProfileButton);
    const auto save = [this] {
        m_presenter->saveProfile(m_profileLabel->text());
        m_profileLabel->clear();
    };
    connect(m_saveProfileButton, &QPushButton::clicked, this, save);
    connect(m_profileLabel, &QLineEdit::returnPressed, this, save);
    m_saveProfileCaption = WrappedText::caption(section, QString(), "saveProfileCaption");
    section->addFooter(m_saveProfileCaption);
    layout->addWidget(section);
}

void AudioTab::buildSavedProfiles(QVBoxLayout* layout) {
    m_savedProfilesSection = new FormSection(QStringLiteral("Saved Profiles"), this);
    m_savedProfilesSection->setObjectName(QStringLiteral("savedProfilesSection"));
    m_savedProfilesSection->addFooter(WrappedText::caption(
        m_savedProfilesSection,
        QStringLiteral(
            "Applying a profile restores the frequency correction (if any) and sets the level offset. "
            "Adjust the offset manually if your input gain has changed since the profile was saved.")));
    layout->addWidget(m_savedProfilesSection);
}

// ---- refreshing ----

void AudioTab::refreshNow() {
    m_refreshPacer->refreshNow();
    m_outputSource->refreshNow();
}

void AudioTab::showEvent(QShowEvent* event) {
    refreshNow();
    QWidget::showEvent(event);
}

void AudioTab::apply(const AudioTabModel& model) {
    if (m_shown && *m_shown == model) {
        return;
    }
    if (!m_shown || m_shown->input != model.input) {
        applyInput(model.input);
    }
    if (!m_shown || m_shown->output != model.output) {
        setChoices(m_output, model.output.outputs, model.output.selectedOutput, &DeviceChoice::uid);
    }
    // The field is the user's while they type in it.
    if (m_micLocation->text() != model.micLocationNote && !m_micLocation->hasFocus()) {
        m_micLocation->setText(model.micLocationNote);
    }
    applyCorrection(model);
    applyCalibration(model.calibration);
    m_saveProfileCaption->setTextIfChanged(model.saveProfileCaption);
    if (!m_shown || m_shown->savedProfiles != model.savedProfiles) {
        applySavedProfiles(model.savedProfiles);
    }
    m_shown = model;
}

void AudioTab::applyInput(const AudioTabModel::InputDevice& input) {
    setChoices(m_microphone, input.microphones, input.selectedMicrophone, &DeviceChoice::uid);
    setChoices(m_channel, input.channels, input.selectedChannel, &ChannelChoice::index);
    m_channelRow->setVisible(input.showsChannels);
    m_permissionRow->setVisible(input.permissionWarning.has_value());
    if (input.permissionWarning) {
        m_permissionSymbol->setSymbol(input.permissionWarning->symbol);
        m_permissionSymbol->setColour(input.permissionWarning->colour);
        m_permissionText->setColour(input.permissionWarning->colour);
        m_permissionText->setTextIfChanged(input.permissionWarning->text);
    }
}

void AudioTab::applyCorrection(const AudioTabModel& model) {
    setContent(m_correctionTitle, model.correction.title);
    m_correctionDate->setTextIfChanged(model.correction.measuredDate);
    m_correctionDate->setVisible(!model.correction.measuredDate.isEmpty());
    m_correctionSwitch->setVisible(model.correction.showsSwitch);
    if (m_correctionSwitch->isChecked() != model.correction.enabled) {
        const QSignalBlocker blocker(m_correctionSwitch);
        m_correctionSwitch->setChecked(model.correction.enabled);
    }
    m_chartRow->setVisible(model.chart.has_value());
    if (model.chart) {
        m_chart->setChart(*model.chart);
    }
    applyMeasurement(model.measurement);
    m_clearRow->setVisible(model.showsClearMeasurement);
}

void AudioTab::applyMeasurement(const AudioTabModel::Measurement& measurement) {
    m_spinner->setVisible(measurement.spinner);
    m_measurementStatus->show(measurement.status, measurement.statusSymbolName, measurement.progress);
    m_measureButton->setVisible(measurement.showsMeasureButton);
    m_measureButton->setEnabled(measurement.measureEnabled);
    m_measureCaption->setVisible(measurement.measureCaption.has_value());
    m_measureCaption->setTextIfChanged(measurement.measureCaption.value_or(QString()));
    m_cancelButton->setVisible(measurement.showsCancel);
    m_dismissButton->setVisible(measurement.showsDismiss);
}

void AudioTab::applyCalibration(const AudioTabModel::Calibration& calibration) {
    m_offsetValue->setText(calibration.offsetText);
    // A slider the user is dragging is theirs; it shows the value when they let go.
    if (m_offsetSlider->value() != calibration.sliderPosition && !m_offsetSlider->isSliderDown()) {
        const QSignalBlocker blocker(m_offsetSlider);
        m_offsetSlider->setValue(calibration.sliderPosition);
    }
    if (!m_offsetField->hasFocus()) {
        const QSignalBlocker blocker(m_offsetField);
        m_offsetField->setValue(calibration.sliderPosition / AudioTabPresenter::kStepsPerDb);
    }
    m_liveReading->setText(calibration.liveReading);
    m_liveReading->setFont(calibration.liveReadingIsLevel ? m_levelFont : m_hintFont);
    m_liveReading->setColour(calibration.liveReadingIsLevel ? ColourRole::primary : ColourRole::secondary);
    const auto& button = calibration.pinkNoiseButton;
    ButtonLook::apply(m_pinkNoiseButton, button.text, button.symbol,
                      button.colour == ColourRole::red ? ButtonLook::Tint::red : ButtonLook::Tint::accent);
    m_pinkNoiseButton->setEnabled(calibration.pinkNoiseEnabled);
    m_pinkNoiseCaption->setVisible(calibration.pinkNoiseCaption.has_value());
    m_pinkNoiseCaption->setTextIfChanged(calibration.pinkNoiseCaption.value_or(QString()));
}

void AudioTab::applySavedProfiles(const QList<AudioTabModel::SavedProfile>& profiles) {
    qDeleteAll(m_profileRows);
    m_profileRows.clear();
    for (const auto& profile : profiles) {
        QWidget* row = m_savedProfilesSection->addRowWidget("savedProfileRow");
        row->setProperty(kProfileIdProperty, profile.id);
        auto* words = new QVBoxLayout;
        words->setSpacing(1);
        auto* label = new WrappedText(profile.label, ColourRole::primary,
                                      styledFont(font(), TextStyle::callout, QFont::Medium), row);
        label->setObjectName(QStringLiteral("profileLabel"));
        words->addWidget(label);
        words->addWidget(WrappedText::caption(row, profile.deviceName, "profileDevice"));
        words->addWidget(new WrappedText(profile.detail, ColourRole::secondary,
                                         styledFont(font(), TextStyle::smallestCaption), row));
        rowLayout(row)->addLayout(words, 1);

        auto* applyButton = new QPushButton(QStringLiteral("Apply"), row);
        applyButton->setObjectName(QStringLiteral("applyProfileButton"));
        applyButton->setAccessibleDescription(QStringLiteral("Apply ") + profile.label);
        const QUuid id = profile.id;
        connect(applyButton, &QPushButton::clicked, m_presenter,
                [this, id] { m_presenter->applyProfile(id); });
        rowLayout(row)->addWidget(applyButton, 0, Qt::AlignVCenter);

        auto* deleteButton = new QToolButton(row);
        deleteButton->setObjectName(QStringLiteral("deleteProfileButton"));
        deleteButton->setAutoRaise(true);
        ButtonLook::apply(deleteButton, QString(), QStringLiteral("trash"), ButtonLook::Tint::redSymbol,
                          QStringLiteral("Delete ") + profile.label);
        // The row goes with the profile, on the refresh after the click.
        connect(deleteButton, &QToolButton::clicked, m_presenter,
                [this, id] { m_presenter->deleteProfile(id); });
        rowLayout(row)->addWidget(deleteButton, 0, Qt::AlignVCenter);
        m_profileRows.append(row);
    }
    m_savedProfilesSection->setVisible(!profiles.isEmpty());
}

} // namespace kavro::ui
