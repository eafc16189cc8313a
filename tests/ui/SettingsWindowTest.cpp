// SPDX-License-Identifier: GPL-3.0-or-later
// The settings window's other tabs and what all tabs share: the watched applications
// and their survival across a restart, the switches and the About rows, the Safety
// tab's figures, and a name for every control a screen reader meets.
#include "dsp/ExposureLimits.h"
#include "models/NumberText.h"
#include "platform/Settings.h"
#include "platform/qt/SettingsPreferencesStore.h"
#include "support/ParamNames.h"
#include "support/WaitUntil.h"
#include "ui/SettingsFixture.h"
#include "ui/settings/SafetyReference.h"
#include "ui/settings/SafetyTab.h"
#include "ui/settings/SettingCheckBox.h"
#include "ui/settings/WorkstationList.h"
#include "ui/widgets/SymbolLabel.h"
#include "ui/widgets/WrappedText.h"

#include <QAccessible>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QScrollArea>
#include <QSlider>
#include <QToolButton>

namespace kavro {
namespace {

using testing::SettingsFixture;
using ui::SettingsWindowContent;
namespace keys = platform::keys;

class SettingsWindowTest : public SettingsFixture {
protected:
    SettingsWindowTest() { open(); }

    QStringList workstationNames() const {
        QStringList names;
        for (const auto& row : ui::WorkstationList::rows(state->dawDetection())) {
            names.append(row.name);
        }
        return names;
    }

    // The rows of the DAWs tab that carry a remove button, by the name they show.
    QStringList removableRows() const {
        QStringList names;
        for (auto* button : content->findChildren<QToolButton*>(QStringLiteral("removeButton"))) {
            names.append(button->accessibleName());
        }
        return names;
    }

    void type(const char* field, const QString& text) {
        auto* edit = child<QLineEdit>(field);
        edit->clear();
        QTest::keyClicks(edit, text);
    }

    ui::SettingCheckBox* checkBox(const QString& label) const {
        for (auto* box : content->findChildren<ui::SettingCheckBox*>()) {
            if (box->text() == label) {
                return box;
            }
        }
        ADD_FAILURE() << label.toStdString();
        return nullptr;
    }
};

// ---- DAWs ----

using kavro::testing::PrintTo;

struct AddCase {
    const char* name;
    QString applicationId;
    QString displayName;
    bool enabled;
};

class AddWorkstationTest : public SettingsWindowTest, public ::testing::WithParamInterface<AddCase> {};

TEST_P(AddWorkstationTest, AddIsEnabledOnlyWithBothFieldsAndTakesThemAsTyped) {
    showTab(SettingsWindowContent::Tab::workstations);
    type("applicationIdField", GetParam().applicationId);
    type("nameField", GetParam().displayName);
    auto* add = child<QAbstractButton>("addButton");
    EXPECT_EQ(add->isEnabled(), GetParam().enabled);
    if (GetParam().enabled) {
        click(add);
        EXPECT_EQ(state->dawDetection().watchedBundleIDs().value(GetParam().applicationId),
                  GetParam().displayName);
        EXPECT_TRUE(child<QLineEdit>("applicationIdField")->text().isEmpty());
        EXPECT_TRUE(child<QLineEdit>("nameField")->text().isEmpty());
    }
}

INSTANTIATE_TEST_SUITE_P(
    Fields, AddWorkstationTest,
    ::testing::Values(AddCase{"bothEmpty", {}, {}, false},
                      AddCase{"nameMissing", QStringLiteral("renoise"), {}, false},
                      AddCase{"idMissing", {}, QStringLiteral("Renoise"), false},
                      AddCase{"both", QStringLiteral("renoise"), QStringLiteral("Renoise"), true},
                      // Not trimmed: what is typed is what is watched.
                      AddCase{"spaces", QStringLiteral(" tracker "), QStringLiteral(" Tracker"), true}),
    [](const auto& testInfo) { return std::string(testInfo.param.name); });

TEST_F(SettingsWindowTest, OnlyTheUsersOwnEntriesCanBeRemoved) {
    showTab(SettingsWindowContent::Tab::workstations);
    EXPECT_TRUE(removableRows().isEmpty()) << "built-in entries have no remove button";
    const QStringList names = workstationNames();
    EXPECT_TRUE(std::is_sorted(names.begin(), names.end()));

    type("applicationIdField", QStringLiteral("renoise"));
    type("nameField", QStringLiteral("Renoise"));
    click("addButton");
    EXPECT_EQ(removableRows(), QStringList{"Remove Renoise"});
    EXPECT_EQ(workstationNames().indexOf(QStringLiteral("Renoise")),
              workstationNames().indexOf(QStringLiteral("REAPER")) + 1);

    click(content->findChild<QToolButton*>(QStringLiteral("removeButton")));
    EXPECT_TRUE(removableRows().isEmpty());
    EXPECT_FALSE(state->dawDetection().watchedBundleIDs().contains(QStringLiteral("renoise")));
}

TEST_F(SettingsWindowTest, ANewWorkstationIsBroughtIntoViewAndTinted) {
    showTab(SettingsWindowContent::Tab::workstations);
    // First by name, so far above the form the user is typing in.
    type("applicationIdField", QStringLiteral("aaa-tracker"));
    type("nameField", QStringLiteral("AAA Tracker"));
    click("addButton");
    const auto rowNamed = [this](const QString& name) -> QWidget* {
        for (auto* text : content->findChildren<ui::WrappedText*>()) {
            if (text->text() == name) {
                return text->parentWidget();
            }
        }
        return nullptr;
    };
    QWidget* added = rowNamed(QStringLiteral("AAA Tracker"));
    QWidget* other = rowNamed(QStringLiteral("Ableton Live"));
    ASSERT_TRUE(added && other);
    auto* area = static_cast<QScrollArea*>(content->tabs()->currentWidget());
    EXPECT_TRUE(testing::waitUntil(
        [&] {
            const QRect shown(added->mapTo(area->viewport(), QPoint(0, 0)), added->size());
            return area->viewport()->rect().contains(shown);
        },
        2000));
    const auto corner = [](QWidget* row) { return row->grab().toImage().pixelColor(2, 2); };
    EXPECT_NE(corner(added), corner(other));
}

TEST(WorkstationListTest, EqualNamesKeepTheOrderOfTheirIds) {
    platform::MemoryPreferencesStore preferences;
    platform::testing::ScriptedWorkspace workspace;
    services::DAWDetectionService detection(workspace, preferences);
    detection.addWatchedApplication(QStringLiteral("z.second"), QStringLiteral("Zed"));
    detection.addWatchedApplication(QStringLiteral("a.first"), QStringLiteral("Zed"));
    const auto rows = ui::WorkstationList::rows(detection);
    const auto first =
        std::find_if(rows.begin(), rows.end(), [](const auto& row) { return row.name == "Zed"; });
    ASSERT_NE(first, rows.end());
    EXPECT_EQ(first->applicationId, QStringLiteral("a.first"));
    EXPECT_EQ((first + 1)->applicationId, QStringLiteral("z.second"));
    EXPECT_TRUE(first->removable);
}

// ---- switches ----

struct SwitchCase {
    const char* label;
    SettingsWindowContent::Tab tab;
    bool (core::AppState::*read)() const;
    platform::Setting<bool> key;
};

void PrintTo(const SwitchCase& setting, std::ostream* os) {
    *os << std::string(setting.key.name.data(), static_cast<std::size_t>(setting.key.name.size()));
}

class SettingSwitchTest : public SettingsWindowTest, public ::testing::WithParamInterface<SwitchCase> {};

TEST_P(SettingSwitchTest, EditsItsSettingAndFollowsItFromElsewhere) {
    const SwitchCase& param = GetParam();
    showTab(param.tab);
    auto* box = checkBox(QLatin1String(param.label));
    ASSERT_NE(box, nullptr);
    const bool before = (state.get()->*param.read)();
    EXPECT_EQ(box->isChecked(), before);
    click(box);
    EXPECT_EQ((state.get()->*param.read)(), !before);
    EXPECT_EQ(platform::Settings(preferences).value(param.key), !before);
    EXPECT_EQ(box->isChecked(), !before);
    // Changed somewhere else (the panel, a profile): the box follows.
    box->setting().set(*state, before);
    refresh();
    EXPECT_EQ(box->isChecked(), before);
}

INSTANTIATE_TEST_SUITE_P(
    Switches, SettingSwitchTest,
    ::testing::Values(SwitchCase{"Use max(dBA, dBC) for dose calculation", SettingsWindowContent::Tab::safety,
                                 &core::AppState::conservativeDoseMode, keys::conservativeDoseMode},
                      SwitchCase{"Monitor C-weighted peak levels", SettingsWindowContent::Tab::safety,
                                 &core::AppState::peakMonitoringEnabled, keys::peakMonitoringEnabled},
                      SwitchCase{"Auto-start sessions when DAW launches", SettingsWindowContent::Tab::general,
                                 &core::AppState::autoStartSessions, keys::autoStartSessions},
                      SwitchCase{"Launch at Login", SettingsWindowContent::Tab::general,
                                 &core::AppState::launchAtLogin, keys::launchAtLogin},
                      SwitchCase{"Break through Do Not Disturb", SettingsWindowContent::Tab::general,
                                 &core::AppState::timeSensitiveNotifications,
                                 keys::timeSensitiveNotifications}),
    kavro::testing::PrintedName());

// ---- About ----

struct AboutCase {
    const char* name;
    ui::BuildInfo build;
    QString version;
    QString website; // the link shown, or empty for no row
    QString contact;
};

class AboutTest : public SettingsFixture, public ::testing::WithParamInterface<AboutCase> {};

TEST_P(AboutTest, ShowsTheBuildAndOnlyTheAddressesItWasGiven) {
    open(GetParam().build);
    showTab(SettingsWindowContent::Tab::general);
    EXPECT_EQ(child<QLabel>("aboutVersion")->text(), GetParam().version);
    EXPECT_EQ(child<QLabel>("aboutDeveloper")->text(), QStringLiteral("Kavro contributors"));
    auto* website = content->findChild<QLabel*>(QStringLiteral("aboutWebsite"));
    auto* contact = content->findChild<QLabel*>(QStringLiteral("aboutContact"));
    EXPECT_EQ(website != nullptr, !GetParam().website.isEmpty());
    EXPECT_EQ(contact != nullptr, !GetParam().contact.isEmpty());
    if (website) {
        EXPECT_TRUE(
            website->text().contains(QStringLiteral("href=\"") + GetParam().website + QLatin1Char('"')));
    }
    if (contact) {
        EXPECT_TRUE(contact->text().contains(QStringLiteral("href=\"mailto:") + GetParam().contact +
                                             QLatin1Char('"')));
    }
}

INSTANTIATE_TEST_SUITE_P(
    Builds, AboutTest,
    ::testing::Values(
        AboutCase{"plain",
                  {QStringLiteral("0.1.0"), QStringLiteral("1a2b3c4d5e"), {}, {}},
                  QStringLiteral("Kavro 0.1.0 (1a2b3c4d5e)"),
                  {},
                  {}},
        // Outside a git checkout the parentheses stay, empty.
        AboutCase{
            "noRevision", {QStringLiteral("0.1.0"), {}, {}, {}}, QStringLiteral("Kavro 0.1.0 ()"), {}, {}},
        AboutCase{"addresses",
                  {QStringLiteral("2.0"), QStringLiteral("ff"), QStringLiteral("https://kavro.example"),
                   QStringLiteral("hello@kavro.example")},
                  QStringLiteral("Kavro 2.0 (ff)"),
                  QStringLiteral("https://kavro.example"),
                  QStringLiteral("hello@kavro.example")}),
    [](const auto& testInfo) { return std::string(testInfo.param.name); });

// ---- Safety ----

TEST_F(SettingsWindowTest, TheBandRangesAndNioshFiguresComeFromTheProgramsLimits) {
    showTab(SettingsWindowContent::Tab::safety);
    QStringList values;
    for (auto* label : content->findChildren<ui::SymbolLabel*>()) {
        if (content->safetyTab()->isAncestorOf(label) && !label->text().isEmpty()) {
            values.append(label->text());
        }
    }
    EXPECT_EQ(values,
              (QStringList{"85 dBA", "8 hours", "3 dB", "80 dBA", "0–40%", "40–70%", "70–90%", ">90%"}));
}

TEST(SafetyReferenceTest, QuotesTheLimitsAndTheDefaultOffsetTheProgramMeasuresWith) {
    QStringList labels;
    QString paragraphs;
    for (const auto& section : ui::SafetyReference::sections()) {
        for (const auto& block : section.blocks) {
            if (const auto* row = std::get_if<ui::reference::ColouredRow>(&block)) {
                labels.append(row->label);
            } else if (const auto* paragraph = std::get_if<ui::reference::Paragraph>(&block)) {
                paragraphs += paragraph->text;
            }
        }
    }
    const auto whole = [](double value, const char* unit) { return models::fixedText(value, 0) + unit; };
    EXPECT_TRUE(labels.contains("< " + whole(dsp::eu::kLowerActionLevelDb, " dBA")));
    EXPECT_TRUE(labels.contains("≥ " + whole(dsp::eu::kUpperActionLevelDb, " dBA")));
    for (const double limit :
         {dsp::eu::kPeakLowerActionDbc, dsp::eu::kPeakUpperActionDbc, dsp::eu::kPeakLimitDbc}) {
        EXPECT_TRUE(labels.contains(whole(limit, " dBC"))) << limit;
    }
    EXPECT_TRUE(paragraphs.contains("At " + whole(dsp::niosh::kCriterionLevelDb, " dBA") +
                                    ", safe exposure is " + whole(dsp::niosh::kCriterionHours, " hours")));
    EXPECT_TRUE(paragraphs.contains("When a peak exceeds " + whole(dsp::eu::kPeakLowerActionDbc, " dBC")));
    EXPECT_TRUE(paragraphs.contains("The default " + whole(keys::calibrationOffset.defaultValue, " dB") +
                                    " matches"));
}

// ---- screen readers ----

TEST_F(SettingsWindowTest, EveryControlHasAName) {
    state->micFreqCorrection().save(
        models::MicCorrectionProfile{{1.0f}, 48000.0, clock.now(), {{1000.0f, 1.0f}}});
    state->calibrationProfileStore().add(models::CalibrationSavedProfile::create(
        QStringLiteral("Desk"), {}, {}, 94.0, clock.now(), std::nullopt));
    state->dawDetection().addWatchedApplication(QStringLiteral("renoise"), QStringLiteral("Renoise"));
    for (const auto tab : {SettingsWindowContent::Tab::audio, SettingsWindowContent::Tab::safety,
                           SettingsWindowContent::Tab::workstations, SettingsWindowContent::Tab::general}) {
        content->page(tab);
    }
    refresh();
    int controls = 0;
    for (QWidget* widget : content->findChildren<QWidget*>()) {
        const bool control = qobject_cast<QAbstractButton*>(widget) || qobject_cast<QComboBox*>(widget) ||
                             qobject_cast<QAbstractSlider*>(widget) || qobject_cast<QLineEdit*>(widget) ||
                             qobject_cast<QProgressBar*>(widget);
        if (!control || widget->parent()->inherits("QTabBar") || widget->parent()->inherits("QScrollBar") ||
            widget->inherits("QScrollBar")) {
            continue;
        }
        ++controls;
        QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(widget);
        ASSERT_NE(accessible, nullptr);
        EXPECT_FALSE(accessible->text(QAccessible::Name).isEmpty())
            << widget->metaObject()->className() << " " << widget->objectName().toStdString();
    }
    EXPECT_GT(controls, 20);

    // A text field is named by its label.
    for (const auto& [field, name] :
         std::vector<std::pair<const char*, const char*>>{{"micLocationField", "Mic Location"},
                                                          {"profileLabelField", "Profile label"},
                                                          {"applicationIdField", "Application ID"},
                                                          {"nameField", "Name"},
                                                          {"impedanceField", "Impedance in ohms"}}) {
        EXPECT_EQ(QAccessible::queryAccessibleInterface(child(field))->text(QAccessible::Name),
                  QLatin1String(name));
    }
}

} // namespace
} // namespace kavro
