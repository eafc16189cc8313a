// SPDX-License-Identifier: GPL-3.0-or-later
#include "support/SoundFiles.h"

#include <QFile>

#include <sndfile.h>

namespace kavro::testsupport {

bool writeWav(const QString& path, int sampleRate, int channels, long frames,
              const std::function<float(long frame, int channel)>& sample) {
    SF_INFO info{};
    info.samplerate = sampleRate;
    info.channels = channels;
    info.format = SF_FORMAT_WAV | SF_FORMAT_FLOAT;
    SNDFILE* file = sf_open(QFile::encodeName(path).constData(), SFM_WRITE, &info);
    if (!file) {
        return false;
    }
    std::vector<float> block(static_cast<std::size_t>(4096 * channels));
    for (long start = 0; start < frames; start += 4096) {
        const long count = std::min<long>(4096, frames - start);
        for (long f = 0; f < count; ++f) {
            for (int c = 0; c < channels; ++c) {
                block[static_cast<std::size_t>(f * channels + c)] = sample(start + f, c);
            }
        }
        sf_writef_float(file, block.data(), count);
    }
    return sf_close(file) == 0;
}

} // namespace kavro::testsupport
