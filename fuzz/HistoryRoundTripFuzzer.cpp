// SPDX-License-Identifier: GPL-3.0-or-later
// The session history file from anywhere: whatever decodes can be written again, and
// what is written reads back as the same sessions and writes as the same bytes.
#include "fuzz/Require.h"
#include "services/HistoryFile.h"

#include <cmath>
#include <cstddef>
#include <cstdint>

using kavro::fuzz::require;
using kavro::models::Session;
using kavro::models::SPLReading;
namespace historyfile = kavro::services::historyfile;

namespace {

// The file keeps whole seconds, so a date read with a fraction comes back without it.
bool sameSecond(const QDateTime& read, const QDateTime& reread) {
    const auto wholeSeconds = [](const QDateTime& moment) {
        const qint64 milliseconds = moment.toMSecsSinceEpoch();
        return milliseconds / 1000 - (milliseconds % 1000 < 0 ? 1 : 0);
    };
    return wholeSeconds(read) == wholeSeconds(reread) && reread.time().msec() == 0;
}

bool sameReading(const SPLReading& read, const SPLReading& reread) {
    SPLReading aligned = read;
    aligned.timestamp = reread.timestamp;
    return sameSecond(read.timestamp, reread.timestamp) && aligned == reread;
}

bool sameSession(const Session& read, const Session& reread) {
    if (!sameSecond(read.startDate, reread.startDate) ||
        read.endDate.has_value() != reread.endDate.has_value() ||
        (read.endDate && !sameSecond(*read.endDate, *reread.endDate)) ||
        read.readings.size() != reread.readings.size()) {
        return false;
    }
    for (qsizetype index = 0; index < read.readings.size(); ++index) {
        if (!sameReading(read.readings[index], reread.readings[index])) {
            return false;
        }
    }
    Session aligned = read;
    aligned.startDate = reread.startDate;
    aligned.endDate = reread.endDate;
    aligned.readings = reread.readings;
    return aligned == reread;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    const auto decoded = historyfile::decode(bytes);
    const auto* contents = std::get_if<historyfile::Contents>(&decoded);
    if (!contents) {
        require(!std::get<QString>(decoded).isEmpty(), "a refused history says why");
        return 0;
    }
    const QList<Session>* sessions = &contents->sessions;
    for (const Session& session : *sessions) {
        require(std::isfinite(session.averageSPL) && std::isfinite(session.peakSPL) &&
                    std::isfinite(session.doseAccumulated) && std::isfinite(session.peakDBC),
                "read statistics are finite");
    }
    const auto encoded = historyfile::encode(*sessions);
    const auto* written = std::get_if<QByteArray>(&encoded);
    require(written != nullptr, "a history that reads can be written again");

    const auto again = historyfile::decode(*written);
    const auto* rereadContents = std::get_if<historyfile::Contents>(&again);
    require(rereadContents != nullptr && rereadContents->leftOut.isEmpty(),
            "a written history reads back whole");
    const QList<Session>* reread = &rereadContents->sessions;
    require(reread->size() == sessions->size(), "every session reads back");
    for (qsizetype index = 0; index < sessions->size(); ++index) {
        require(sameSession((*sessions)[index], (*reread)[index]), "a session reads back as itself");
    }
    const auto rewritten = historyfile::encode(*reread);
    require(std::holds_alternative<QByteArray>(rewritten) && std::get<QByteArray>(rewritten) == *written,
            "a written history writes again byte for byte");
    return 0;
}
