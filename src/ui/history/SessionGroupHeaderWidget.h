// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "ui/history/HistoryModel.h"

#include <QWidget>

namespace kavro::ui {

// The header of one day in the session list: the day, and the day's dose in its band
// colour at the right.
class SessionGroupHeaderWidget : public QWidget {
    Q_OBJECT
public:
    explicit SessionGroupHeaderWidget(QWidget* parent = nullptr);

    void setGroup(const QString& title, const QString& doseText, HistoryColour doseColour);
    const QString& title() const { return m_title; }
    const QString& doseText() const { return m_doseText; }
    HistoryColour doseColour() const { return m_doseColour; }

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QString m_title;
    QString m_doseText;
    HistoryColour m_doseColour = HistoryColour::green;
};

} // namespace kavro::ui
