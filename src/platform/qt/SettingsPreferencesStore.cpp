// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/qt/SettingsPreferencesStore.h"

#include "models/NumberText.h"
#include "platform/file/OwnerOnly.h"
#include "platform/qt/TextIniFormat.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QSaveFile>

#include <charconv>
#include <string>

namespace kavro::platform {

namespace {

const QLatin1String kStringTag("s:");
const QLatin1String kDoubleTag("d:");
const QLatin1String kBoolTag("b:");
const QLatin1String kIntegerTag("i:");
const QLatin1String kDateTag("t:");
const QLatin1String kDataTag("x:");

// UTC with milliseconds: the same point in time whatever the time zone at reading.
QString dateText(const QDateTime& date) {
    return date.toUTC().toString(Qt::ISODateWithMs);
}

std::optional<double> parseDouble(const QString& text) {
    const std::string utf8 = text.toStdString();
    double number = 0;
    const auto result = std::from_chars(utf8.data(), utf8.data() + utf8.size(), number);
    if (result.ec != std::errc() || result.ptr != utf8.data() + utf8.size()) {
        return std::nullopt;
    }
    return number;
}

} // namespace

SettingsPreferencesStore::SettingsPreferencesStore(const QString& filePath)
    : m_filePath(filePath), m_ownFolder(filePath.isEmpty()), m_settings(openSettings()) {
    // Without an application there is no event loop to run the delayed write: every
    // change is then handed to QSettings at once.
    if (QCoreApplication* application = QCoreApplication::instance()) {
        m_writeTimer = std::make_unique<QTimer>();
        m_writeTimer->setSingleShot(true);
        m_writeTimer->setInterval(kWriteDelayMs);
        QObject::connect(m_writeTimer.get(), &QTimer::timeout, m_writeTimer.get(), [this] { flush(); });
        QObject::connect(application, &QCoreApplication::aboutToQuit, m_writeTimer.get(),
                         [this] { flush(); });
    }
    keepPrivate(false);
}

void SettingsPreferencesStore::keepPrivate(bool createFolder) const {
    // A file the caller named lives in the caller's folder, which is left as it is.
    if (m_ownFolder) {
        const QString folder = QFileInfo(m_settings->fileName()).absolutePath();
        if (createFolder) {
            QDir().mkpath(folder);
        }
        restrictToOwner(folder);
    }
    restrictToOwner(m_settings->fileName());
}

SettingsPreferencesStore::~SettingsPreferencesStore() {
    flush();
}

std::optional<PreferencesStore::Value> SettingsPreferencesStore::value(const QString& key) const {
    if (const auto pending = m_pending.constFind(key); pending != m_pending.constEnd()) {
        return *pending;
    }
    const QVariant stored = m_settings->value(key);
    // Anything the file format does not hand back as plain text (a list, a hand-written
    // @Variant) was not written by this store.
    if (stored.metaType().id() != QMetaType::QString) {
        return std::nullopt;
    }
    return decode(stored.toString());
}

void SettingsPreferencesStore::setValue(const QString& key, const Value& value) {
    schedule(key, value);
}

void SettingsPreferencesStore::remove(const QString& key) {
    schedule(key, std::nullopt);
}

void SettingsPreferencesStore::schedule(const QString& key, const std::optional<Value>& value) {
    m_pending.insert(key, value);
    if (!m_writeTimer) {
        flush();
    } else if (!m_writeTimer->isActive()) {
        // Not restarted by later changes: under a steady stream of changes the file
        // is still written once a second.
        m_writeTimer->start();
    }
}

std::unique_ptr<QSettings> SettingsPreferencesStore::openSettings() const {
    return m_filePath.isEmpty()
               ? std::make_unique<QSettings>(TextIniFormat::format(), QSettings::UserScope,
                                             QStringLiteral("Kavro"), QStringLiteral("Kavro"))
               : std::make_unique<QSettings>(m_filePath, TextIniFormat::format());
}

bool SettingsPreferencesStore::write(QSettings& settings, const Changes& changes) {
    for (auto it = changes.cbegin(); it != changes.cend(); ++it) {
        if (it.value()) {
            settings.setValue(it.key(), encode(*it.value()));
        } else {
            settings.remove(it.key());
        }
    }
    settings.sync();
    return settings.status() == QSettings::NoError;
}

std::optional<QString> SettingsPreferencesStore::flush() {
    if (m_writeTimer) {
        m_writeTimer->stop();
    }
    if (m_pending.isEmpty()) {
        return std::nullopt;
    }
    keepPrivate(true);
    const bool written = write(*m_settings, m_pending);
    keepPrivate(false);
    if (!written) {
        // QSettings goes on reporting the first error it ever met (a damaged file read
        // at start, an earlier write that failed), so its status cannot tell about this
        // write. A fresh object over the same file, made while the old one still shares
        // Qt's copy of the file, can; the changes are handed to it again.
        m_settings = openSettings();
        const bool rewritten = write(*m_settings, m_pending);
        keepPrivate(false);
        if (!rewritten) {
            return writeFailure();
        }
    }
    m_pending.clear();
    return std::nullopt;
}

QString SettingsPreferencesStore::writeFailure() const {
    // QSettings does not say why; doing what it does, on a scratch copy, does.
    const QString path = m_settings->fileName();
    const QString folder = QFileInfo(path).absolutePath();
    if (!QDir().mkpath(folder)) {
        return QStringLiteral("cannot create the folder %1").arg(folder);
    }
    QSaveFile probe(path);
    if (!probe.open(QIODevice::WriteOnly)) {
        return QStringLiteral("%1: %2").arg(path, probe.errorString());
    }
    const QByteArray block(4096, ' ');
    const bool written = probe.write(block) == block.size() && probe.flush();
    const QString reason = probe.errorString();
    probe.cancelWriting();
    return written ? QStringLiteral("%1 could not be written").arg(path)
                   : QStringLiteral("%1: %2").arg(path, reason);
}

QString SettingsPreferencesStore::encode(const Value& value) {
    struct Encoder {
        QString operator()(const QString& text) const { return kStringTag + text; }
        QString operator()(double number) const { return kDoubleTag + models::shortestText(number); }
        QString operator()(bool flag) const {
            return kBoolTag + (flag ? QLatin1String("true") : QLatin1String("false"));
        }
        QString operator()(std::int64_t number) const { return kIntegerTag + QString::number(number); }
        QString operator()(const QDateTime& date) const {
            return kDateTag + (date.isValid() ? dateText(date) : QString());
        }
        QString operator()(const QByteArray& data) const {
            return kDataTag + QString::fromLatin1(data.toBase64());
        }
    };
    return std::visit(Encoder{}, value);
}

std::optional<PreferencesStore::Value> SettingsPreferencesStore::decode(const QString& text) {
    const QString body = text.mid(2);
    if (text.startsWith(kStringTag)) {
        return Value(body);
    }
    if (text.startsWith(kDoubleTag)) {
        if (const auto number = parseDouble(body)) {
            return Value(*number);
        }
        return std::nullopt;
    }
    if (text.startsWith(kBoolTag)) {
        if (body == QLatin1String("true") || body == QLatin1String("false")) {
            return Value(body == QLatin1String("true"));
        }
        return std::nullopt;
    }
    if (text.startsWith(kIntegerTag)) {
        bool ok = false;
        const qlonglong number = body.toLongLong(&ok);
        if (!ok) {
            return std::nullopt;
        }
        return Value(static_cast<std::int64_t>(number));
    }
    if (text.startsWith(kDateTag)) {
        if (body.isEmpty()) {
            return Value(QDateTime());
        }
        const QDateTime date = QDateTime::fromString(body, Qt::ISODateWithMs);
        // A date the store could not write back (an offset that moves it past 9999 in
        // UTC) would change on the next write: it reads as absent now instead.
        if (!date.isValid() || QDateTime::fromString(dateText(date), Qt::ISODateWithMs) != date) {
            return std::nullopt;
        }
        return Value(date);
    }
    if (text.startsWith(kDataTag)) {
        auto decoded =
            QByteArray::fromBase64Encoding(body.toLatin1(), QByteArray::AbortOnBase64DecodingErrors);
        if (!decoded) {
            return std::nullopt;
        }
        return Value(*decoded);
    }
    return std::nullopt;
}

} // namespace kavro::platform
