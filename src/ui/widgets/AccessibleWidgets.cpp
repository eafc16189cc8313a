#include "ui/widgets/AccessibleWidgets.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QWidget>

namespace kavro::ui {

namespace {

QAccessibleInterface* accessibleFor(const QString& className, QObject* object) {
    auto* widget = qobject_cast<QWidget*>(object);
    if (!widget) {
        return nullptr;
    }
    if (className == QLatin1String("kavro::ui::SymbolLabel")) {
        return new QAccessibleWidget(widget, QAccessible::StaticText);
    }
    if (className == QLatin1String("kavro::ui::DoseBar")) {
        return new QAccessibleWidget(widget, QAccessible::ProgressBar);
    }
    if (className == QLatin1String("kavro::ui::BusyIndicator")) {
        return new QAccessibleWidget(widget, QAccessible::Animation);
    }
    if (className == QLatin1String("kavro::ui::CorrectionCurveView") ||
        className == QLatin1String("kavro::ui::WeightingCurvesView")) {
        return new QAccessibleWidget(widget, QAccessible::Chart);
    }
    return nullptr;
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
