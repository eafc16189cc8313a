// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/LevelLine.h"

#include "models/NumberText.h"

#include <QJsonDocument>
#include <QJsonObject>

namespace kavro::cli {

namespace {

QString column(double value, int width) {
    return models::fixedText(value, 1).rightJustified(width);
}

} // namespace

void printLevelLine(QTextStream& out, bool json, double seconds, double dBA, double dBC, double peakDBA,
                    double peakDBC) {
    if (json) {
        const QJsonObject line{
            {"t", seconds}, {"dBA", dBA}, {"dBC", dBC}, {"peakDBA", peakDBA}, {"peakDBC", peakDBC}};
        out << QJsonDocument(line).toJson(QJsonDocument::Compact) << '\n';
        return;
    }
    out << column(seconds, 7) << " s  " << column(dBA, 6) << " dBA  " << column(dBC, 6) << " dBC   peak "
        << column(peakDBA, 6) << " dBA  " << column(peakDBC, 6) << " dBC\n";
}

} // namespace kavro::cli
