// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "ui/settings/ReferenceSection.h"

#include <vector>

namespace kavro::ui {

// The Safety tab: what the exposure standards say and how Kavro applies them, the dose
// bands, the weighting curves, the two exposure switches and how to calibrate.
class SafetyReference {
public:
    // In the order they are shown.
    static const std::vector<ReferenceSection>& sections();

    static SettingSwitch conservativeDoseMode();
    static SettingSwitch peakMonitoring();
};

} // namespace kavro::ui
