// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/settings/WorkstationList.h"

#include "services/DAWDetectionService.h"

#include <algorithm>
#include <tuple>

namespace kavro::ui {

QList<WorkstationList::Row> WorkstationList::rows(const services::DAWDetectionService& detection) {
    QList<Row> result;
    const auto& watched = detection.watchedBundleIDs();
    for (auto it = watched.constBegin(); it != watched.constEnd(); ++it) {
        result.append({it.value(), it.key(), !services::DAWDetectionService::isBuiltIn(it.key())});
    }
    // The table has no order of its own; entries of the same name follow their ids.
    std::sort(result.begin(), result.end(), [](const Row& first, const Row& second) {
        return std::tie(first.name, first.applicationId) < std::tie(second.name, second.applicationId);
    });
    return result;
}

bool WorkstationList::canAdd(const QString& applicationId, const QString& name) {
    return !applicationId.isEmpty() && !name.isEmpty();
}

bool WorkstationList::add(services::DAWDetectionService& detection, const QString& applicationId,
                          const QString& name) {
    return canAdd(applicationId, name) && detection.addWatchedApplication(applicationId, name);
}

void WorkstationList::remove(services::DAWDetectionService& detection, const QString& applicationId) {
    detection.removeWatchedApplication(applicationId);
}

} // namespace kavro::ui
