// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "ui/widgets/FormSection.h"

#include <QList>

class QCheckBox;
class QComboBox;
class QTimeEdit;

namespace kavro::core {
class AppState;
}

namespace kavro::ui {

// The "Exposure" section of the General tab: which dose warns, when the user's day
// starts, and which other criteria the panel shows.
class ExposureSettings : public FormSection {
    Q_OBJECT
public:
    static const QString kWarnByLabel;
    static const QString kDayStartLabel;
    static const QString kShowLabel;

    explicit ExposureSettings(core::AppState& state, QWidget* parent = nullptr);

private:
    void buildWarnBy();
    void buildDayStart();
    void buildVisibleCriteria();
    // Shows the state's values, after a change here or anywhere else.
    void showValues();
    void storeVisibleCriteria();

    core::AppState& m_state;
    QComboBox* m_warnBy = nullptr;
    QTimeEdit* m_dayStart = nullptr;
    QList<QCheckBox*> m_criteria;
};

} // namespace kavro::ui
