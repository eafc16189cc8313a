// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "ui/settings/SettingsText.h"

#include <QWidget>

#include <optional>

class QProgressBar;

namespace kavro::ui {

class SymbolLabel;
class WrappedText;

// Where a measurement of the settings window says how it goes: a symbol, its words and
// a progress bar, each shown only while it has something to show. The parts are named
// after `name` ("measurement": "measurementSymbol", "measurementStatus",
// "measurementProgress") so that tests and screen readers find them.
class MeasurementStatus : public QWidget {
    Q_OBJECT
public:
    MeasurementStatus(const QString& name, const QString& spokenProgressName, QWidget* parent = nullptr);

    // The symbol is read out as `spokenSymbolName`.
    void show(const std::optional<SettingsText>& status, const QString& spokenSymbolName,
              std::optional<double> progress);

private:
    SymbolLabel* m_symbol = nullptr;
    WrappedText* m_status = nullptr;
    QProgressBar* m_progress = nullptr;
};

} // namespace kavro::ui
