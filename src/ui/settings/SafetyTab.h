// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QWidget>

namespace kavro::core {
class AppState;
}

namespace kavro::ui {

class FormSection;
class WeightingCurvesView;
struct ReferenceSection;

// The Safety tab: the exposure standards and how Kavro applies them, the dose bands,
// the weighting curves, the two exposure switches and how to calibrate.
class SafetyTab : public QWidget {
    Q_OBJECT
public:
    // The state must outlive the tab.
    explicit SafetyTab(core::AppState& state, QWidget* parent = nullptr);

    WeightingCurvesView* weightingCurves() const { return m_weightingCurves; }

private:
    FormSection* buildSection(core::AppState& state, const ReferenceSection& content);

    WeightingCurvesView* m_weightingCurves = nullptr;
};

} // namespace kavro::ui
