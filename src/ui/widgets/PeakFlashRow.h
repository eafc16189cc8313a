// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "ui/widgets/SymbolLabel.h"

#include <QVariantAnimation>

namespace kavro::ui {

// A label that flashes in and fades out: it appears over 0.15 s, fading in while
// growing from 90 % of its size, and leaves over 0.5 s, fading out.
class PeakFlashRow : public SymbolLabel {
    Q_OBJECT
public:
    static constexpr int kInMilliseconds = 150;
    static constexpr int kOutMilliseconds = 500;
    static constexpr double kStartScale = 0.9;

    explicit PeakFlashRow(QWidget* parent = nullptr);

    void setShown(bool shown);
    bool isShown() const { return m_shown; }
    // 0 (gone) to 1 (fully shown).
    double progress() const { return m_progress; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QVariantAnimation m_animation;
    bool m_shown = false;
    double m_progress = 0;
};

} // namespace kavro::ui
