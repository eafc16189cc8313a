// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QTimer>
#include <QWidget>

namespace kavro::ui {

// A small spinning arc for work whose length is unknown. It turns only while it is
// shown, so a hidden indicator costs nothing.
class BusyIndicator : public QWidget {
    Q_OBJECT
public:
    static constexpr int kSize = 14;
    static constexpr int kFrameMilliseconds = 60;

    explicit BusyIndicator(QWidget* parent = nullptr);

    QSize sizeHint() const override { return {kSize, kSize}; }
    bool isSpinning() const { return m_timer.isActive(); }

protected:
    void paintEvent(QPaintEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    QTimer m_timer;
    int m_angle = 0;
};

} // namespace kavro::ui
