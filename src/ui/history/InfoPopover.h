// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "ui/presentation/HistoryTiles.h"

#include <QFrame>

class QLabel;
class QVBoxLayout;

namespace kavro::ui {

// The explanation of a statistics tile, in a small window that opens under the tile's
// info button and closes when the user clicks elsewhere or presses Escape: a title, a
// paragraph and one row per colour the value can take.
class InfoPopover : public QFrame {
    Q_OBJECT
public:
    static constexpr int kWidth = 300;

    explicit InfoPopover(QWidget* parent = nullptr);

    void setInfo(const StatisticInfo& info);
    const StatisticInfo& info() const { return m_info; }
    // Opens with its top left corner at `globalPosition`, moved as needed to stay on the
    // screen.
    void popUp(const QPoint& globalPosition);

protected:
    void changeEvent(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    void build();
    void tintDetail();

    StatisticInfo m_info;
    QLabel* m_title = nullptr;
    QLabel* m_detail = nullptr;
    QVBoxLayout* m_thresholds = nullptr;
};

} // namespace kavro::ui
