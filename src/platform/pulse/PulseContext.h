// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

#include <optional>

struct pa_context;
struct pa_threaded_mainloop;

namespace kavro::platform {

// With the loop locked and the context's state callback signalling the loop: connects
// the new context to the user's sound server (never starting one) and waits until it is
// ready. Returns the server's reason when it is not.
std::optional<QString> connectContextAndWait(pa_threaded_mainloop* loop, pa_context* context);

} // namespace kavro::platform
