// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The settings window's content, shown offscreen over the application state with three
// microphones (two, one and four channels) and two outputs, and the helpers its tests
// use to act as a user would.
#include "services/AudioDeviceManager.h"
#include "services/CalibrationProfileStore.h"
#include "services/DAWDetectionService.h"
#include "services/MicFrequencyCorrection.h"
#include "services/MicResponseCalibrationService.h"
#include "services/PinkNoisePlayer.h"
#include "support/AppStateFixture.h"
#include "ui/settings/AudioTab.h"
#include "ui/settings/SettingsWindowContent.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QTest>

namespace kavro::testing {

class SettingsFixture : public AppStateFixture {
protected:
    SettingsFixture() {
        backend.inputs = {device(QStringLiteral("studio"), QStringLiteral("Studio microphone"), 2),
                          device(QStringLiteral("usb"), QStringLiteral("USB mic"), 1),
                          device(QStringLiteral("desk"), QStringLiteral("Desk array"), 4)};
        backend.outputs = {device(QStringLiteral("monitors"), QStringLiteral("Monitors"), 2),
                           device(QStringLiteral("phones"), QStringLiteral("Headphones"), 2)};
        restartState();
    }

    ~SettingsFixture() override { content.reset(); }

    void open(const ui::BuildInfo& build = {QStringLiteral("1.2.3"), QStringLiteral("abc1234"), {}, {}}) {
        content = std::make_unique<ui::SettingsWindowContent>(*state, build);
        content->resize(ui::SettingsWindowContent::kWidth, ui::SettingsWindowContent::kHeight);
        content->show();
        refresh();
    }

    void showTab(ui::SettingsWindowContent::Tab tab) {
        content->showTab(tab);
        refresh();
    }

    // The state's changes arrive and the window reads them.
    // The tab's own pace (ten refreshes a second) is not waited for here.
    void refresh() {
        settle();
        QApplication::processEvents();
        settle();
        QApplication::processEvents();
        if (auto* audio = content ? content->findChild<ui::AudioTab*>() : nullptr;
            audio && audio->isVisible()) {
            audio->refreshNow();
        }
    }

    template <typename Widget = QWidget> Widget* child(const char* name) const {
        auto* found = content->findChild<Widget*>(QLatin1String(name));
        EXPECT_NE(found, nullptr) << name;
        return found;
    }

    bool shown(const char* name) const { return child(name)->isVisibleTo(content.get()); }

    void click(QAbstractButton* button) {
        ASSERT_TRUE(button->isVisibleTo(content.get()) && button->isEnabled())
            << button->objectName().toStdString();
        // Into view first: a click lands where the window shows the button.
        content->scrollTo(button);
        QApplication::processEvents();
        // A check box reacts on its box and words, not on the empty width of its row.
        const QPoint where =
            qobject_cast<QCheckBox*>(button) ? QPoint(8, button->height() / 2) : button->rect().center();
        QTest::mouseClick(button, Qt::LeftButton, {}, where);
        refresh();
    }
    void click(const char* name) { click(child<QAbstractButton>(name)); }

    // Picks the entry as from the open list of the picker.
    void choose(const char* pickerName, const QString& entryText) {
        auto* picker = child<QComboBox>(pickerName);
        const int index = picker->findText(entryText);
        ASSERT_GE(index, 0) << entryText.toStdString();
        picker->setCurrentIndex(index);
        emit picker->activated(index);
        refresh();
    }

    QStringList entries(const char* pickerName) const {
        auto* picker = child<QComboBox>(pickerName);
        QStringList texts;
        for (int index = 0; index < picker->count(); ++index) {
            texts.append(picker->itemText(index));
        }
        return texts;
    }

    std::unique_ptr<ui::SettingsWindowContent> content;
};

} // namespace kavro::testing
