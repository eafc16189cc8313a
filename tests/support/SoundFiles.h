// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

#include <functional>
#include <vector>

namespace kavro::testsupport {

// Writes a float WAV file whose frames come from a generator (frame index, channel).
bool writeWav(const QString& path, int sampleRate, int channels, long frames,
              const std::function<float(long frame, int channel)>& sample);

} // namespace kavro::testsupport
