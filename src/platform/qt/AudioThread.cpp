// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/qt/AudioThread.h"

namespace kavro::platform {

AudioThread::AudioThread(const QString& name) {
    m_thread.setObjectName(name);
    m_context = new QObject();
    m_context->moveToThread(&m_thread);
    m_thread.start(QThread::TimeCriticalPriority);
}

AudioThread::~AudioThread() {
    m_thread.quit();
    m_thread.wait();
    delete m_context;
}

void AudioThread::run(const std::function<void()>& work) {
    QMetaObject::invokeMethod(m_context, work, Qt::BlockingQueuedConnection);
}

} // namespace kavro::platform
