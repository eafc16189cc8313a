// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "services/OutputReferenceSource.h"

namespace kavro::services {

// The conservative estimate for every output: used where no profiles are kept.
class DefaultOutputReference final : public OutputReferenceSource {
public:
    OutputReference referenceFor(const QString& /*outputKey*/, const QString& displayName) const override {
        OutputReference reference;
        reference.displayName = displayName;
        return reference;
    }
};

} // namespace kavro::services
