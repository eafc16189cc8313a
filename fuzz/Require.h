// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdio>
#include <cstdlib>

namespace kavro::fuzz {

// Ends the run when a property every input must keep is broken: libFuzzer then keeps
// the input that broke it and the fuzzing run fails.
inline void require(bool condition, const char* property) {
    if (!condition) {
        std::fprintf(stderr, "kavro fuzz: broken property: %s\n", property);
        std::abort();
    }
}

} // namespace kavro::fuzz
