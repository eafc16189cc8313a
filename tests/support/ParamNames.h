// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <gtest/gtest.h>

#include <cctype>
#include <ostream>
#include <string>
#include <type_traits>
#include <utility>

namespace kavro::testing {

// Names a parameterised case after its parameter as printed ("44100", "3_7"), so that
// the list of tests and a failure say which case it is; test names may hold only
// letters, digits and underscores.
struct PrintedName {
    template <typename Param> std::string operator()(const ::testing::TestParamInfo<Param>& info) const {
        std::string name = ::testing::PrintToString(info.param);
        for (char& character : name) {
            if (std::isalnum(static_cast<unsigned char>(character)) == 0) {
                character = '_';
            }
        }
        return name;
    }
};

// Prints a table's case as its name, for the cases that carry one; a test file brings it
// in next to its cases with `using kavro::testing::PrintTo;`.
template <typename Case>
requires std::is_convertible_v<decltype(std::declval<const Case&>().name), const char*>
void PrintTo(const Case& testCase, std::ostream* os) {
    *os << testCase.name;
}

} // namespace kavro::testing
