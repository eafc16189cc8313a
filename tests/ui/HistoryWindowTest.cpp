// SPDX-License-Identifier: GPL-3.0-or-later
// The History window's content as widgets, drawn offscreen over the application state
// with fakes and a manual clock: what it shows for a history, what the mouse and the keys
// select, deleting and exporting, and how it follows a running measurement.
#include "ui/history/HistoryWindowContent.h"

#include "platform/testing/FixedDestinationChooser.h"
#include "services/HistoryFile.h"
#include "support/HistoryDays.h"
#include "support/QtPrinters.h"
#include "support/WaitUntil.h"
#include "ui/PanelFixture.h"
#include "ui/history/CalendarDayCell.h"
#include "ui/history/CalendarGrid.h"
#include "ui/history/DailyChart.h"
#include "ui/history/HistoryPresenter.h"
#include "ui/history/SessionGroupHeaderWidget.h"
#include "ui/history/SessionList.h"
#include "ui/history/SessionRowWidget.h"
#include "ui/history/StatisticTileWidget.h"
#include "ui/history/SummaryPanel.h"
#include "ui/widgets/SymbolLabel.h"

#include <QAbstractButton>
#include <QAccessible>
#include <QApplication>
#include <QFileInfo>
#include <QKeyEvent>
#include <QMessageBox>
#include <QSignalSpy>
#include <QTest>
#include <QToolTip>

namespace kavro {
namespace {

using models::Session;
using testing::berlin;
using testing::completedSession;
using testing::kBerlin;
using testing::kToday;
using ui::HistoryColour;
using ui::HistoryPresenter;

QDate day(int month, int dayOfMonth) {
    return {2025, month, dayOfMonth};
}

Session session(QDate on, int hour, double dose, const QString& workstation = QStringLiteral("REAPER")) {
    Session made = completedSession(berlin(on, hour), dose, 45);
    made.dawName = workstation;
    made.averageSPL = 84.2;
    made.peakSPL = 97.6;
    return made;
}

class HistoryWindowTest : public testing::PanelFixture {
protected:
    HistoryWindowTest() { QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates)); }

    ~HistoryWindowTest() override {
        content.reset();
        QLocale::setDefault(QLocale::c());
    }

    // The program started over a history file holding `history`, and the window opened.
    void open(const QList<Session>& history) {
        content.reset();
        clock.setTimeZone(kBerlin);
        clock.set(berlin(kToday, 15));
        ASSERT_FALSE(files.createFolder(kDataFolder, platform::FileStore::Access::privateToUser));
        ASSERT_FALSE(services::historyfile::write(files, historyFile(), history));
        restartState();
        content = std::make_unique<ui::HistoryWindowContent>(*state, &chooser);
        content->resize(760, 540);
        content->show();
        refresh();
    }

    void refresh() {
        settle();
        QApplication::processEvents();
        settle();
    }

    static QString historyFile() { return services::SessionManager::historyFileIn(kDataFolder); }
    HistoryPresenter& presenter() const { return content->presenter(); }
    ui::CalendarGrid* grid() const { return content->findChild<ui::CalendarGrid*>(); }
    ui::SessionList* list() const { return content->findChild<ui::SessionList*>(); }
    ui::DailyChart* chart() const { return content->findChild<ui::DailyChart*>(); }
    const ui::StatisticTile& tile(std::size_t index) const {
        return content->summaryPanel().tile(index)->tile();
    }
    QString text(const char* name) const {
        auto* label = content->findChild<ui::SymbolLabel*>(QLatin1String(name));
        return label ? label->text() : QStringLiteral("<no %1>").arg(QLatin1String(name));
    }
    template <typename Widget = QWidget> Widget* child(const char* name) const {
        auto* found = content->findChild<Widget*>(QLatin1String(name));
        EXPECT_NE(found, nullptr) << name;
        return found;
    }
    QPoint centreOf(QDate shown) const {
        ui::CalendarDayCell* cell = grid()->cellFor(shown);
        EXPECT_NE(cell, nullptr) << shown.toString(Qt::ISODate).toStdString();
        return cell ? cell->geometry().center() : QPoint();
    }
    void select(QDate first, QDate last) {
        presenter().tapDay(first);
        presenter().tapDay(last);
        refresh();
    }
    ui::SessionRowWidget* rowOf(const QString& workstation) const {
        for (ui::SessionRowWidget* row : list()->rows()) {
            if (row->row().workstation == workstation) {
                return row;
            }
        }
        ADD_FAILURE() << "no row " << workstation.toStdString();
        return nullptr;
    }
    void click(QWidget* widget) {
        QTest::mouseClick(widget, Qt::LeftButton);
        refresh();
    }
    std::pair<QDate, QDate> range() const {
        return {presenter().selection().rangeStart(), presenter().selection().rangeEnd()};
    }

    platform::testing::FixedDestinationChooser chooser;
    std::unique_ptr<ui::HistoryWindowContent> content;
};

TEST_F(HistoryWindowTest, AnEmptyHistoryShowsTheLastWeekWithNothingToExport) {
    open({});
    const std::vector<std::pair<const char*, QString>> texts{
        {"rangeLabel", QStringLiteral("Mar 8, 2025 – Mar 14, 2025")},
        {"dayCount", QStringLiteral("7 days")},
        {"sessionCount", QStringLiteral("0 sessions")},
        {"noSessionsText", QStringLiteral("No sessions in this range")},
        {"monthTitle", QStringLiteral("March 2025")},
        {"selectionHint", QStringLiteral("Tap a day to start a new selection")},
    };
    for (const auto& [name, expected] : texts) {
        EXPECT_EQ(text(name), expected) << name;
    }
    EXPECT_TRUE(list()->isEmptyShown());
    EXPECT_FALSE(child<QAbstractButton>("exportButton")->isEnabled());
    // What each tile shows for a range is the tiles' own test.
    EXPECT_EQ(tile(0).value, QStringLiteral("0.0%"));
}

// The darkest pixel of a tile's value line: text drawn at half opacity is lighter.
int darkestValuePixel(ui::StatisticTileWidget* tile) {
    const QImage image = tile->grab().toImage();
    int darkest = 255;
    for (int y = image.height() / 2; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            darkest = std::min(darkest, qGray(image.pixel(x, y)));
        }
    }
    return darkest;
}

// Which ranges have a weekly level is the tiles' test; here, that the window draws the
// missing one at half the strength of the secondary colour the peak tile uses.
TEST_F(HistoryWindowTest, AMissingEuWeeklyLevelIsDrawnAtHalfStrength) {
    open({session(kToday, 9, 100)});
    select(kToday.addDays(-3), kToday);
    ASSERT_EQ(tile(2).colour, HistoryColour::secondaryHalfOpacity);
    EXPECT_GT(darkestValuePixel(content->summaryPanel().tile(2)),
              darkestValuePixel(content->summaryPanel().tile(3)) + 30);
}

TEST_F(HistoryWindowTest, ExportProposesTheRangeAsTheFileName) {
    open({session(day(2, 28), 9, 5), session(day(3, 3), 9, 5), session(day(3, 8), 9, 5),
          session(kToday, 9, 5)});
    // How a range is named is the dates' own test; here, that the window offers it.
    select(day(2, 28), day(3, 3));
    auto* button = child<QAbstractButton>("exportButton");
    ASSERT_TRUE(button->isEnabled());
    click(button);
    ASSERT_FALSE(chooser.suggestedNames.isEmpty());
    EXPECT_EQ(chooser.suggestedNames.last(), QStringLiteral("Kavro Sessions 2025-02-28 to 2025-03-03.csv"));
    EXPECT_EQ(chooser.suffixes.last(), QStringLiteral("csv"));
    // A range without sessions has nothing to export.
    select(day(3, 10), day(3, 11));
    EXPECT_FALSE(child<QAbstractButton>("exportButton")->isEnabled());
}

TEST_F(HistoryWindowTest, TheNextMonthChevronStopsAtTheCurrentMonth) {
    open({});
    auto* previous = child<QAbstractButton>("previousMonth");
    auto* next = child<QAbstractButton>("nextMonth");
    struct Step {
        QAbstractButton* press;
        QString title;
        bool nextEnabled;
    };
    const std::vector<Step> steps{
        {nullptr, "March 2025", false},   {next, "March 2025", false},   {previous, "February 2025", true},
        {previous, "January 2025", true}, {next, "February 2025", true}, {next, "March 2025", false},
    };
    for (const Step& step : steps) {
        if (step.press) {
            click(step.press);
        }
        EXPECT_EQ(text("monthTitle"), step.title);
        EXPECT_TRUE(previous->isEnabled()) << step.title.toStdString();
        EXPECT_EQ(next->isEnabled(), step.nextEnabled) << step.title.toStdString();
    }
}

TEST_F(HistoryWindowTest, ADragAcrossTheGridSelectsTheDaysItCrosses) {
    open({});
    struct Case {
        QDate from;
        QPoint offset; // where the pointer goes, from the centre of `from`, when `to` is null
        std::optional<QDate> to;
        std::pair<QDate, QDate> range;
        std::optional<QDate> anchor;
    };
    const std::vector<Case> cases{
        {day(3, 3), {}, day(3, 12), {day(3, 3), day(3, 12)}, {}},
        {day(3, 13), {}, day(3, 4), {day(3, 4), day(3, 13)}, {}},
        // Less than 4 pixels is a tap. What a drag over blank or future days does is
        // the selection's own test.
        {day(3, 5), {3, 0}, {}, {day(3, 5), day(3, 5)}, day(3, 5)},
    };
    for (const Case& drag : cases) {
        presenter().reset();
        refresh();
        const QPoint start = centreOf(drag.from);
        const QPoint end = drag.to ? centreOf(*drag.to) : start + drag.offset;
        QTest::mousePress(grid(), Qt::LeftButton, {}, start);
        constexpr int kSteps = 8;
        for (int step = 1; step <= kSteps; ++step) {
            QTest::mouseMove(grid(), start + (end - start) * step / kSteps);
        }
        QTest::mouseRelease(grid(), Qt::LeftButton, {}, end);
        refresh();
        const std::string which = drag.from.toString(Qt::ISODate).toStdString();
        EXPECT_EQ(range(), drag.range) << which;
        EXPECT_EQ(presenter().selection().selectionAnchor(), drag.anchor) << which;
        clock.advance(1); // the tap that ends a drag is ignored only for a moment
    }
}

TEST_F(HistoryWindowTest, TheChartNamesTheHoveredDayAndAClickSelectsIt) {
    open({session(day(3, 12), 9, 50), session(day(3, 12), 13, 12.5)});
    auto* shownChart = chart();
    ASSERT_EQ(shownChart->chart().bars.size(), 7);
    EXPECT_EQ(shownChart->chart().title, QStringLiteral("Selected range"));

    const QPoint wednesday = shownChart->barRect(4).center().toPoint();
    QTest::mouseMove(shownChart, wednesday);
    refresh();
    // The header's wording is the chart's own test; here, that it names the hovered day.
    EXPECT_EQ(shownChart->chart().title, QStringLiteral("Wed 12 Mar"));
    EXPECT_TRUE(QToolTip::text().startsWith(QStringLiteral("Wed 12 Mar"))) << QToolTip::text().toStdString();

    QTest::mouseClick(shownChart, Qt::LeftButton, {}, shownChart->barRect(1).center().toPoint());
    refresh();
    EXPECT_EQ(range(), std::pair(day(3, 9), day(3, 9)));
    EXPECT_EQ(presenter().selection().selectionAnchor(), day(3, 9));
    EXPECT_EQ(text("selectionHint"), QStringLiteral("From Mar 9 — tap end day"));
}

TEST_F(HistoryWindowTest, EachRowShowsTheDaysRunningDoseAndItsPeaks) {
    Session loud = session(day(3, 13), 14, 20, QStringLiteral("Bitwig Studio"));
    loud.peakCount135 = 3;
    loud.peakCount140 = 1;
    loud.peakDBC = 141.2;
    loud.calibration = models::CalibrationRecord{.method = models::CalibrationRecord::Method::referenceMeter,
                                                 .offset = 101.2,
                                                 .deviceName = QStringLiteral("Desk mic"),
                                                 .referenceLevel = 82.3,
                                                 .weighting = QStringLiteral("A")};
    loud.output = Session::OutputSource{QStringLiteral("Headphones · Built-in Audio"), true};
    open({loud, session(day(3, 13), 11, 5, QStringLiteral("Ardour")), session(day(3, 13), 9, 10)});
    const auto headers = list()->headers();
    ASSERT_EQ(headers.size(), 1);
    EXPECT_EQ(headers[0]->title(), QStringLiteral("Mar 13, 2025"));
    EXPECT_EQ(headers[0]->doseText(), QStringLiteral("Dose: 35.0%"));
    EXPECT_EQ(headers[0]->doseColour(), HistoryColour::green);

    struct Expected {
        QString workstation;
        QString dayDose;
        QString sessionDose;
        QStringList badges;
        std::optional<QString> peakDBC;
    };
    const std::vector<Expected> rows{
        {"REAPER", "10.0% day", "+10.0% session", {}, {}},
        {"Ardour", "15.0% day", "+5.0% session", {}, {}},
        {"Bitwig Studio", "35.0% day", "+20.0% session", {"×1 ≥140 dBC", "×3 ≥135 dBC"}, "Pk 141 dBC"},
    };
    const auto shown = list()->rows();
    ASSERT_EQ(shown.size(), static_cast<qsizetype>(rows.size()));
    for (std::size_t index = 0; index < rows.size(); ++index) {
        const ui::HistorySessionRow& row = shown[static_cast<qsizetype>(index)]->row();
        EXPECT_EQ(row.workstation, rows[index].workstation);
        EXPECT_EQ(row.dayDose, rows[index].dayDose);
        EXPECT_EQ(row.sessionDose, rows[index].sessionDose);
        QStringList badges;
        for (const auto& badge : row.badges) {
            badges << badge.text;
        }
        EXPECT_EQ(badges, rows[index].badges) << index;
        EXPECT_EQ(row.peakDBC, rows[index].peakDBC) << index;
        EXPECT_EQ(row.average, QStringLiteral("Avg 84 dBA"));
        EXPECT_EQ(row.peak, QStringLiteral("Pk 98 dBA"));
    }
    EXPECT_EQ(shown[2]->row().peakDBCColour, HistoryColour::red);
    // Hovering a session shows what it was measured from and with which calibration.
    EXPECT_EQ(shown[2]->toolTip(),
              QStringLiteral("Measured from the output: Headphones · Built-in Audio, estimated level\n"
                             "Calibration: 101.2 dB, reference meter (82.3 dBA), Desk mic "
                             "channel 1, correction off"));
    EXPECT_EQ(shown[0]->toolTip(), QStringLiteral("Measured from the microphone\nCalibration: unknown"));
    // A badge line makes the row taller.
    EXPECT_GT(shown[2]->height(), shown[0]->height());
}

TEST_F(HistoryWindowTest, DeletingAsksFirstAndOnlyDeleteDeletes) {
    const Session morning = session(kToday, 9, 10, QStringLiteral("REAPER"));
    const Session noon = session(kToday, 11, 20, QStringLiteral("Ardour"));
    const Session yesterday = session(day(3, 13), 9, 30, QStringLiteral("Bitwig Studio"));
    open({noon, morning, yesterday});
    // Dose heard outside any session today, on top of the two sessions.
    state->doseCalculator().overrideDose(45);
    ASSERT_TRUE(testing::waitUntil([&] { return presenter().statistics().dose(kToday) == 45; }, 2000));

    struct Step {
        QString workstation;
        const char* answer;
        double doseAfter;
        QStringList workstationsAfter;
    };
    const std::vector<Step> steps{
        {"Ardour", "cancelDeleteButton", 45, {"Ardour", "REAPER", "Bitwig Studio"}},
        // Only the session's own 20 % goes; the 15 % heard outside sessions stays.
        {"Ardour", "confirmDeleteButton", 25, {"REAPER", "Bitwig Studio"}},
        {"Bitwig Studio", "confirmDeleteButton", 25, {"REAPER"}},
    };
    for (const Step& step : steps) {
        ui::SessionRowWidget* row = rowOf(step.workstation);
        ASSERT_NE(row, nullptr);
        click(row->findChild<QAbstractButton*>(QStringLiteral("deleteSessionButton")));
        row = rowOf(step.workstation);
        ASSERT_TRUE(row->isConfirming());
        auto* question = row->findChild<ui::SymbolLabel*>(QStringLiteral("deleteQuestion"));
        ASSERT_NE(question, nullptr);
        EXPECT_TRUE(question->isVisibleTo(content.get()));
        EXPECT_EQ(question->text(), QStringLiteral("Delete session?"));
        click(row->findChild<QAbstractButton*>(QLatin1String(step.answer)));

        EXPECT_DOUBLE_EQ(state->doseCalculator().dosePercentage(), step.doseAfter) << step.answer;
        EXPECT_DOUBLE_EQ(presenter().statistics().dose(kToday), step.doseAfter) << step.answer;
        const auto stored = services::historyfile::read(files, historyFile());
        ASSERT_TRUE(std::holds_alternative<services::historyfile::Contents>(stored));
        QStringList workstations;
        for (const Session& kept : std::get<services::historyfile::Contents>(stored).sessions) {
            workstations << kept.dawName;
        }
        if (QLatin1String(step.answer) == QLatin1String("confirmDeleteButton")) {
            EXPECT_EQ(workstations, step.workstationsAfter);
        }
        QStringList shownRows;
        for (ui::SessionRowWidget* shown : list()->rows()) {
            shownRows << shown->row().workstation;
            EXPECT_FALSE(shown->isConfirming());
        }
        EXPECT_EQ(shownRows.size(), step.workstationsAfter.size());
    }
}

TEST_F(HistoryWindowTest, EscapeTakesBackTheDeleteQuestionBeforeItClosesTheWindow) {
    open({session(kToday, 9, 10, QStringLiteral("REAPER"))});
    click(
        rowOf(QStringLiteral("REAPER"))->findChild<QAbstractButton*>(QStringLiteral("deleteSessionButton")));
    ASSERT_TRUE(rowOf(QStringLiteral("REAPER"))->isConfirming());
    // From a control that has no use for the key: it travels up to the window's content.
    auto* exportButton = child<QAbstractButton>("exportButton");
    QKeyEvent first(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
    QApplication::sendEvent(exportButton, &first);
    refresh();
    EXPECT_TRUE(first.isAccepted());
    EXPECT_FALSE(rowOf(QStringLiteral("REAPER"))->isConfirming());
    EXPECT_EQ(list()->rows().size(), 1);
    // With nothing left to take back, the key goes on to the window, which closes.
    QKeyEvent second(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
    QApplication::sendEvent(exportButton, &second);
    EXPECT_FALSE(second.isAccepted());
}

TEST_F(HistoryWindowTest, AFailedExportIsShownWithItsReasonAndNothingIsWritten) {
    open({session(kToday, 9, 12)});
    const QString folder = QStringLiteral("/home/ada/Shared");
    files.addReadOnlyFolder(folder);
    const QString target = folder + QStringLiteral("/Kavro Sessions 2025-03-14.csv");
    chooser.answer = target;

    click(child<QAbstractButton>("exportButton"));
    auto* message = content->findChild<QMessageBox*>(QStringLiteral("exportFailedMessage"));
    ASSERT_NE(message, nullptr);
    EXPECT_TRUE(message->isVisible());
    EXPECT_EQ(message->text(), QStringLiteral("The sessions could not be exported."));
    EXPECT_EQ(message->informativeText(), QStringLiteral("Permission denied"));
    EXPECT_FALSE(files.exists(target));
    message->accept();

    // The same export into a folder the user may write to succeeds without a word.
    chooser.answer = QStringLiteral("/home/ada/Kavro Sessions 2025-03-14.csv");
    ASSERT_FALSE(files.createFolder(QStringLiteral("/home/ada"), platform::FileStore::Access::privateToUser));
    click(child<QAbstractButton>("exportButton"));
    EXPECT_TRUE(files.exists(*chooser.answer));
    EXPECT_EQ(content->findChildren<QMessageBox*>().size(), 0);
}

TEST_F(HistoryWindowTest, MeasuringRedrawsAFewTimesASecondAndOnlyWhenSomethingShownChanged) {
    open({});
    QSignalSpy redraws(&presenter(), &HistoryPresenter::changed);
    startSession();
    play(1000.0, 1.0); // loud enough to add dose
    listen(3);         // thirty ticks of the feed at once
    EXPECT_EQ(redraws.count(), 0);
    ASSERT_TRUE(testing::waitUntil([&] { return redraws.count() > 0; }, 2000));
    EXPECT_EQ(redraws.count(), 1);
    const double shownDose = presenter().statistics().dose(kToday);
    EXPECT_GT(shownDose, 0.0);

    // The session ends: it appears in the list, with today's dose as it stood.
    state->endSession();
    ASSERT_TRUE(testing::waitUntil([&] { return list()->rows().size() == 1; }, 2000));
    const int afterEnd = static_cast<int>(redraws.count());
    // Without capture nothing changes, and nothing is redrawn.
    listen(3);
    QTest::qWait(2 * static_cast<int>(HistoryPresenter::kFollowInterval.count()));
    EXPECT_EQ(redraws.count(), afterEnd);

    // A hidden window does no work, and is up to date when it opens again.
    content->hide();
    startSession();
    play(1000.0, 1.0);
    listen(3);
    state->endSession();
    QTest::qWait(2 * static_cast<int>(HistoryPresenter::kFollowInterval.count()));
    EXPECT_EQ(redraws.count(), afterEnd);
    content->show();
    refresh();
    EXPECT_EQ(list()->rows().size(), 2);
}

TEST_F(HistoryWindowTest, TheKeyboardMovesTapsAndExtends) {
    open({});
    struct Case {
        QList<QPair<int, Qt::KeyboardModifiers>> keys;
        std::pair<QDate, QDate> range;
        std::optional<QDate> anchor;
        QString month;
    };
    const auto key = [](int code, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
        return QPair<int, Qt::KeyboardModifiers>(code, modifiers);
    };
    const std::vector<Case> cases{
        {{key(Qt::Key_Left), key(Qt::Key_Left), key(Qt::Key_Return)},
         {day(3, 12), day(3, 12)},
         day(3, 12),
         "March 2025"},
        {{key(Qt::Key_Left), key(Qt::Key_Left), key(Qt::Key_Return), key(Qt::Key_Right), key(Qt::Key_Return)},
         {day(3, 12), day(3, 13)},
         {},
         "March 2025"},
        {{key(Qt::Key_Left, Qt::ShiftModifier), key(Qt::Key_Left, Qt::ShiftModifier)},
         {day(3, 12), kToday},
         {},
         "March 2025"},
        {{key(Qt::Key_Up), key(Qt::Key_Enter), key(Qt::Key_Escape)},
         {day(3, 7), day(3, 7)},
         {},
         "March 2025"},
        {{key(Qt::Key_Right), key(Qt::Key_Down), key(Qt::Key_Space)}, {kToday, kToday}, kToday, "March 2025"},
        {{key(Qt::Key_Up), key(Qt::Key_Up), key(Qt::Key_Up)}, {day(3, 8), kToday}, {}, "February 2025"},
    };
    for (const Case& typed : cases) {
        presenter().reset();
        refresh();
        for (const auto& [code, modifiers] : typed.keys) {
            QWidget* focused = grid()->cellFor(presenter().focusedDay());
            ASSERT_NE(focused, nullptr);
            focused->setFocus();
            QTest::keyClick(focused, static_cast<Qt::Key>(code), modifiers);
            refresh();
        }
        EXPECT_EQ(range(), typed.range) << typed.keys.size();
        EXPECT_EQ(presenter().selection().selectionAnchor(), typed.anchor) << typed.keys.size();
        EXPECT_EQ(text("monthTitle"), typed.month);
    }
}

TEST_F(HistoryWindowTest, DayCellsAndTilesAreNamedForScreenReaders) {
    open({session(day(3, 13), 9, 12.3)});
    state->doseCalculator().overrideDose(42.5);
    ASSERT_TRUE(testing::waitUntil([&] { return presenter().statistics().dose(kToday) == 42.5; }, 2000));
    refresh();
    const std::vector<std::pair<QDate, QString>> cells{
        {kToday, "March 14, 2025, dose 42.5 %"},
        {day(3, 13), "March 13, 2025, dose 12.3 %"},
        {day(3, 1), "March 1, 2025, dose 0.0 %"},
        {day(3, 20), "March 20, 2025"},
    };
    for (const auto& [shown, name] : cells) {
        QAccessibleInterface* cell = QAccessible::queryAccessibleInterface(grid()->cellFor(shown));
        ASSERT_NE(cell, nullptr);
        EXPECT_EQ(cell->text(QAccessible::Name), name);
        EXPECT_EQ(cell->role(), QAccessible::Cell);
    }
    EXPECT_TRUE(QAccessible::queryAccessibleInterface(grid()->cellFor(kToday))
                    ->text(QAccessible::Description)
                    .contains(QStringLiteral("today")));
    // A tile is said as its spoken text, whose wording is the tiles' own test.
    for (std::size_t index = 0; index < 6; ++index) {
        EXPECT_EQ(QAccessible::queryAccessibleInterface(content->summaryPanel().tile(index))
                      ->text(QAccessible::Name),
                  tile(index).spokenText());
    }
}

TEST_F(HistoryWindowTest, OpeningTheWindowAgainStartsFromTheLastWeek) {
    open({});
    click(child<QAbstractButton>("preset2"));
    EXPECT_EQ(text("dayCount"), QStringLiteral("30 days"));
    content->hide();
    content->show();
    refresh();
    EXPECT_EQ(text("dayCount"), QStringLiteral("7 days"));
    EXPECT_EQ(range(), std::pair(day(3, 8), kToday));
}

} // namespace
} // namespace kavro
