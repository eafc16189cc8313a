// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/widgets/AccessibleWidgets.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QHash>
#include <QWidget>

namespace kavro::ui {

namespace {

QAccessibleInterface* accessibleFor(const QString& className, QObject* object) {
    auto* widget = qobject_cast<QWidget*>(object);
    if (!widget) {
        return nullptr;
    }
    static const QHash<QString, QAccessible::Role> roles{
        {QStringLiteral("kavro::ui::SymbolLabel"), QAccessible::StaticText},
        {QStringLiteral("kavro::ui::DoseBar"), QAccessible::ProgressBar},
        {QStringLiteral("kavro::ui::WeekdayHeader"), QAccessible::StaticText},
        {QStringLiteral("kavro::ui::CalendarDayCell"), QAccessible::Cell},
        {QStringLiteral("kavro::ui::StatisticTileWidget"), QAccessible::StaticText},
        {QStringLiteral("kavro::ui::CumulativeBar"), QAccessible::ProgressBar},
        {QStringLiteral("kavro::ui::DailyChart"), QAccessible::Chart},
        {QStringLiteral("kavro::ui::SessionGroupHeaderWidget"), QAccessible::StaticText},
        {QStringLiteral("kavro::ui::SessionRowWidget"), QAccessible::ListItem},
        {QStringLiteral("kavro::ui::BusyIndicator"), QAccessible::Animation},
        {QStringLiteral("kavro::ui::CorrectionCurveView"), QAccessible::Chart},
        {QStringLiteral("kavro::ui::WeightingCurvesView"), QAccessible::Chart},
    };
    const auto role = roles.constFind(className);
    return role == roles.constEnd() ? nullptr : new QAccessibleWidget(widget, *role);
}

} // namespace

void installAccessibleWidgets() {
    static const bool installed = [] {
        QAccessible::installFactory(accessibleFor);
        return true;
    }();
    (void)installed;
}

} // namespace kavro::ui
