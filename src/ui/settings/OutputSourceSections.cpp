// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/settings/OutputSourceSections.h"

#include "ui/settings/MeasurementStatus.h"
#include "ui/settings/OutputSourcePresenter.h"
#include "ui/style/TextStyle.h"
#include "ui/widgets/ButtonLook.h"
#include "ui/widgets/FormSection.h"
#include "ui/widgets/RefreshPacer.h"
#include "ui/widgets/SymbolLabel.h"
#include "ui/widgets/WrappedText.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalBlocker>
#include <QVBoxLayout>

namespace kavro::ui {

namespace {

using SensitivityUnit = models::OutputDataSheet::SensitivityUnit;
using LevelUnit = models::OutputDataSheet::LevelUnit;

constexpr int kNumberFieldWidth = 90;

QLineEdit* numberField(QWidget* parent, const char* objectName, const QString& spokenName,
                       const QString& placeholder) {
    auto* field = new QLineEdit(parent);
    field->setObjectName(QLatin1String(objectName));
    field->setAccessibleName(spokenName);
    field->setPlaceholderText(placeholder);
    field->setFixedWidth(kNumberFieldWidth);
    field->setAlignment(Qt::AlignRight);
    return field;
}

QComboBox* unitPicker(QWidget* parent, const char* objectName, const QString& spokenName,
                      const QStringList& units) {
    auto* combo = new QComboBox(parent);
    combo->setObjectName(QLatin1String(objectName));
    combo->setAccessibleName(spokenName);
    combo->addItems(units);
    return combo;
}

// A number field and what follows it (a unit or its picker), as the control of a row.
QWidget* fieldWithUnit(QWidget* parent, QLineEdit*& field, QWidget* unit, const char* objectName,
                       const QString& spokenName, const QString& placeholder) {
    auto* box = new QWidget(parent);
    auto* layout = new QHBoxLayout(box);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(6);
    field = numberField(box, objectName, spokenName, placeholder);
    layout->addStretch(1);
    layout->addWidget(field);
    unit->setParent(box);
    layout->addWidget(unit);
    return box;
}

QWidget* unitLabel(const QString& text) {
    auto* label = new WrappedText(text, ColourRole::secondary, QFont());
    label->setWordWrap(false);
    return label;
}

QPushButton* button(QWidget* parent, const char* objectName, const QString& text) {
    auto* created = new QPushButton(text, parent);
    created->setObjectName(QLatin1String(objectName));
    return created;
}

} // namespace

OutputSourceSections::OutputSourceSections(core::AppState& state, QWidget* parent)
    : QWidget(parent), m_presenter(new OutputSourcePresenter(state, this)) {
    setObjectName(QStringLiteral("outputSourceSections"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(18);
    buildSource(layout);
    buildProfile(layout);
    m_refreshPacer = new RefreshPacer(*this, [this] { apply(m_presenter->model()); });
    connect(m_presenter, &OutputSourcePresenter::changed, m_refreshPacer, &RefreshPacer::request);
    apply(m_presenter->model());
}

OutputSourceSections::~OutputSourceSections() = default;

void OutputSourceSections::refreshNow() {
    m_refreshPacer->refreshNow();
}

// ---- building ----

void OutputSourceSections::buildSource(QVBoxLayout* layout) {
    auto* section = new FormSection(QStringLiteral("Measure From"), this);
    section->setObjectName(QStringLiteral("measureFromSection"));
    m_source = new QComboBox(section);
    m_source->setObjectName(QStringLiteral("measureFromPicker"));
    m_source->addItem(QStringLiteral("Microphone"), static_cast<int>(models::MeasureFrom::microphone));
    m_source->addItem(QStringLiteral("Output"), static_cast<int>(models::MeasureFrom::output));
    m_source->addItem(QStringLiteral("Automatic"), static_cast<int>(models::MeasureFrom::automatic));
    section->addLabelledRow(QStringLiteral("Measure from"), m_source, "measureFromRow");
    connect(m_source, &QComboBox::activated, this, [this](int index) {
        m_presenter->selectSource(static_cast<models::MeasureFrom>(m_source->itemData(index).toInt()));
    });
    m_sourceCaption = WrappedText::caption(section, QString(), "measureFromCaption");
    section->addFooter(m_sourceCaption);
    layout->addWidget(section);
}

void OutputSourceSections::buildProfile(QVBoxLayout* layout) {
    auto* section = new FormSection(QStringLiteral("Output Profile"), this);
    section->setObjectName(QStringLiteral("outputProfileSection"));
    m_output = new QComboBox(section);
    m_output->setObjectName(QStringLiteral("profileOutputPicker"));
    m_output->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    section->addLabelledRow(QStringLiteral("Output"), m_output, "profileOutputRow");
    connect(m_output, &QComboBox::activated, this,
            [this](int index) { m_presenter->selectOutput(m_output->itemData(index).toString()); });

    m_reference = new SymbolLabel(section);
    m_reference->setObjectName(QStringLiteral("outputReference"));
    m_reference->setFont(fixedWidthFont(font(), TextStyle::body, QFont::Medium));
    m_reference->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    section->addLabelledRow(QStringLiteral("Level at full scale"), m_reference, "outputReferenceRow");
    QWidget* basisRow = section->addRowWidget("outputBasisRow");
    m_basis = WrappedText::caption(basisRow, QString(), "outputBasis");
    basisRow->layout()->addWidget(m_basis);

    buildTypedReference(section);
    buildDataSheet(section);
    buildMeasurement(section);

    section->addFooter(WrappedText::caption(
        section, QStringLiteral(
                     "The reference is the level a full-scale signal reaches at your ears with the output's "
                     "system volume at 100 %. Kavro sees the digital signal and the system volume only: a "
                     "volume knob on an analog interface, amplifier or speaker, turned after the profile "
                     "was set, is invisible to Kavro. Set the profile again after turning it.")));
    layout->addWidget(section);
}

void OutputSourceSections::buildTypedReference(FormSection* section) {
    QWidget* row = section->addRowWidget("typedReferenceRow");
    auto* words = new WrappedText(QStringLiteral("Known reference"), ColourRole::primary, font(), row);
    words->setWordWrap(false);
    row->layout()->addWidget(words);
    auto* box =
        fieldWithUnit(row, m_typedReference, unitLabel(QStringLiteral("dB SPL")), "typedReferenceField",
                      QStringLiteral("Known reference in dB SPL"), QStringLiteral("e.g. 104.5"));
    row->layout()->addWidget(box);
    QPushButton* applyButton = button(row, "applyReferenceButton", QStringLiteral("Apply"));
    applyButton->setAccessibleDescription(QStringLiteral("Store the typed reference"));
    row->layout()->addWidget(applyButton);
    const auto applyTyped = [this] {
        showResult(m_presenter->applyTypedReference(m_typedReference->text()));
    };
    connect(applyButton, &QPushButton::clicked, this, applyTyped);
    connect(m_typedReference, &QLineEdit::returnPressed, this, applyTyped);
}

void OutputSourceSections::buildDataSheet(FormSection* section) {
    m_sensitivityUnit = unitPicker(nullptr, "sensitivityUnitPicker", QStringLiteral("Sensitivity unit"),
                                   {QStringLiteral("dB SPL/mW"), QStringLiteral("dB SPL/V")});
    section->addLabelledRow(QStringLiteral("Headphone sensitivity"),
                            fieldWithUnit(section, m_sensitivity, m_sensitivityUnit, "sensitivityField",
                                          QStringLiteral("Headphone sensitivity"),
                                          QStringLiteral("e.g. 102")),
                            "sensitivityRow");
    QWidget* impedanceRow = section->addLabelledRow(
        QStringLiteral("Impedance"),
        fieldWithUnit(section, m_impedance, unitLabel(QStringLiteral("Ω")), "impedanceField",
                      QStringLiteral("Impedance in ohms"), QStringLiteral("e.g. 32")),
        "impedanceRow");
    connect(m_sensitivityUnit, &QComboBox::currentIndexChanged, impedanceRow,
            [impedanceRow](int index) { impedanceRow->setVisible(index == 0); });
    m_maximumOutputUnit =
        unitPicker(nullptr, "maximumOutputUnitPicker", QStringLiteral("Maximum output unit"),
                   {QStringLiteral("dBu"), QStringLiteral("V RMS")});
    section->addLabelledRow(QStringLiteral("Interface maximum output"),
                            fieldWithUnit(section, m_maximumOutput, m_maximumOutputUnit, "maximumOutputField",
                                          QStringLiteral("Interface maximum output"),
                                          QStringLiteral("e.g. 4")),
                            "maximumOutputRow");
    QWidget* row = section->addRowWidget("dataSheetRow");
    row->layout()->addWidget(
        WrappedText::caption(row, QStringLiteral("From the data sheets: the headphones' sensitivity "
                                                 "and the interface's output for a full-scale sine.")));
    QPushButton* calculate = button(row, "applyDataSheetButton", QStringLiteral("Calculate and Apply"));
    row->layout()->addWidget(calculate);
    connect(calculate, &QPushButton::clicked, this, &OutputSourceSections::applyDataSheet);
    m_result = WrappedText::caption(section, QString(), "outputProfileResult");
    section->addRow(m_result)->setVisible(false);
}

void OutputSourceSections::applyDataSheet() {
    const OutputSourcePresenter::DataSheetFields fields{
        m_sensitivity->text(),
        m_sensitivityUnit->currentIndex() == 0 ? SensitivityUnit::perMilliwatt : SensitivityUnit::perVolt,
        m_impedance->text(), m_maximumOutput->text(),
        m_maximumOutputUnit->currentIndex() == 0 ? LevelUnit::dbu : LevelUnit::voltsRms};
    showResult(m_presenter->applyDataSheet(fields));
}

void OutputSourceSections::showResult(const QString& text) {
    m_result->setTextIfChanged(text);
    m_result->setVisible(true);
}

void OutputSourceSections::buildMeasurement(FormSection* section) {
    QWidget* row = section->addRowWidget("outputMeasurementRow");
    auto* column = new QVBoxLayout;
    column->setSpacing(4);
    auto* line = new QHBoxLayout;
    line->setSpacing(6);
    m_measureButton = new QPushButton(row);
    m_measureButton->setObjectName(QStringLiteral("measureOutputButton"));
    ButtonLook::apply(m_measureButton, QStringLiteral("Measure with Microphone"),
                      QStringLiteral("mic.badge.plus"), ButtonLook::Tint::none);
    connect(m_measureButton, &QPushButton::clicked, m_presenter, &OutputSourcePresenter::measure);
    line->addWidget(m_measureButton);
    m_measurementStatus = new MeasurementStatus(QStringLiteral("outputMeasurement"),
                                                QStringLiteral("Output measurement progress"), row);
    line->addWidget(m_measurementStatus, 1);
    m_cancelButton = button(row, "cancelOutputMeasurementButton", QStringLiteral("Cancel"));
    connect(m_cancelButton, &QPushButton::clicked, m_presenter, &OutputSourcePresenter::cancelMeasurement);
    line->addWidget(m_cancelButton);
    m_dismissButton = button(row, "dismissOutputMeasurementButton", QStringLiteral("Dismiss"));
    connect(m_dismissButton, &QPushButton::clicked, m_presenter, &OutputSourcePresenter::dismissMeasurement);
    line->addWidget(m_dismissButton);
    line->addStretch(0);
    column->addLayout(line);
    column->addWidget(WrappedText::caption(
        row, QStringLiteral("For speakers: Kavro plays pink noise through this output and "
                            "reads the calibrated microphone at your listening position. "
                            "Set the output's system volume to 100 % first.")));
    static_cast<QHBoxLayout*>(row->layout())->addLayout(column, 1);

    QWidget* resetRow = section->addRowWidget("resetOutputProfileRow");
    m_resetButton = button(resetRow, "resetOutputProfileButton", QStringLiteral("Reset to Estimate"));
    connect(m_resetButton, &QPushButton::clicked, m_presenter, &OutputSourcePresenter::resetToEstimate);
    resetRow->layout()->addWidget(m_resetButton);
    static_cast<QHBoxLayout*>(resetRow->layout())->addStretch(1);
}

// ---- refreshing ----

void OutputSourceSections::apply(const OutputSourceModel& model) {
    if (m_shown && *m_shown == model) {
        return;
    }
    if (m_source->currentIndex() != model.selectedSource) {
        const QSignalBlocker blocker(m_source);
        m_source->setCurrentIndex(model.selectedSource);
    }
    m_sourceCaption->setTextIfChanged(model.sourceCaption);
    if (!m_shown || m_shown->outputs != model.outputs) {
        const QSignalBlocker blocker(m_output);
        m_output->clear();
        for (const DeviceChoice& choice : model.outputs) {
            m_output->addItem(choice.text, choice.uid);
        }
    }
    if (m_output->currentIndex() != model.selectedOutput) {
        const QSignalBlocker blocker(m_output);
        m_output->setCurrentIndex(model.selectedOutput);
    }
    m_reference->setText(model.reference);
    m_basis->setTextIfChanged(model.basis.text);
    m_basis->setColour(model.basis.colour);
    m_resetButton->setEnabled(model.canReset);
    applyMeasurement(model);
    m_shown = model;
}

void OutputSourceSections::applyMeasurement(const OutputSourceModel& model) {
    m_measureButton->setVisible(model.showsMeasure);
    m_measureButton->setEnabled(model.measureEnabled);
    m_cancelButton->setVisible(model.showsCancel);
    m_dismissButton->setVisible(model.showsDismiss);
    m_measurementStatus->show(model.measurementStatus, model.measurementSymbolName, model.progress);
}

} // namespace kavro::ui
