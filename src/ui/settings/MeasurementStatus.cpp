// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/settings/MeasurementStatus.h"

#include "ui/widgets/SymbolLabel.h"
#include "ui/widgets/WrappedText.h"

#include <QHBoxLayout>
#include <QProgressBar>

namespace kavro::ui {

namespace {

constexpr int kProgressSteps = 1000;

} // namespace

MeasurementStatus::MeasurementStatus(const QString& name, const QString& spokenProgressName, QWidget* parent)
    : QWidget(parent) {
    auto* line = new QHBoxLayout(this);
    line->setContentsMargins(0, 0, 0, 0);
    line->setSpacing(6);
    m_symbol = new SymbolLabel(this);
    m_symbol->setObjectName(name + QStringLiteral("Symbol"));
    line->addWidget(m_symbol);
    m_status = WrappedText::caption(this, QString());
    m_status->setObjectName(name + QStringLiteral("Status"));
    line->addWidget(m_status, 1);
    m_progress = new QProgressBar(this);
    m_progress->setObjectName(name + QStringLiteral("Progress"));
    m_progress->setRange(0, kProgressSteps);
    m_progress->setTextVisible(false);
    m_progress->setMaximumHeight(8);
    m_progress->setAccessibleName(spokenProgressName);
    line->addWidget(m_progress, 1);
}

void MeasurementStatus::show(const std::optional<SettingsText>& status, const QString& spokenSymbolName,
                             std::optional<double> progress) {
    const bool symbol = status && !status->symbol.isEmpty();
    m_symbol->setVisible(symbol);
    if (symbol) {
        m_symbol->setSymbol(status->symbol);
        m_symbol->setColour(status->symbolColour.value_or(status->colour));
        m_symbol->setSpokenName(spokenSymbolName);
    }
    m_status->setVisible(status.has_value());
    if (status) {
        m_status->setTextIfChanged(status->text);
        m_status->setColour(status->colour);
    }
    m_progress->setVisible(progress.has_value());
    if (progress) {
        m_progress->setValue(static_cast<int>(*progress * kProgressSteps));
    }
}

} // namespace kavro::ui
