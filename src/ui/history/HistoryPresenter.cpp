// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/history/HistoryPresenter.h"

#include "core/AppState.h"
#include "core/WarningDose.h"
#include "models/NumberText.h"
#include "platform/Clock.h"
#include "services/CriteriaMeter.h"
#include "services/DoseCalculator.h"
#include "services/SessionManager.h"
#include "ui/presentation/CountText.h"
#include "ui/presentation/HistoryDates.h"
#include "ui/presentation/HistoryGroupHeader.h"

namespace kavro::ui {

namespace {

constexpr int kDaysInWeek = 7;
// Charts of more bars than this draw them closer together.
constexpr qsizetype kCrowdedChartBars = 9;
constexpr double kCrowdedBarSpacing = 2;
constexpr double kBarSpacing = 4;

// The days before today that the day presets begin with.
int presetDaysBack(HistoryPresenter::Preset preset) {
    switch (preset) {
    case HistoryPresenter::Preset::sevenDays:
        return -6;
    case HistoryPresenter::Preset::fourteenDays:
        return -13;
    default:
        return -29;
    }
}

} // namespace

HistoryPresenter::HistoryPresenter(core::AppState& state, const QLocale& locale, QObject* parent)
    : QObject(parent), m_state(state), m_locale(locale) {
    m_followTimer.setSingleShot(true);
    m_followTimer.setInterval(kFollowInterval);
    connect(&m_followTimer, &QTimer::timeout, this, &HistoryPresenter::catchUp);
    connect(&m_state, &core::AppState::changed, this, &HistoryPresenter::stateChanged);
    connect(&m_state.sessionManager(), &services::SessionManager::csvExportFailed, this,
            &HistoryPresenter::exportFailed);
    reset();
}

HistoryPresenter::~HistoryPresenter() = default;

void HistoryPresenter::reset() {
    m_selection = std::make_unique<services::HistoryRangeSelection>(m_state.clock());
    m_calendar = std::make_unique<HistoryCalendar>(*m_selection);
    m_calendar->setGridWidth(m_gridWidth);
    m_hoveredChartDay.reset();
    m_keyboardOrigin.reset();
    m_confirmingDelete.reset();
    m_focusedDay = m_selection->rangeEnd();
    recompute();
    emit changed();
}

void HistoryPresenter::setFollowing(bool following) {
    if (following == m_following) {
        return;
    }
    m_following = following;
    if (!following) {
        m_followTimer.stop();
        return;
    }
    if (stateMoved()) {
        recompute();
        emit changed();
    }
}

// ---- following the state ----

void HistoryPresenter::stateChanged() {
    // The first change starts the wait; those that follow within it ride along.
    if (m_following && !m_followTimer.isActive()) {
        m_followTimer.start();
    }
}

bool HistoryPresenter::stateMoved() const {
    const QList<models::Session>& history = m_state.sessionManager().sessionHistory();
    return history.constData() != m_history.constData() || history.size() != m_history.size() ||
           m_state.doseCalculator().dosePercentage() != m_liveDose || m_state.clock().today() != m_today;
}

void HistoryPresenter::catchUp() {
    if (m_following && stateMoved()) {
        recompute();
        emit changed();
    }
}

void HistoryPresenter::recompute() {
    m_history = m_state.sessionManager().sessionHistory();
    m_liveDose = m_state.doseCalculator().dosePercentage();
    m_today = m_state.clock().today();
    m_statistics.emplace(m_history, m_liveDose, m_state.clock(), m_selection->rangeStart(),
                         m_selection->rangeEnd());
    m_chart.emplace(*m_statistics, m_locale);
    if (m_confirmingDelete && !m_statistics->cumulativeDayDose().contains(*m_confirmingDelete)) {
        m_confirmingDelete.reset();
    }
}

// ---- actions ----

HistoryPresenter::ViewState HistoryPresenter::viewState() const {
    return {m_selection->rangeStart(),
            m_selection->rangeEnd(),
            m_selection->selectionAnchor(),
            m_selection->displayedMonth(),
            m_hoveredChartDay,
            m_focusedDay,
            m_confirmingDelete};
}

template <typename Action> void HistoryPresenter::act(Action&& action) {
    const ViewState before = viewState();
    action();
    const ViewState after = viewState();
    if (after.rangeStart != m_statistics->rangeStart() || after.rangeEnd != m_statistics->rangeEnd()) {
        recompute();
    }
    if (after != before) {
        emit changed();
    }
}

void HistoryPresenter::showPreviousMonth() {
    act([this] {
        m_selection->showPreviousMonth();
        keepFocusInDisplayedMonth();
    });
}

void HistoryPresenter::showNextMonth() {
    act([this] {
        m_selection->showNextMonth();
        keepFocusInDisplayedMonth();
    });
}

void HistoryPresenter::keepFocusInDisplayedMonth() {
    // The same day of the month, as far as the month and today allow.
    const QDate month = m_selection->displayedMonth();
    const int dayOfMonth = std::min(m_focusedDay.day(), month.daysInMonth());
    m_focusedDay = std::min(QDate(month.year(), month.month(), dayOfMonth), m_state.clock().today());
}

void HistoryPresenter::showMonthOf(QDate day) {
    const QDate month(day.year(), day.month(), 1);
    while (m_selection->displayedMonth() > month) {
        m_selection->showPreviousMonth();
    }
    while (m_selection->displayedMonth() < month && m_selection->canShowNextMonth()) {
        m_selection->showNextMonth();
    }
}

void HistoryPresenter::tapDay(QDate day) {
    act([&] {
        m_keyboardOrigin.reset();
        // The keyboard goes on from a day the tap selected; a tap that is ignored moves nothing.
        if (!m_selection->isDraggingCalendar() && day <= m_state.clock().today()) {
            m_focusedDay = day;
        }
        m_selection->handleTap(day);
    });
}

void HistoryPresenter::applyPreset(Preset preset) {
    act([&] {
        m_keyboardOrigin.reset();
        if (preset == Preset::thisMonth) {
            m_selection->applyThisMonth();
        } else {
            m_selection->applyPreset(presetDaysBack(preset));
        }
        m_focusedDay = m_selection->rangeEnd();
    });
}

void HistoryPresenter::setGridWidth(double width) {
    m_gridWidth = width;
    m_calendar->setGridWidth(width);
}

std::optional<QDate> HistoryPresenter::dayAt(QPointF location) const {
    return m_calendar->dayAt(location);
}

void HistoryPresenter::dragCalendar(QPointF start, QPointF location) {
    act([&] {
        m_keyboardOrigin.reset();
        m_calendar->dragChanged(start, location);
        if (m_selection->isDraggingCalendar()) {
            if (const auto day = m_calendar->dayAt(location); day && *day <= m_state.clock().today()) {
                m_focusedDay = *day;
            }
        }
    });
}

void HistoryPresenter::endCalendarDrag() {
    m_selection->dragEnded();
}

void HistoryPresenter::moveFocus(int days, bool extendRange) {
    act([&] {
        const QDate today = m_state.clock().today();
        const QDate target = std::min(m_focusedDay.addDays(days), today);
        if (!extendRange) {
            m_keyboardOrigin.reset();
            m_focusedDay = target;
            showMonthOf(target);
            return;
        }
        // An extension runs from a pending first tap, else from the day the keyboard was
        // on; it is made of the two taps a user would make.
        if (!m_keyboardOrigin) {
            m_keyboardOrigin = m_selection->selectionAnchor().value_or(m_focusedDay);
        }
        if (const auto anchor = m_selection->selectionAnchor(); anchor != m_keyboardOrigin) {
            if (anchor) {
                m_selection->handleTap(*anchor); // ends another first tap with its own day
            }
            m_selection->handleTap(*m_keyboardOrigin);
        }
        m_selection->handleTap(target);
        m_focusedDay = target;
    });
}

void HistoryPresenter::tapFocusedDay() {
    tapDay(m_focusedDay);
}

bool HistoryPresenter::cancelAnchor() {
    const std::optional<QDate> anchor = m_selection->selectionAnchor();
    if (!anchor) {
        return false;
    }
    // A second tap on the same day ends the selection with the one day the first tap
    // already selected.
    act([&] { m_selection->handleTap(*anchor); });
    return true;
}

void HistoryPresenter::hoverChartDay(std::optional<QDate> day) {
    act([&] { m_hoveredChartDay = day; });
}

void HistoryPresenter::clickChartDay(QDate day) {
    tapDay(day);
}

void HistoryPresenter::askToDelete(const QUuid& id) {
    act([&] { m_confirmingDelete = id; });
}

void HistoryPresenter::cancelDelete() {
    act([&] { m_confirmingDelete.reset(); });
}

void HistoryPresenter::confirmDelete() {
    if (!m_confirmingDelete) {
        return;
    }
    const QUuid id = *m_confirmingDelete;
    m_confirmingDelete.reset();
    for (const models::Session& session : m_state.sessionManager().sessionHistory()) {
        if (session.id == id) {
            // A copy: deleting changes the list it is in.
            const models::Session deleted = session; // NOLINT(performance-unnecessary-copy-initialization)
            m_state.deleteSession(deleted);
            break;
        }
    }
    recompute();
    emit changed();
    // Today's new dose is published on the next turn of the event loop; it is shown as
    // soon as it is there, not when the state is next looked at.
    QMetaObject::invokeMethod(this, &HistoryPresenter::catchUp, Qt::QueuedConnection);
}

void HistoryPresenter::exportCSV(bool withCriteria) {
    const QList<models::Session>& sessions = m_statistics->rangeSessions();
    if (sessions.isEmpty()) {
        return;
    }
    m_state.sessionManager().exportCSV(
        sessions, HistoryDates::exportFileName(m_statistics->rangeStart(), m_statistics->rangeEnd()),
        withCriteria);
}

// ---- the model ----

HistoryModel HistoryPresenter::model() const {
    return {calendarModel(), headerModel(), statisticsModel(), chartModel(), sessionsModel()};
}

HistoryModel::DayCell HistoryPresenter::dayCell(QDate day) const {
    const HistoryCalendar::Cell cell = m_calendar->cell(day, *m_statistics);
    HistoryModel::DayCell shown;
    shown.date = day;
    shown.number = QString::number(day.day());
    shown.dot = cell.colour;
    shown.isInRange = cell.isInRange;
    shown.isRangeEdge = cell.isMultiDayRange && (cell.isRangeStart || cell.isRangeEnd);
    shown.isToday = cell.isToday;
    shown.isFuture = cell.isFuture;
    shown.isAnchor = cell.isAnchor;
    shown.isFocused = day == m_focusedDay;

    shown.spokenName = HistoryDates::spokenDate(day, m_locale);
    if (!cell.isFuture) {
        shown.spokenName +=
            QStringLiteral(", dose ") + models::fixedText(cell.dose, 1) + QStringLiteral(" %");
    }
    QStringList states;
    const auto add = [&states](bool present, const char* words) {
        if (present) {
            states << QLatin1String(words);
        }
    };
    add(cell.isToday, "today");
    add(cell.isFuture, "future");
    add(cell.isInRange, "selected");
    add(cell.isMultiDayRange && cell.isRangeStart, "range start");
    add(cell.isMultiDayRange && cell.isRangeEnd, "range end");
    add(cell.isAnchor, "first day of a new selection");
    shown.spokenStates = states.join(QStringLiteral(", "));
    return shown;
}

QString HistoryPresenter::hint() const {
    if (const auto anchor = m_selection->selectionAnchor()) {
        return QStringLiteral("From ") + m_locale.toString(*anchor, QStringLiteral("MMM d")) +
               QStringLiteral(" — tap end day");
    }
    if (m_selection->rangeStart() == m_selection->rangeEnd()) {
        return QStringLiteral("Tap another day to extend range");
    }
    return QStringLiteral("Tap a day to start a new selection");
}

HistoryModel::Calendar HistoryPresenter::calendarModel() const {
    HistoryModel::Calendar calendar;
    calendar.monthTitle = m_locale.toString(m_selection->displayedMonth(), QStringLiteral("MMMM yyyy"));
    calendar.canShowNextMonth = m_selection->canShowNextMonth();
    // Not localised, like the grid that always starts on Monday.
    calendar.weekdays = {QStringLiteral("Mo"), QStringLiteral("Tu"), QStringLiteral("We"),
                         QStringLiteral("Th"), QStringLiteral("Fr"), QStringLiteral("Sa"),
                         QStringLiteral("Su")};
    for (const CalendarWeek& week : m_calendar->displayedWeeks()) {
        HistoryModel::Week shown;
        for (int column = 0; column < kDaysInWeek; ++column) {
            if (const auto& day = week[static_cast<std::size_t>(column)]) {
                shown[static_cast<std::size_t>(column)] = dayCell(*day);
            }
        }
        calendar.weeks.append(shown);
    }
    calendar.hint = hint();
    calendar.presets = {QStringLiteral("7 days"), QStringLiteral("14 days"), QStringLiteral("30 days"),
                        QStringLiteral("This month")};
    return calendar;
}

HistoryModel::Header HistoryPresenter::headerModel() const {
    const auto& statistics = *m_statistics;
    return {HistoryDates::rangeLabel(statistics.rangeStart(), statistics.rangeEnd(), m_locale),
            countText(statistics.rangeDays(), "day"), countText(statistics.rangeSessions().size(), "session"),
            QStringLiteral("Export CSV"), !statistics.rangeSessions().isEmpty()};
}

HistoryModel::Statistics HistoryPresenter::statisticsModel() const {
    const auto sum = services::CriteriaMeter::Figures::sumOf(m_statistics->rangeSessions());
    return {HistoryTiles::of(*m_statistics),
            QStringLiteral("Cumulative"),
            HistoryTiles::cumulativeText(*m_statistics),
            m_statistics->cumulativeFraction(),
            HistoryTiles::weeklyDose(m_state.warningDose().weeklyPercentage()),
            HistoryTiles::rangeCriteriaText(sum.doses, m_statistics->rangeDays())};
}

HistoryModel::Chart HistoryPresenter::chartModel() const {
    HistoryModel::Chart chart;
    const HistoryChart::Header header = m_chart->header(m_hoveredChartDay);
    chart.title = header.dayText;
    chart.doseText = header.doseText;
    chart.doseColour = header.doseColour.value_or(HistoryColour::secondary);
    chart.sessionText = header.sessionText;
    chart.hint = QStringLiteral("Click to select day");
    for (const HistoryChart::Day& day : m_chart->days()) {
        chart.bars.append({day.day, day.label, day.barHeight, day.colour, m_hoveredChartDay == day.day,
                           m_chart->header(day.day).text()});
    }
    chart.barSpacing = chart.bars.size() > kCrowdedChartBars ? kCrowdedBarSpacing : kBarSpacing;
    return chart;
}

HistoryModel::Sessions HistoryPresenter::sessionsModel() const {
    HistoryModel::Sessions sessions;
    sessions.emptyText = QStringLiteral("No sessions in this range");
    sessions.confirmingDelete = m_confirmingDelete;
    sessions.deleteQuestion = QStringLiteral("Delete session?");
    sessions.cancelLabel = QStringLiteral("Cancel");
    sessions.deleteLabel = QStringLiteral("Delete");
    for (const auto& group : m_statistics->groupedRangeSessions()) {
        const HistoryGroupHeader header = HistoryGroupHeader::of(group, m_locale);
        HistoryModel::SessionGroup shown{header.title, header.doseText(), header.colour, {}};
        for (qsizetype index = 0; index < group.sessions.size(); ++index) {
            shown.rows.append(HistorySessionRow::of(group.sessions[index], group.cumulativeDose[index],
                                                    m_state.clock(), m_locale));
        }
        sessions.groups.append(std::move(shown));
    }
    return sessions;
}

} // namespace kavro::ui
