// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QObject>
#include <QString>
#include <QThread>

#include <functional>

namespace kavro::platform {

// A thread with its own event loop on which a Qt audio stream lives, so that Qt
// delivers the device's data there and not on the main thread. The main thread hands
// it work and waits for it to finish.
class AudioThread {
public:
    explicit AudioThread(const QString& name);
    // Ends the thread's event loop and waits for it.
    ~AudioThread();

    AudioThread(const AudioThread&) = delete;
    AudioThread& operator=(const AudioThread&) = delete;

    // Runs the work on the thread and returns once it is done.
    void run(const std::function<void()>& work);

private:
    QThread m_thread;
    QObject* m_context = nullptr; // lives on m_thread; its events run the work
};

} // namespace kavro::platform
