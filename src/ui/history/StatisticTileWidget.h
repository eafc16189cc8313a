// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "ui/presentation/HistoryTiles.h"

#include <QWidget>

class QToolButton;

namespace kavro::ui {

class InfoPopover;

// One statistics tile of the history window: its label with an info button, and its
// value on one line in the value's colour, on a faint grey ground. The info button
// opens the tile's explanation. A screen reader hears the label and value together.
class StatisticTileWidget : public QWidget {
    Q_OBJECT
public:
    explicit StatisticTileWidget(QWidget* parent = nullptr);

    void setTile(const StatisticTile& tile);
    const StatisticTile& tile() const { return m_tile; }
    // Opens the explanation under the info button.
    void openInfo();
    // The explanation; null until first opened.
    InfoPopover* popover() const { return m_popover; }

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void placeInfoButton();
    void tintInfoButton();
    QFont labelFont() const;
    QFont valueFont() const;

    StatisticTile m_tile;
    QToolButton* m_infoButton = nullptr;
    InfoPopover* m_popover = nullptr;
};

} // namespace kavro::ui
