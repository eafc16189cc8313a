#include "ui/presentation/HistoryGroupHeader.h"

namespace kavro::ui {

HistoryGroupHeader HistoryGroupHeader::of(const services::HistoryRangeStatistics::DayGroup& group,
                                          const QLocale& locale) {
    return {locale.toString(group.day, QStringLiteral("MMM d, yyyy")), group.totalDose,
            doseColour(group.totalDose)};
}

} // namespace kavro::ui
