// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QWidget>

namespace kavro::ui {

// How much of the range's budget of 100 % a day the total dose fills: a caption line
// ("Cumulative", "231.0%  of 7×100%") over a 7-pixel bar in the accent colour.
class CumulativeBar : public QWidget {
    Q_OBJECT
public:
    static constexpr int kBarHeight = 7;

    explicit CumulativeBar(QWidget* parent = nullptr);

    void setContent(const QString& label, const QString& text, double fraction);
    const QString& text() const { return m_text; }
    double fraction() const { return m_fraction; }

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QString m_label;
    QString m_text;
    double m_fraction = 0;
};

} // namespace kavro::ui
