// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

namespace kavro::services {

// What a full-scale signal on one output becomes in the ear: the output's profile as the
// measuring side needs it. Kept apart from where profiles are stored so that the
// measurement can be tested with any numbers.
struct OutputReference {
    // dB SPL produced by a full-scale RMS signal (0 dBFS) at 100 % volume.
    double fullScaleDbSpl = 110.0;
    // True while nothing better than the conservative default is known.
    bool estimated = true;
    // What a person reads, e.g. "Built-in Audio · Headphones".
    QString displayName;
};

class OutputReferenceSource {
public:
    virtual ~OutputReferenceSource() = default;
    // outputKey names one output device and port so that the next launch finds it again:
    // the sink's name, '#', the active port's name (empty port: nothing after '#').
    [[nodiscard]] virtual OutputReference referenceFor(const QString& outputKey,
                                                       const QString& displayName) const = 0;
};

} // namespace kavro::services
