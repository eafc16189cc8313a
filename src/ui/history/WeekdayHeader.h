// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QWidget>

#include <array>

namespace kavro::ui {

// The row of weekday names over the day grid, each centred over its column.
class WeekdayHeader : public QWidget {
    Q_OBJECT
public:
    explicit WeekdayHeader(QWidget* parent = nullptr);

    void setNames(const std::array<QString, 7>& names);

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    std::array<QString, 7> m_names;
};

} // namespace kavro::ui
