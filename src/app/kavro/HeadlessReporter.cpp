// SPDX-License-Identifier: GPL-3.0-or-later
#include "HeadlessReporter.h"

#include "core/AppState.h"
#include "models/DoseLevel.h"
#include "models/NumberText.h"
#include "models/Session.h"

namespace kavro::app {

HeadlessReporter::HeadlessReporter(std::FILE* stream, QObject* parent) : QObject(parent), m_stream(stream) {}

void HeadlessReporter::print(const QString& line) {
    const QByteArray text = line.toUtf8() + '\n';
    std::fwrite(text.constData(), 1, static_cast<std::size_t>(text.size()), m_stream);
    std::fflush(m_stream);
}

void HeadlessReporter::watch(const core::AppState& state) {
    connect(&state, &core::AppState::sessionStarted, this,
            [this](const QString& dawName) { print(QStringLiteral("Session started: ") + dawName); });
    connect(&state, &core::AppState::sessionEnded, this, [this](const models::Session& session) {
        print(QStringLiteral("Session ended: %1, %2, dose %3%")
                  .arg(session.dawName, session.durationFormatted(*session.endDate),
                       models::fixedText(session.doseAccumulated, 1)));
    });
    // What is measured, whenever it changes (the source, the output, its basis).
    connect(&state, &core::AppState::changed, this, [this, &state] {
        const QString source = state.measuredSourceText();
        if (source != m_measuredSource) {
            m_measuredSource = source;
            print(QStringLiteral("Measuring: ") + source);
        }
    });
    connect(&state, &core::AppState::doseLevelCrossed, this, [this](models::DoseLevel level) {
        print(QStringLiteral("Dose band: ") + models::rawValue(level));
    });
}

void ReportingNotificationCenter::add(const platform::NotificationRequest& request) {
    m_reporter.print(QStringLiteral("Notification posted: %1: %2").arg(request.identifier, request.title));
    m_inner.add(request);
}

} // namespace kavro::app
