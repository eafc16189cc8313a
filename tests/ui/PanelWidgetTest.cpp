// SPDX-License-Identifier: GPL-3.0-or-later
// The panel as widgets, drawn offscreen over the application state and fakes: what is
// visible, what a screen reader is told, what the buttons do, and that the live feed
// repaints values without laying the panel out again.
#include "ui/panel/PanelWidget.h"

#include "support/WaitUntil.h"
#include "ui/PanelFixture.h"
#include "ui/panel/PanelPresenter.h"
#include "ui/widgets/Divider.h"
#include "ui/widgets/DoseBar.h"
#include "ui/widgets/PeakFlashRow.h"
#include "ui/widgets/SymbolLabel.h"

#include <QAbstractButton>
#include <QAccessible>
#include <QApplication>
#include <QRegularExpression>
#include <QTest>
#include <QToolButton>

namespace kavro {
namespace {

using kavro::testing::waitUntil;
using ui::ColourRole;
using ui::PanelWidget;
using ui::SymbolLabel;

class PanelWidgetTest : public testing::PanelFixture {
protected:
    PanelWidgetTest() {
        panel = std::make_unique<PanelWidget>(
            *state, updater,
            ui::PanelActions{[this] { ++settingsOpened; }, [this] { ++historyOpened; }, [this] { ++quits; }});
        panel->show();
        refresh();
    }

    ~PanelWidgetTest() override { panel.reset(); }

    // The state's changes arrive, the panel reads them and lays itself out. The panel's
    // own pace (a few refreshes a second) is checked once, below; here it is not waited for.
    void refresh() {
        settle();
        QApplication::processEvents();
        if (panel->isVisible()) {
            panel->refreshNow();
        }
        settle();
    }

    template <typename Widget = QWidget> Widget* child(const char* name) const {
        auto* found = panel->findChild<Widget*>(QLatin1String(name));
        EXPECT_NE(found, nullptr) << name;
        return found;
    }

    QString text(const char* name) const { return child<SymbolLabel>(name)->text(); }
    bool shown(const char* name) const { return child(name)->isVisibleTo(panel.get()); }

    void click(const char* name) {
        QTest::mouseClick(child<QAbstractButton>(name), Qt::LeftButton);
        refresh();
    }

    std::unique_ptr<PanelWidget> panel;
    int settingsOpened = 0;
    int historyOpened = 0;
    int quits = 0;
};

TEST_F(PanelWidgetTest, SectionsAndTheirDividersComeAndGoWithMeasuring) {
    const std::vector<const char*> liveSections{"currentLevel", "statistics", "activeSession"};
    const int stoppedHeight = panel->height();
    for (const char* section : liveSections) {
        EXPECT_FALSE(shown(section)) << section;
        EXPECT_FALSE(shown((std::string(section) + "Divider").c_str())) << section;
    }
    EXPECT_FALSE(shown("today"));
    for (const char* always : {"header", "doseBarSection", "commands", "footer"}) {
        EXPECT_TRUE(shown(always)) << always;
    }
    EXPECT_FALSE(shown("timeLeft"));

    click("sessionButton");
    ASSERT_TRUE(state->sessionManager().currentSession());
    play(1000.0, 1.0);
    listen(1);
    refresh();
    for (const char* section : liveSections) {
        EXPECT_TRUE(shown(section)) << section;
        EXPECT_TRUE(shown((std::string(section) + "Divider").c_str())) << section;
    }
    EXPECT_TRUE(shown("timeLeft"));
    EXPECT_EQ(panel->width(), PanelWidget::kWidth);
    EXPECT_GT(panel->height(), stoppedHeight + 100);

    click("sessionButton");
    for (const char* section : liveSections) {
        EXPECT_FALSE(shown(section)) << section;
    }
    EXPECT_TRUE(shown("today"));
    EXPECT_EQ(panel->width(), PanelWidget::kWidth);
    EXPECT_LT(panel->height(), stoppedHeight + 100);
}

// The colour drawn at a point of the dose bar.
QColor barColourAt(ui::DoseBar* bar, double fraction) {
    const QImage image = bar->grab().toImage();
    const int x = std::clamp(static_cast<int>(fraction * image.width()), 1, image.width() - 2);
    return image.pixelColor(x, image.height() / 2);
}

TEST_F(PanelWidgetTest, ADoseOverTheLimitFillsTheBarInRedAndNoDoseLeavesItEmpty) {
    auto* bar = child<ui::DoseBar>("doseBar");
    setDose(150.0);
    refresh();
    EXPECT_EQ(text("dose"), QStringLiteral("150.0%"));
    EXPECT_EQ(text("bandLabel"), QStringLiteral("Over-exposed"));
    ASSERT_TRUE(waitUntil([&] { return bar->shownFraction() == 1.0; }, 2000));
    const QRgb red = ui::roleColour(ColourRole::red, panel->palette()).rgb();
    EXPECT_EQ(barColourAt(bar, 0.99).rgb(), red);
    EXPECT_EQ(barColourAt(bar, 0.02).rgb(), red);

    setDose(0.0);
    refresh();
    EXPECT_EQ(text("dose"), QStringLiteral("0.0%"));
    EXPECT_EQ(child<SymbolLabel>("dose")->colour(), ColourRole::green);
    ASSERT_TRUE(waitUntil([&] { return bar->shownFraction() == 0.0; }, 2000));
    EXPECT_NE(barColourAt(bar, 0.02).rgb(), ui::roleColour(ColourRole::green, panel->palette()).rgb());
}

TEST_F(PanelWidgetTest, NoTextWidensThePanel) {
    setDose(1e300);
    refresh();
    EXPECT_GT(text("dose").size(), 300);
    EXPECT_EQ(panel->width(), PanelWidget::kWidth);

    // The most a day can hold is shown whole: the titles beside it give way.
    setDose(services::DoseCalculator::mostDoseInADay() * 100.0);
    refresh();
    const auto* dose = child<SymbolLabel>("dose");
    EXPECT_GE(dose->width(), dose->sizeHint().width());
    EXPECT_EQ(panel->width(), PanelWidget::kWidth);
}

TEST_F(PanelWidgetTest, TheDoseBarGlidesToANewValue) {
    auto* bar = child<ui::DoseBar>("doseBar");
    setDose(60.0);
    refresh();
    EXPECT_EQ(bar->fraction(), 0.6);
    EXPECT_LT(bar->shownFraction(), 0.6);
    ASSERT_TRUE(waitUntil([&] { return bar->shownFraction() == 0.6; }, 2000));

    // The creep of a growing dose is drawn at once: no animation runs at every tick.
    setDose(60.01);
    refresh();
    EXPECT_EQ(bar->shownFraction(), bar->fraction());
}

TEST_F(PanelWidgetTest, ResetDoseThenCancelLeavesTheDoseAndResetClearsIt) {
    setDose(48.0);
    refresh();
    click("resetButton");
    EXPECT_TRUE(shown("resetConfirmation"));
    EXPECT_FALSE(shown("resetButton"));
    EXPECT_EQ(text("resetQuestion"), QStringLiteral("Reset dose to 0%?"));

    click("cancelResetButton");
    EXPECT_FALSE(shown("resetConfirmation"));
    EXPECT_TRUE(shown("resetButton"));
    EXPECT_DOUBLE_EQ(state->doseCalculator().accumulatedDose(), 0.48);
    EXPECT_EQ(text("dose"), QStringLiteral("48.0%"));

    click("resetButton");
    click("confirmResetButton");
    EXPECT_EQ(state->doseCalculator().accumulatedDose(), 0.0);
    EXPECT_EQ(text("dose"), QStringLiteral("0.0%"));
    EXPECT_FALSE(shown("resetConfirmation"));
}

TEST_F(PanelWidgetTest, AClosedPanelDoesNoWorkAndCatchesUpBeforeItOpens) {
    panel->hide();
    const int closedHeight = panel->height();
    startSession();
    play(1000.0, 1.0);
    listen(1);
    refresh();
    EXPECT_FALSE(shown("currentLevel"));
    EXPECT_EQ(child<QAbstractButton>("sessionButton")->text(), QStringLiteral("Start Session"));

    // A host placing a popup asks for the panel's size before showing it.
    panel->refreshNow();
    EXPECT_TRUE(shown("currentLevel"));
    EXPECT_TRUE(shown("activeSession"));
    EXPECT_EQ(child<QAbstractButton>("sessionButton")->text(), QStringLiteral("End Session"));
    EXPECT_GT(panel->height(), closedHeight + 100);
}

TEST_F(PanelWidgetTest, ClosingThePanelForgetsAnOpenQuestion) {
    click("resetButton");
    panel->hide();
    panel->show();
    refresh();
    EXPECT_FALSE(shown("resetConfirmation"));
}

TEST_F(PanelWidgetTest, FooterOpensTheWindowsAndQuitsButCannotUpdate) {
    click("settingsButton");
    click("historyButton");
    click("quitButton");
    EXPECT_EQ(settingsOpened, 1);
    EXPECT_EQ(historyOpened, 1);
    EXPECT_EQ(quits, 1);

    auto* updates = child<QToolButton>("updatesButton");
    EXPECT_FALSE(updates->isEnabled());
    EXPECT_EQ(updates->toolTip(), QStringLiteral("Updates come from your package manager"));
    updater.setCanCheck(true);
    refresh();
    EXPECT_TRUE(updates->isEnabled());
    click("updatesButton");
    EXPECT_EQ(updater.checks, 1);
}

// Every accessible object under the panel that a screen reader would stop at.
std::vector<QAccessibleInterface*> accessibleLeaves(QAccessibleInterface* root) {
    std::vector<QAccessibleInterface*> leaves;
    for (int index = 0; index < root->childCount(); ++index) {
        QAccessibleInterface* item = root->child(index);
        if (!item || item->state().invisible) {
            continue;
        }
        if (item->childCount() == 0) {
            leaves.push_back(item);
        } else {
            const auto below = accessibleLeaves(item);
            leaves.insert(leaves.end(), below.begin(), below.end());
        }
    }
    return leaves;
}

TEST_F(PanelWidgetTest, AScreenReaderHearsEveryValueAndControlByName) {
    click("sessionButton");
    play(50.0, 1.0); // with the LF badge
    listen(2);
    refresh();

    QAccessibleInterface* root = QAccessible::queryAccessibleInterface(panel.get());
    ASSERT_NE(root, nullptr);
    QStringList names;
    for (QAccessibleInterface* leaf : accessibleLeaves(root)) {
        const QString name = leaf->text(QAccessible::Name);
        // Dividers are decoration, not content.
        if (qobject_cast<ui::Divider*>(leaf->object())) {
            continue;
        }
        EXPECT_FALSE(name.isEmpty()) << leaf->object()->objectName().toStdString() << " role "
                                     << leaf->role();
        names << name;
    }
    // The levels are read as the same text that is drawn, units included.
    EXPECT_TRUE(names.contains(text("dBA"))) << names.join(QLatin1Char('|')).toStdString();
    EXPECT_TRUE(QRegularExpression(QStringLiteral("^\\d+\\.\\d dBA$")).match(text("dBA")).hasMatch());
    EXPECT_TRUE(names.contains(text("lowFrequencyBadge")));
    for (const char* control : {"End Session", "Reset Dose", "Settings", "History", "Updates", "Quit"}) {
        EXPECT_TRUE(names.contains(QLatin1String(control))) << control;
    }
    // A statistic without a value is drawn as a dash and said as words.
    EXPECT_FALSE(names.contains(QStringLiteral("—")));
    EXPECT_TRUE(names.contains(QStringLiteral("no value")));
    // The band is said in words as well as shown in colour; so is the dose.
    EXPECT_TRUE(names.contains(QStringLiteral("Safe")));
    EXPECT_TRUE(names.contains(QStringLiteral("Dose 0.0%")) || names.contains(text("dose")));
    EXPECT_EQ(child<ui::DoseBar>("doseBar")->accessibleName(), QStringLiteral("Dose ") + text("dose"));
}

// A screen reader presses a button through its accessible action, as the AT-SPI bridge
// passes it on: the reset question opens, is named, and cancels, all without a mouse.
TEST_F(PanelWidgetTest, AScreenReaderCanAskForTheResetAndCancelIt) {
    setDose(42.5);
    refresh();
    const auto press = [this](const char* name) {
        QAccessibleInterface* button = QAccessible::queryAccessibleInterface(child(name));
        ASSERT_NE(button, nullptr) << name;
        ASSERT_NE(button->actionInterface(), nullptr) << name;
        ASSERT_TRUE(
            button->actionInterface()->actionNames().contains(QAccessibleActionInterface::pressAction()))
            << name;
        // A button pressed this way shows the press for a moment, then clicks.
        button->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
    };
    const auto asking = [this] {
        refresh();
        return shown("resetConfirmation");
    };
    press("resetButton");
    ASSERT_TRUE(waitUntil(asking, 2000));
    for (const char* name : {"resetQuestion", "cancelResetButton", "confirmResetButton"}) {
        EXPECT_FALSE(QAccessible::queryAccessibleInterface(child(name))->text(QAccessible::Name).isEmpty())
            << name;
    }
    press("cancelResetButton");
    EXPECT_TRUE(waitUntil([&] { return !asking(); }, 2000));
    EXPECT_DOUBLE_EQ(state->doseCalculator().accumulatedDose(), 0.425);
}

// Counts the layout passes asked of the panel.
class LayoutRequestCounter : public QObject {
public:
    int requests = 0;

protected:
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::LayoutRequest) {
            ++requests;
        }
        return false;
    }
};

TEST_F(PanelWidgetTest, TheLiveFeedRepaintsValuesWithoutLayingOutThePanel) {
    click("sessionButton");
    play(1000.0, 1.0);
    listen(1);
    refresh();

    LayoutRequestCounter counter;
    panel->installEventFilter(&counter);
    QStringList levels;
    for (int step = 0; step < 10; ++step) {
        const QString before = text("dBA");
        play(1000.0, step % 2 ? 1.0 : 0.8, 8);
        listen(0.1);
        // The panel follows by itself, at its own pace.
        ASSERT_TRUE(waitUntil([&] { return text("dBA") != before; }, 2000)) << step;
        levels << text("dBA");
    }
    panel->removeEventFilter(&counter);
    levels.removeDuplicates();
    ASSERT_GT(levels.size(), 1) << "the level did not change";
    EXPECT_EQ(counter.requests, 0);
}

TEST_F(PanelWidgetTest, APeakFlashesAndFadesAway) {
    state->setCalibrationOffset(141.0);
    click("sessionButton");
    play(1000.0, 0.001);
    refresh();
    auto* flash = child<ui::PeakFlashRow>("peakFlash");
    EXPECT_FALSE(flash->isVisibleTo(panel.get()));

    play(1000.0, 1.0, 1);
    play(1000.0, 0.001, 2);
    refresh();
    EXPECT_TRUE(flash->isVisibleTo(panel.get()));
    EXPECT_TRUE(flash->text().startsWith(QStringLiteral("Peak: 14")));
    EXPECT_EQ(flash->accessibleName(), flash->text());
    ASSERT_TRUE(waitUntil([&] { return flash->progress() == 1.0; }, 1000));
    // Two seconds on, then half a second to fade.
    ASSERT_TRUE(waitUntil([&] { return !flash->isVisibleTo(panel.get()); }, 4000));
    EXPECT_EQ(flash->progress(), 0.0);
}

TEST_F(PanelWidgetTest, ColoursFollowThePalette) {
    setDose(45.0);
    refresh();
    // The band's symbol is drawn with solid pixels in exactly the band colour.
    auto* band = child<SymbolLabel>("bandSymbol");
    const QImage light = band->grab().toImage();
    QPalette dark;
    dark.setColor(QPalette::Window, QColor(0x2b, 0x2b, 0x2e));
    dark.setColor(QPalette::WindowText, Qt::white);
    dark.setColor(QPalette::ButtonText, Qt::white);
    panel->setPalette(dark);
    refresh();
    const QImage onDark = band->grab().toImage();
    // The yellow of "Caution" is darker on light windows and bright on dark ones.
    const QColor lightYellow = ui::roleColour(ColourRole::yellow, QApplication::palette());
    const QColor darkYellow = ui::roleColour(ColourRole::yellow, dark);
    ASSERT_NE(lightYellow, darkYellow);
    const auto contains = [](const QImage& image, const QColor& colour) {
        for (int y = 0; y < image.height(); ++y) {
            for (int x = 0; x < image.width(); ++x) {
                if (image.pixelColor(x, y).rgb() == colour.rgb()) {
                    return true;
                }
            }
        }
        return false;
    };
    EXPECT_TRUE(contains(light, lightYellow));
    EXPECT_TRUE(contains(onDark, darkYellow));
    EXPECT_FALSE(contains(onDark, lightYellow));
}

} // namespace
} // namespace kavro
