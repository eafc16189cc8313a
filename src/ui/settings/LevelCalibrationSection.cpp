// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/settings/LevelCalibrationSection.h"

#include "core/AppState.h"
#include "core/CalibrationCenter.h"
#include "models/NumberText.h"
#include "ui/style/TextStyle.h"
#include "ui/widgets/RefreshPacer.h"
#include "ui/widgets/WrappedText.h"

#include <QComboBox>
#include <QDoubleSpinBox>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QSpinBox>

namespace kavro::ui {

namespace {

using services::LevelCalibrationService;
using Phase = LevelCalibrationService::Phase;

constexpr int kProgressSteps = 100;
// The levels calibrators are made for; any other is typed.
const QStringList kCalibratorLevels{QStringLiteral("94.0"), QStringLiteral("114.0")};
constexpr double kDefaultReadingDb = 80.0;

const char* const kIntro =
    "Set the offset from a known level: fit a sound calibrator on the microphone, or let another "
    "meter at the listening position read Kavro's pink noise and type what it shows.";

// A form row's own layout: a row of controls.
QHBoxLayout* rowLayoutOf(QWidget* row) {
    return static_cast<QHBoxLayout*>(row->layout());
}

} // namespace

void nameSpinBox(QAbstractSpinBox* box, const QString& name) {
    box->setAccessibleName(name);
    if (auto* field = box->findChild<QLineEdit*>()) {
        field->setAccessibleName(name);
    }
}

LevelCalibrationSection::LevelCalibrationSection(core::AppState& state, QWidget* parent)
    : FormSection(QStringLiteral("Calibrate with a Calibrator or a Reference Meter"), parent),
      m_state(state) {
    setObjectName(QStringLiteral("levelCalibrationSection"));
    addRow(new WrappedText(QString::fromUtf8(kIntro), ColourRole::secondary,
                           styledFont(font(), TextStyle::caption), this));
    buildCalibratorRow();
    buildReferenceRow();
    buildStatusRow();
    buildRecord();
    m_pacer = new RefreshPacer(*this, [this] { refresh(); });
    connect(&m_state.calibration(), &core::CalibrationCenter::changed, m_pacer, &RefreshPacer::request);
    refresh();
}

void LevelCalibrationSection::buildCalibratorRow() {
    m_calibratorLevel = new QComboBox(this);
    m_calibratorLevel->setObjectName(QStringLiteral("calibratorLevel"));
    m_calibratorLevel->setEditable(true);
    m_calibratorLevel->addItems(kCalibratorLevels);
    m_calibratorLevel->setValidator(new QDoubleValidator(1.0, 160.0, 1, m_calibratorLevel));
    m_calibratorLevel->setAccessibleName(QStringLiteral("Calibrator level"));
    m_calibratorLevel->lineEdit()->setAccessibleName(QStringLiteral("Calibrator level"));
    m_calibratorButton = new QPushButton(QStringLiteral("Calibrate"), this);
    m_calibratorButton->setObjectName(QStringLiteral("calibratorButton"));
    connect(m_calibratorButton, &QPushButton::clicked, this,
            &LevelCalibrationSection::calibrateWithCalibrator);
    QWidget* row = addRowWidget("calibratorRow");
    QHBoxLayout* layout = rowLayoutOf(row);
    layout->addWidget(m_calibratorLevel);
    layout->addWidget(new QLabel(QStringLiteral("dB calibrator"), row));
    layout->addStretch(1);
    layout->addWidget(m_calibratorButton);
}

void LevelCalibrationSection::buildReferenceRow() {
    m_referenceLevel = new QDoubleSpinBox(this);
    m_referenceLevel->setObjectName(QStringLiteral("referenceLevel"));
    m_referenceLevel->setRange(20.0, 140.0);
    m_referenceLevel->setDecimals(1);
    m_referenceLevel->setSingleStep(0.1);
    m_referenceLevel->setValue(kDefaultReadingDb);
    nameSpinBox(m_referenceLevel, QStringLiteral("Reference meter reading"));
    m_referenceWeighting = new QComboBox(this);
    m_referenceWeighting->setObjectName(QStringLiteral("referenceWeighting"));
    m_referenceWeighting->addItems({QStringLiteral("dBA"), QStringLiteral("dBC")});
    m_referenceWeighting->setAccessibleName(QStringLiteral("Reference meter weighting"));
    m_referenceButton = new QPushButton(QStringLiteral("Match Meter"), this);
    m_referenceButton->setObjectName(QStringLiteral("referenceButton"));
    connect(m_referenceButton, &QPushButton::clicked, this, &LevelCalibrationSection::calibrateWithReference);
    QWidget* row = addRowWidget("referenceRow");
    QHBoxLayout* layout = rowLayoutOf(row);
    layout->addWidget(new QLabel(QStringLiteral("Meter reads"), row));
    layout->addWidget(m_referenceLevel);
    layout->addWidget(m_referenceWeighting);
    layout->addStretch(1);
    layout->addWidget(m_referenceButton);
}

void LevelCalibrationSection::buildStatusRow() {
    m_progress = new QProgressBar(this);
    m_progress->setObjectName(QStringLiteral("levelCalibrationProgress"));
    m_progress->setRange(0, kProgressSteps);
    m_progress->setTextVisible(false);
    m_progress->setAccessibleName(QStringLiteral("Calibration progress"));
    m_status =
        new WrappedText(QString(), ColourRole::secondary, styledFont(font(), TextStyle::caption), this);
    m_status->setObjectName(QStringLiteral("levelCalibrationStatus"));
    m_confirmButton = new QPushButton(QStringLiteral("Use Anyway"), this);
    m_confirmButton->setObjectName(QStringLiteral("confirmCalibrationButton"));
    connect(m_confirmButton, &QPushButton::clicked, this,
            [this] { m_state.calibration().run().confirmLargeChange(); });
    m_cancelButton = new QPushButton(QStringLiteral("Cancel"), this);
    m_cancelButton->setObjectName(QStringLiteral("cancelCalibrationButton"));
    connect(m_cancelButton, &QPushButton::clicked, this, [this] { m_state.calibration().run().cancel(); });
    m_statusRow = addRowWidget("levelCalibrationStatusRow");
    auto* column = new QVBoxLayout;
    column->addWidget(m_progress);
    column->addWidget(m_status);
    QHBoxLayout* layout = rowLayoutOf(m_statusRow);
    layout->addLayout(column, 1);
    layout->addWidget(m_confirmButton);
    layout->addWidget(m_cancelButton);
}

void LevelCalibrationSection::buildRecord() {
    m_inUse = new WrappedText(QString(), ColourRole::secondary, styledFont(font(), TextStyle::caption), this);
    m_inUse->setObjectName(QStringLiteral("calibrationInUse"));
    addRow(m_inUse);
    m_maxAge = new QSpinBox(this);
    m_maxAge->setObjectName(QStringLiteral("calibrationMaxAge"));
    m_maxAge->setRange(1, 3650);
    m_maxAge->setSuffix(QStringLiteral(" days"));
    m_maxAge->setKeyboardTracking(false);
    nameSpinBox(m_maxAge, QStringLiteral("Calibration may not fit after"));
    connect(m_maxAge, &QSpinBox::valueChanged, this,
            [this](int days) { m_state.calibration().setMaxAgeDays(days); });
    addLabelledRow(QStringLiteral("Say it may not fit after"), m_maxAge, "calibrationMaxAgeRow");
    m_history = new QListWidget(this);
    m_history->setObjectName(QStringLiteral("calibrationHistory"));
    m_history->setAccessibleName(QStringLiteral("Calibration history"));
    m_history->setFont(styledFont(font(), TextStyle::caption));
    m_history->setMaximumHeight(110);
    m_history->setSelectionMode(QAbstractItemView::NoSelection);
    addRow(new QLabel(QStringLiteral("Calibration history"), this));
    addRow(m_history);
}

void LevelCalibrationSection::calibrateWithCalibrator() {
    bool ok = false;
    const double level = m_calibratorLevel->currentText().toDouble(&ok);
    if (ok) {
        m_state.calibration().calibrateWithCalibrator(level, m_state.calibrationOffset());
    }
}

void LevelCalibrationSection::calibrateWithReference() {
    const auto weighting = m_referenceWeighting->currentIndex() == 1 ? LevelCalibrationService::Weighting::c
                                                                     : LevelCalibrationService::Weighting::a;
    const QString& output = m_state.selectedOutputDeviceUID();
    m_state.calibration().calibrateWithReference(m_referenceLevel->value(), weighting,
                                                 m_state.calibrationOffset(),
                                                 output.isEmpty() ? std::nullopt : std::optional(output));
}

void LevelCalibrationSection::refresh() {
    const core::CalibrationCenter& calibration = m_state.calibration();
    const LevelCalibrationService& run = m_state.calibration().run();
    const bool listening = run.phase() == Phase::listening;
    m_calibratorButton->setEnabled(!listening);
    m_referenceButton->setEnabled(!listening);
    m_progress->setVisible(listening);
    m_progress->setValue(static_cast<int>(run.progress() * kProgressSteps));
    m_status->setTextIfChanged(run.message());
    m_statusRow->setVisible(run.phase() != Phase::idle);
    m_status->setColour(run.phase() == Phase::refused ? ColourRole::orange : ColourRole::secondary);
    m_confirmButton->setVisible(run.phase() == Phase::refused &&
                                run.refusal() == LevelCalibrationService::Refusal::largeChange);
    m_cancelButton->setVisible(listening);
    m_inUse->setTextIfChanged(QStringLiteral("In use: ") + m_state.calibration().log().current().describe());
    if (!m_maxAge->hasFocus()) {
        const QSignalBlocker blocker(m_maxAge);
        m_maxAge->setValue(static_cast<int>(calibration.maxAgeDays()));
    }
    m_history->clear();
    for (const models::CalibrationRecord& record : m_state.calibration().log().history()) {
        m_history->addItem(record.describe());
    }
    if (m_history->count() == 0) {
        m_history->addItem(QStringLiteral("No calibrations yet"));
    }
}

} // namespace kavro::ui
