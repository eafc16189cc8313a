// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QObject>

#include <functional>

namespace kavro::core {

// Runs an action once on a later turn of the event loop, however often it was asked for
// in this one: the changes one event makes (a buffer of audio moves the level, the dose
// and the statistics at once) are announced or drawn once. The action is dropped with
// its context object.
class AfterThisTurn {
public:
    AfterThisTurn(QObject& context, std::function<void()> action)
        : m_context(context), m_action(std::move(action)) {}

    void request() {
        if (m_pending) {
            return;
        }
        m_pending = true;
        QMetaObject::invokeMethod(
            &m_context,
            [this] {
                m_pending = false;
                m_action();
            },
            Qt::QueuedConnection);
    }

private:
    QObject& m_context;
    std::function<void()> m_action;
    bool m_pending = false;
};

} // namespace kavro::core
