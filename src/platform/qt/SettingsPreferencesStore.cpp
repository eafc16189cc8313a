#include "platform/qt/SettingsPreferencesStore.h"

#include "platform/file/OwnerOnly.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

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

// The shortest text that reads back as exactly the same double.
QString doubleText(double number) {
    char buffer[64];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, number);
    return QString::fromLatin1(buffer, static_cast<qsizetype>(result.ptr - buffer));
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
    : m_ownFolder(filePath.isEmpty()),
      m_settings(filePath.isEmpty()
                     ? std::make_unique<QSettings>(QStringLiteral("Kavro"), QStringLiteral("Kavro"))
                     : std::make_unique<QSettings>(filePath, QSettings::IniFormat)) {
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
    // Anything QSettings does not hand back as plain text (a list, a hand-written
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

void SettingsPreferencesStore::schedule(const QString& key, std::optional<Value> value) {
    m_pending.insert(key, std::move(value));
    if (!m_writeTimer) {
        flush();
    } else if (!m_writeTimer->isActive()) {
        // Not restarted by later changes: under a steady stream of changes the file
        // is still written once a second.
        m_writeTimer->start();
    }
}

void SettingsPreferencesStore::flush() {
    if (m_writeTimer) {
        m_writeTimer->stop();
    }
    if (m_pending.isEmpty()) {
        return;
    }
    for (auto it = m_pending.cbegin(); it != m_pending.cend(); ++it) {
        if (it.value()) {
            m_settings->setValue(it.key(), encode(*it.value()));
        } else {
            m_settings->remove(it.key());
        }
    }
    m_pending.clear();
    keepPrivate(true);
    m_settings->sync();
    keepPrivate(false);
}

QString SettingsPreferencesStore::encode(const Value& value) {
    struct Encoder {
        QString operator()(const QString& text) const { return kStringTag + text; }
        QString operator()(double number) const { return kDoubleTag + doubleText(number); }
        QString operator()(bool flag) const {
            return kBoolTag + (flag ? QLatin1String("true") : QLatin1String("false"));
        }
        QString operator()(std::int64_t number) const { return kIntegerTag + QString::number(number); }
        // UTC with milliseconds: the same point in time whatever the time zone at reading.
        QString operator()(const QDateTime& date) const {
            return kDateTag + (date.isValid() ? date.toUTC().toString(Qt::ISODateWithMs) : QString());
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
        if (!date.isValid()) {
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
