// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/settings/SafetyTab.h"

#include "ui/settings/SafetyReference.h"
#include "ui/settings/SettingCheckBox.h"
#include "ui/settings/WeightingCurvesView.h"
#include "ui/style/Colours.h"
#include "ui/style/TextStyle.h"
#include "ui/widgets/ColouredRow.h"
#include "ui/widgets/FormSection.h"
#include "ui/widgets/SymbolLabel.h"
#include "ui/widgets/WrappedText.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

namespace kavro::ui {

namespace {

constexpr int kBandDotSize = 10;

template <class... Handlers> struct Overloaded : Handlers... { using Handlers::operator()...; };
template <class... Handlers> Overloaded(Handlers...) -> Overloaded<Handlers...>;

// The rows of a section as its blocks fill them. A paragraph joins the row of the
// sub-heading, switch or paragraph before it; everything else starts a row of its own.
struct SectionRows {
    SectionRows(FormSection* formSection, const QFont& base)
        : section(formSection), small(styledFont(base, TextStyle::small)),
          bold(styledFont(base, TextStyle::small, QFont::Bold)),
          digits(fixedWidthFont(base, TextStyle::small)) {}

    void newRow(bool joinsParagraphs) {
        row = section->addRowWidget();
        column = new QVBoxLayout;
        column->setSpacing(4);
        static_cast<QHBoxLayout*>(row->layout())->addLayout(column, 1);
        paragraphJoins = joinsParagraphs;
    }

    // A label on the left (after `before`, if given) and its value on the right.
    void valueRow(const QString& label, const QString& value, QWidget* before = nullptr) {
        newRow(false);
        auto* line = new QHBoxLayout;
        line->setSpacing(8);
        if (before) {
            line->addWidget(before);
        }
        line->addWidget(new WrappedText(label, ColourRole::primary, small, row), 1);
        auto* valueLabel = new SymbolLabel(value, ColourRole::secondary, row);
        valueLabel->setFont(digits);
        line->addWidget(valueLabel);
        column->addLayout(line);
    }

    FormSection* section;
    const QFont small;
    const QFont bold;
    const QFont digits;
    QWidget* row = nullptr;
    QVBoxLayout* column = nullptr;
    bool paragraphJoins = false;
};

} // namespace

SafetyTab::SafetyTab(core::AppState& state, QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("safetyTab"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(16, 14, 16, 16);
    layout->setSpacing(18);
    for (const ReferenceSection& section : SafetyReference::sections()) {
        layout->addWidget(buildSection(state, section));
    }
    layout->addStretch(1);
}

FormSection* SafetyTab::buildSection(core::AppState& state, const ReferenceSection& content) {
    auto* section = new FormSection(content.heading, this);
    SectionRows rows(section, font());
    for (const reference::Block& block : content.blocks) {
        std::visit(Overloaded{
                       [&](const reference::Paragraph& paragraph) {
                           if (!rows.paragraphJoins) {
                               rows.newRow(true);
                           }
                           rows.column->addWidget(
                               new WrappedText(paragraph.text, ColourRole::primary, rows.small, rows.row));
                       },
                       [&](const reference::Subheading& subheading) {
                           rows.newRow(true);
                           rows.column->addWidget(
                               new WrappedText(subheading.text, ColourRole::primary, rows.bold, rows.row));
                       },
                       [&](const reference::ValueRow& value) { rows.valueRow(value.label, value.value); },
                       [&](const reference::BandRow& band) {
                           auto* dot = new SymbolLabel(section);
                           dot->setSymbol(QStringLiteral("circle.fill"));
                           dot->setColour(bandRole(band.level));
                           dot->setSymbolSize(kBandDotSize);
                           dot->setSpokenName(ColouredRow::colourName(bandRole(band.level)));
                           rows.valueRow(band.label, band.range, dot);
                           dot->setParent(rows.row);
                       },
                       [&](const reference::ColouredRow& coloured) {
                           rows.newRow(false);
                           rows.column->addWidget(
                               new ColouredRow(coloured.colour, coloured.label, coloured.text, rows.row));
                       },
                       [&](const reference::WeightingImage&) {
                           rows.newRow(false);
                           m_weightingCurves = new WeightingCurvesView(rows.row);
                           m_weightingCurves->setObjectName(QStringLiteral("weightingCurves"));
                           rows.column->addWidget(m_weightingCurves);
                       },
                       [&](const reference::Switch& toggle) {
                           rows.newRow(true);
                           rows.column->addWidget(new SettingCheckBox(state, toggle.setting, rows.row));
                       },
                   },
                   block);
    }
    return section;
}

} // namespace kavro::ui
