// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QWidget>

namespace kavro::ui {

// A thin rule between sections, a faint shade of the text colour: horizontal between
// stacked sections, vertical between side-by-side panels.
class Divider : public QWidget {
    Q_OBJECT
public:
    explicit Divider(QWidget* parent = nullptr);
    Divider(Qt::Orientation orientation, QWidget* parent);

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    Qt::Orientation m_orientation = Qt::Horizontal;
};

} // namespace kavro::ui
