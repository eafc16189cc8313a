// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/pulse/PulseContext.h"

#include <pulse/context.h>
#include <pulse/error.h>
#include <pulse/thread-mainloop.h>

namespace kavro::platform {

std::optional<QString> connectContextAndWait(pa_threaded_mainloop* loop, pa_context* context) {
    if (pa_context_connect(context, nullptr, PA_CONTEXT_NOAUTOSPAWN, nullptr) >= 0) {
        pa_context_state_t state = pa_context_get_state(context);
        while (state != PA_CONTEXT_READY && PA_CONTEXT_IS_GOOD(state)) {
            pa_threaded_mainloop_wait(loop);
            state = pa_context_get_state(context);
        }
        if (state == PA_CONTEXT_READY) {
            return std::nullopt;
        }
    }
    return QString::fromUtf8(pa_strerror(pa_context_errno(context)));
}

} // namespace kavro::platform
