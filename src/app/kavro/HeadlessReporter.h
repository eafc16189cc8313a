// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/NotificationCenter.h"

#include <QObject>

#include <cstdio>

namespace kavro::core {
class AppState;
}

namespace kavro::app {

// Writes one line to standard output for every change of state a person or a script
// watching the program without windows wants to see: the program starting and
// stopping, sessions starting and ending, the dose entering a new band, and every
// notification posted. Lines are flushed at once so that a pipe sees them in time.
class HeadlessReporter final : public QObject {
    Q_OBJECT
public:
    explicit HeadlessReporter(std::FILE* stream, QObject* parent = nullptr);

    void watch(const core::AppState& state);
    void print(const QString& line);

private:
    std::FILE* m_stream;
    QString m_measuredSource;
};

// Passes every request on to the desktop's notification service and reports it first.
class ReportingNotificationCenter final : public platform::NotificationCenter {
public:
    ReportingNotificationCenter(platform::NotificationCenter& inner, HeadlessReporter& reporter)
        : m_inner(inner), m_reporter(reporter) {}

    void requestAuthorization() override { m_inner.requestAuthorization(); }
    void setCategories(const std::vector<platform::NotificationCategory>& categories) override {
        m_inner.setCategories(categories);
    }
    void add(const platform::NotificationRequest& request) override;
    void setResponseHandler(ResponseHandler handler) override {
        m_inner.setResponseHandler(std::move(handler));
    }

private:
    platform::NotificationCenter& m_inner;
    HeadlessReporter& m_reporter;
};

} // namespace kavro::app
