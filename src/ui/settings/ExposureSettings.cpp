// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/settings/ExposureSettings.h"

#include "core/AppState.h"
#include "core/WarningDose.h"
#include "models/CriteriaText.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QSignalBlocker>
#include <QTimeEdit>

#include <array>
#include <utility>

namespace kavro::ui {

using core::WarningDose;
using dsp::criteria::Criterion;
namespace text = models::criteriaText;

const QString ExposureSettings::kWarnByLabel = QStringLiteral("Warn by");
const QString ExposureSettings::kDayStartLabel = QStringLiteral("My day starts at");
const QString ExposureSettings::kShowLabel =
    QStringLiteral("Also show on the panel (the weekly dose is always there):");

namespace {

const std::array<std::pair<WarningDose::Choice, const char*>, 3> kWarnByChoices{{
    {WarningDose::Choice::nioshDaily, "NIOSH daily dose"},
    {WarningDose::Choice::oshaPelDaily, "OSHA PEL daily dose"},
    {WarningDose::Choice::whoWeekly, "WHO weekly dose"},
}};

// The criteria the panel can show beside the dose that warns; the weekly dose is
// always there.
const std::array<Criterion, 4> kShowable{Criterion::nioshRel, Criterion::oshaPel,
                                         Criterion::oshaHearingConservation, Criterion::euDailyExposure};

constexpr int kMinutesPerHour = 60;

} // namespace

ExposureSettings::ExposureSettings(core::AppState& state, QWidget* parent)
    : FormSection(QStringLiteral("Exposure"), parent), m_state(state) {
    setObjectName(QStringLiteral("exposureSection"));
    buildWarnBy();
    buildDayStart();
    buildVisibleCriteria();
    showValues();
    connect(&m_state, &core::AppState::settingChanged, this, &ExposureSettings::showValues);
}

void ExposureSettings::buildWarnBy() {
    m_warnBy = new QComboBox(this);
    m_warnBy->setObjectName(QStringLiteral("warnBy"));
    for (const auto& [choice, label] : kWarnByChoices) {
        m_warnBy->addItem(QString::fromUtf8(label), WarningDose::nameOf(choice));
    }
    connect(m_warnBy, &QComboBox::activated, this,
            [this](int index) { m_state.setWarnBy(m_warnBy->itemData(index).toString()); });
    addLabelledRow(kWarnByLabel, m_warnBy);
}

void ExposureSettings::buildDayStart() {
    m_dayStart = new QTimeEdit(this);
    m_dayStart->setObjectName(QStringLiteral("dayStart"));
    m_dayStart->setDisplayFormat(QStringLiteral("HH:mm"));
    connect(m_dayStart, &QTimeEdit::timeChanged, this, [this](QTime time) {
        const std::int64_t minutes = time.hour() * kMinutesPerHour + time.minute();
        if (minutes != m_state.dayStartMinutes()) {
            m_state.setDayStartMinutes(minutes);
        }
    });
    addLabelledRow(kDayStartLabel, m_dayStart);
    // The field inside the time editor is what a screen reader lands on.
    if (auto* field = m_dayStart->findChild<QLineEdit*>()) {
        field->setAccessibleName(kDayStartLabel);
    }
}

void ExposureSettings::buildVisibleCriteria() {
    QWidget* row = addRowWidget("visibleCriteria");
    auto* column = new QVBoxLayout;
    column->setSpacing(4);
    column->addWidget(new QLabel(kShowLabel, row));
    auto* grid = new QGridLayout;
    grid->setHorizontalSpacing(12);
    for (const Criterion criterion : kShowable) {
        auto* box = new QCheckBox(text::title(criterion), row);
        box->setProperty("criterion", static_cast<int>(criterion));
        connect(box, &QCheckBox::clicked, this, &ExposureSettings::storeVisibleCriteria);
        const auto index = static_cast<int>(m_criteria.size());
        grid->addWidget(box, index / 2, index % 2);
        m_criteria.append(box);
    }
    column->addLayout(grid);
    static_cast<QHBoxLayout*>(row->layout())->addLayout(column, 1);
}

void ExposureSettings::storeVisibleCriteria() {
    QList<Criterion> shown;
    for (const QCheckBox* box : std::as_const(m_criteria)) {
        if (box->isChecked()) {
            shown.append(static_cast<Criterion>(box->property("criterion").toInt()));
        }
    }
    m_state.setVisibleCriteria(text::listJson(shown));
}

void ExposureSettings::showValues() {
    const QSignalBlocker warnByBlocker(m_warnBy);
    const QString chosen = WarningDose::nameOf(WarningDose::choiceNamed(m_state.warnBy()));
    m_warnBy->setCurrentIndex(m_warnBy->findData(chosen));
    const QSignalBlocker dayStartBlocker(m_dayStart);
    const auto minutes = static_cast<int>(m_state.dayStartMinutes());
    m_dayStart->setTime(QTime(minutes / kMinutesPerHour % 24, minutes % kMinutesPerHour));
    const QList<Criterion> shown = text::parseList(m_state.visibleCriteria());
    for (QCheckBox* box : std::as_const(m_criteria)) {
        const QSignalBlocker boxBlocker(box);
        box->setChecked(shown.contains(static_cast<Criterion>(box->property("criterion").toInt())));
    }
}

} // namespace kavro::ui
