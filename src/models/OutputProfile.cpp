// SPDX-License-Identifier: GPL-3.0-or-later
#include "models/OutputProfile.h"

#include "dsp/OutputReferenceMath.h"
#include "models/JsonFields.h"
#include "models/NumberText.h"

#include <QJsonArray>
#include <QSet>

#include <array>
#include <cmath>

namespace kavro::models {

namespace {

using Basis = OutputProfile::Basis;

struct BasisName {
    Basis basis;
    QLatin1StringView stored;
    const char* spoken;
};

constexpr std::array kBasisNames{
    BasisName{Basis::estimated, QLatin1StringView("estimated"), "estimated"},
    BasisName{Basis::dataSheet, QLatin1StringView("dataSheet"), "data sheet"},
    BasisName{Basis::typed, QLatin1StringView("typed"), "typed"},
    BasisName{Basis::measured, QLatin1StringView("measured"), "measured"},
};

const BasisName& nameOf(Basis basis) {
    for (const BasisName& name : kBasisNames) {
        if (name.basis == basis) {
            return name;
        }
    }
    return kBasisNames.front();
}

} // namespace

QString OutputProfile::basisText(Basis basis) {
    return QString::fromLatin1(nameOf(basis).spoken);
}

std::optional<QString> OutputProfile::referenceProblem(double fullScaleDbSpl) {
    using namespace dsp::outputReference;
    if (std::isfinite(fullScaleDbSpl) && fullScaleDbSpl >= kMinimumReferenceDbSpl &&
        fullScaleDbSpl <= kMaximumReferenceDbSpl) {
        return std::nullopt;
    }
    return QStringLiteral("a full-scale signal cannot produce %1 dB SPL: the reference must lie between "
                          "%2 and %3 dB SPL")
        .arg(fixedText(fullScaleDbSpl, 1), fixedText(kMinimumReferenceDbSpl, 0),
             fixedText(kMaximumReferenceDbSpl, 0));
}

QJsonObject OutputProfile::toJson() const {
    return {{"key", key},
            {"displayName", displayName},
            {"fullScaleDbSpl", fullScaleDbSpl},
            {"basis", nameOf(basis).stored.toString()},
            {"setAt", setAt.toUTC().toString(Qt::ISODateWithMs)}};
}

std::optional<OutputProfile> OutputProfile::fromJson(const QJsonObject& object) {
    JsonFields fields(object);
    const auto key = fields.string(QLatin1StringView("key"));
    const auto displayName = fields.string(QLatin1StringView("displayName"));
    const auto reference = fields.number(QLatin1StringView("fullScaleDbSpl"));
    const auto basisName = fields.string(QLatin1StringView("basis"));
    const auto setAt = fields.date(QLatin1StringView("setAt"));
    if (fields.failed() || referenceProblem(*reference)) {
        return std::nullopt;
    }
    for (const BasisName& name : kBasisNames) {
        if (*basisName == name.stored) {
            return OutputProfile{*key, *displayName, *reference, name.basis, *setAt};
        }
    }
    return std::nullopt;
}

QByteArray OutputProfile::encodeList(const QList<OutputProfile>& profiles) {
    QJsonArray array;
    for (const OutputProfile& profile : profiles) {
        array.append(profile.toJson());
    }
    return QJsonDocument(array).toJson(QJsonDocument::Compact);
}

QList<OutputProfile> OutputProfile::decodeList(const QByteArray& data) {
    const auto parsed = JsonFields::parseDocument(data);
    const auto* document = std::get_if<QJsonDocument>(&parsed);
    QList<OutputProfile> profiles;
    if (!document || !document->isArray()) {
        return profiles;
    }
    QSet<QString> keys;
    for (const auto& value : document->array()) {
        auto profile = value.isObject() ? fromJson(value.toObject()) : std::nullopt;
        if (profile && !keys.contains(profile->key)) {
            keys.insert(profile->key);
            profiles.append(std::move(*profile));
        }
    }
    return profiles;
}

} // namespace kavro::models
