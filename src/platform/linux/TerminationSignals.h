// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QObject>
#include <QSocketNotifier>

#include <functional>
#include <memory>

namespace kavro::platform {

// Turns SIGTERM, SIGINT and SIGHUP (the desktop session ending, a terminal closing,
// Ctrl-C, a service manager stopping the program) into a call on the main thread, so
// that the program can quit through its event loop and keep what it holds. A signal
// handler may do almost nothing, so it only writes a byte that the event loop reads.
// One instance per process.
class TerminationSignals final : public QObject {
    Q_OBJECT
public:
    // The handler runs on the main thread, once per signal received.
    explicit TerminationSignals(std::function<void(int signalNumber)> handler, QObject* parent = nullptr);
    ~TerminationSignals() override;

    // False when the signals could not be taken over; they then end the process as usual.
    bool isInstalled() const { return m_installed; }

private:
    void readSignals();

    std::function<void(int)> m_handler;
    std::unique_ptr<QSocketNotifier> m_notifier;
    bool m_installed = false;
};

} // namespace kavro::platform
