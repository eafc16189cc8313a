// SPDX-License-Identifier: GPL-3.0-or-later
// The preferences file, as another version, a hand edit or a damaged disk may leave
// it: every stored value read through the typed reads, every value that reads back
// written again unchanged, and the services that restore their state from it.
#include "fuzz/Require.h"
#include "platform/SettingKey.h"
#include "platform/Settings.h"
#include "platform/qt/SettingsPreferencesStore.h"
#include "platform/qt/TextIniFormat.h"
#include "platform/testing/ManualClock.h"
#include "services/CalibrationProfileStore.h"
#include "services/DoseCalculator.h"
#include "services/MicFrequencyCorrection.h"

#include <QFile>
#include <QSettings>
#include <QTemporaryDir>
#include <QTimeZone>

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>

using kavro::fuzz::require;
using kavro::platform::PreferencesStore;
using kavro::platform::Setting;
using kavro::platform::SettingKey;
using kavro::platform::Settings;
using kavro::platform::SettingsPreferencesStore;
using kavro::platform::TextIniFormat;

namespace {

std::unique_ptr<QTemporaryDir> folder;

bool sameValue(const PreferencesStore::Value& a, const PreferencesStore::Value& b) {
    if (a.index() != b.index()) {
        return false;
    }
    if (const double* number = std::get_if<double>(&a)) {
        // Bit for bit: NaN equals itself here, and -0 differs from 0.
        const double other = std::get<double>(b);
        return std::memcmp(number, &other, sizeof other) == 0;
    }
    if (const QDateTime* date = std::get_if<QDateTime>(&a)) {
        const QDateTime& other = std::get<QDateTime>(b);
        return date->isValid() == other.isValid() &&
               (!date->isValid() || date->toMSecsSinceEpoch() == other.toMSecsSinceEpoch());
    }
    return a == b;
}

// What the store hands out, it must write back as the same value.
void requireRoundTrip(const PreferencesStore::Value& value) {
    const auto reread = SettingsPreferencesStore::decode(SettingsPreferencesStore::encode(value));
    require(reread && sameValue(*reread, value), "a value read from the store is written back unchanged");
}

// The typed reads of one stored name, as every type a setting can have.
void readTyped(const PreferencesStore& store, QLatin1String name) {
    const auto key = SettingKey::selectedDeviceUID; // only the name matters to a read
    const auto number = Settings::storedIn(store, Setting<double>{key, name});
    require(!number || std::isfinite(*number), "a stored number reads as finite");
    const auto date = Settings::storedIn(store, Setting<QDateTime>{key, name});
    require(!date || date->isValid(), "a stored date reads as valid");
    Settings::storedIn(store, Setting<QString>{key, name});
    Settings::storedIn(store, Setting<bool>{key, name});
    Settings::storedIn(store, Setting<std::int64_t>{key, name});
    Settings::storedIn(store, Setting<QByteArray>{key, name});
}

void restoreServices(SettingsPreferencesStore& store) {
    kavro::services::MicFrequencyCorrection correction(store);
    require(!correction.profile() || !correction.profile()->problem(), "a restored correction is usable");
    kavro::services::CalibrationProfileStore profiles(store);
    for (const auto& profile : profiles.profiles()) {
        require(!profile.freqProfile || !profile.freqProfile->problem(), "a saved correction is usable");
    }
    const kavro::platform::testing::ManualClock clock;
    kavro::services::DoseCalculator dose(store, clock);
    dose.restorePersistedDose();
    require(std::isfinite(dose.accumulatedDose()), "a restored dose is finite");
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    folder = std::make_unique<QTemporaryDir>();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));

    // The text form of one value on its own.
    if (const auto value = SettingsPreferencesStore::decode(QString::fromUtf8(bytes))) {
        requireRoundTrip(*value);
    }

    // A whole file. Qt keeps a settings file it has read and reads it again only when
    // its size or time stamp changed: every input gets a time stamp of its own. (A path
    // of its own would grow Qt's cache, and the leak check after every input with it.)
    static qint64 inputs = 0;
    const QString path = folder->filePath(QStringLiteral("Kavro.conf"));
    {
        QFile file(path);
        require(file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(bytes) == bytes.size() &&
                    file.setFileTime(QDateTime::fromMSecsSinceEpoch(++inputs, QTimeZone::utc()),
                                     QFileDevice::FileModificationTime),
                "the fuzzer can write its file");
    }
    {
        SettingsPreferencesStore store(path);
        const QStringList storedKeys = QSettings(path, TextIniFormat::format()).allKeys();
        for (const QString& key : storedKeys) {
            if (const auto value = store.value(key)) {
                requireRoundTrip(*value);
            }
        }
        for (const auto& setting : kavro::platform::kAllSettings) {
            readTyped(store, setting.name);
        }
        restoreServices(store);
    }
    return 0;
}
