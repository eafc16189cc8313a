// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QList>
#include <QString>

namespace kavro::services {
class DAWDetectionService;
}

namespace kavro::ui {

// The DAWs tab without widgets: the watched applications as rows, and the rules for
// adding and removing the user's own entries.
class WorkstationList {
public:
    struct Row {
        QString name;
        QString applicationId;
        bool removable = false; // the user's own entries only

        friend bool operator==(const Row&, const Row&) = default;
    };

    // Sorted by name; entries of the same name keep the order of their ids, so the
    // list never reorders itself between two looks.
    static QList<Row> rows(const services::DAWDetectionService& detection);
    // Both fields must hold something; the texts are taken as typed.
    static bool canAdd(const QString& applicationId, const QString& name);
    // Adds (or renames) the entry; false when a field is empty.
    static bool add(services::DAWDetectionService& detection, const QString& applicationId,
                    const QString& name);
    static void remove(services::DAWDetectionService& detection, const QString& applicationId);
};

} // namespace kavro::ui
