// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/panel/PanelWidget.h"

#include "ui/panel/PanelPresenter.h"
#include "ui/style/SymbolIcons.h"
#include "ui/style/TextStyle.h"
#include "ui/widgets/ButtonLook.h"
#include "ui/widgets/Divider.h"
#include "ui/widgets/DoseBar.h"
#include "ui/widgets/PeakFlashRow.h"
#include "ui/widgets/SymbolLabel.h"

#include <QEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QPushButton>
#include <QToolButton>
#include <QVBoxLayout>

namespace kavro::ui {

namespace {

constexpr int kMargin = 14;
constexpr int kSectionSpacing = 10;
constexpr int kRowSpacing = 4;
constexpr int kBandSymbolSize = 34;
constexpr int kFooterIconSize = 14;
const char* const kSymbolProperty = "kavroSymbol";
const char* const kColourProperty = "kavroColour";

SymbolLabel* label(QWidget* parent, const QFont& font, ColourRole colour = ColourRole::primary,
                   const char* objectName = nullptr) {
    auto* created = new SymbolLabel(parent);
    created->setFont(font);
    created->setColour(colour);
    if (objectName) {
        created->setObjectName(QLatin1String(objectName));
    }
    return created;
}

void setContent(SymbolLabel* target, const PanelText& content) {
    target->setText(content.text);
    target->setColour(content.colour);
    target->setSymbol(content.symbol);
}

// Shows the label with the content, or hides it when there is none.
void setOptional(SymbolLabel* target, const std::optional<PanelText>& content) {
    if (content) {
        setContent(target, *content);
    }
    target->setVisible(content.has_value());
}

QHBoxLayout* row(QVBoxLayout* into) {
    auto* layout = new QHBoxLayout;
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(8);
    into->addLayout(layout);
    return layout;
}

QVBoxLayout* column(QWidget* owner) {
    auto* layout = new QVBoxLayout(owner);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(kRowSpacing);
    return layout;
}

} // namespace

PanelWidget::PanelWidget(core::AppState& state, platform::Updater& updater, PanelActions actions,
                         QWidget* parent)
    : QWidget(parent), m_presenter(new PanelPresenter(state, updater, this)), m_actions(std::move(actions)) {
    setObjectName(QStringLiteral("panel"));
    setAccessibleName(QStringLiteral("Kavro"));

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(kMargin, kMargin, kMargin, kMargin);
    layout->setSpacing(kSectionSpacing);
    // The panel is as wide as agreed and exactly as tall as the sections it shows:
    // when one appears or goes, the window around it grows or shrinks with it.
    layout->setSizeConstraint(QLayout::SetFixedSize);
    layout->addSpacerItem(new QSpacerItem(kWidth - 2 * kMargin, 0, QSizePolicy::Fixed, QSizePolicy::Fixed));

    addSection(buildHeader(), false);
    addSection(buildDoseBar(), true);
    m_currentLevelSection = buildCurrentLevel();
    m_currentLevelDivider = addSection(m_currentLevelSection, true);
    m_statisticsSection = buildStatistics();
    m_statisticsDivider = addSection(m_statisticsSection, true);
    m_sessionSection = buildActiveSession();
    m_sessionDivider = addSection(m_sessionSection, true);
    m_todaySection = buildToday();
    m_todayDivider = addSection(m_todaySection, true);
    addSection(buildCommands(), true);
    addSection(buildFooter(), false);

    // Ten times a second, also the pace of the dose and its statistics. A closed panel
    // does no work at all: it reads everything afresh when it opens.
    m_refreshPacer = new RefreshPacer(*this, [this] { apply(m_presenter->model()); });
    connect(m_presenter, &PanelPresenter::changed, m_refreshPacer, &RefreshPacer::request);
    connect(m_presenter, &PanelPresenter::peakFlashChanged, m_peakFlash, &PeakFlashRow::setShown);
    apply(m_presenter->model());
}

PanelWidget::~PanelWidget() = default;

Divider* PanelWidget::addSection(QWidget* section, bool withDivider) {
    // A section takes the panel's width and never asks for more: whatever one of its
    // texts says, the panel stays as wide as agreed.
    section->setSizePolicy(QSizePolicy::Ignored, section->sizePolicy().verticalPolicy());
    layout()->addWidget(section);
    if (!withDivider) {
        return nullptr;
    }
    auto* divider = new Divider(this);
    divider->setObjectName(section->objectName() + QStringLiteral("Divider"));
    layout()->addWidget(divider);
    return divider;
}

// ---- building ----

QWidget* PanelWidget::buildHeader() {
    auto* section = new QWidget(this);
    section->setObjectName(QStringLiteral("header"));
    auto* layout = new QHBoxLayout(section);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(10);

    m_bandSymbol = label(section, font(), ColourRole::green, "bandSymbol");
    m_bandSymbol->setSymbolSize(kBandSymbolSize);
    layout->addWidget(m_bandSymbol);

    auto* titles = new QVBoxLayout;
    titles->setSpacing(1);
    m_title = label(section, styledFont(font(), TextStyle::headline), ColourRole::primary, "title");
    m_bandLabel = label(section, styledFont(font(), TextStyle::small), ColourRole::green, "bandLabel");
    // The dose is never cut: on a day of thousands of percent the titles give way.
    m_title->setElided(true);
    m_bandLabel->setElided(true);
    titles->addWidget(m_title);
    titles->addWidget(m_bandLabel);
    layout->addLayout(titles, 1);

    m_dose = label(section, styledFont(font(), TextStyle::large), ColourRole::green, "dose");
    m_dose->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    layout->addWidget(m_dose);
    return section;
}

QWidget* PanelWidget::buildDoseBar() {
    auto* section = new QWidget(this);
    section->setObjectName(QStringLiteral("doseBarSection"));
    auto* layout = column(section);
    layout->setSpacing(6);
    m_doseBar = new DoseBar(section);
    m_doseBar->setObjectName(QStringLiteral("doseBar"));
    layout->addWidget(m_doseBar);
    // The time and the level it is worked out at read as one sentence over two lines.
    auto* timeLeft = new QVBoxLayout;
    timeLeft->setSpacing(1);
    m_timeLeft = label(section, styledFont(font(), TextStyle::caption), ColourRole::secondary, "timeLeft");
    timeLeft->addWidget(m_timeLeft);
    m_timeLeftBasis =
        label(section, styledFont(font(), TextStyle::caption), ColourRole::secondary, "timeLeftBasis");
    timeLeft->addWidget(m_timeLeftBasis);
    m_criteriaLine =
        label(section, styledFont(font(), TextStyle::caption), ColourRole::secondary, "criteriaLine");
    timeLeft->addWidget(m_criteriaLine);
    layout->addLayout(timeLeft);
    return section;
}

QWidget* PanelWidget::buildCurrentLevel() {
    auto* section = new QWidget(this);
    section->setObjectName(QStringLiteral("currentLevel"));
    auto* layout = column(section);

    auto* first = row(layout);
    m_levelLabel = label(section, font(), ColourRole::secondary, "levelLabel");
    first->addWidget(m_levelLabel);
    first->addStretch(1);
    QFont mono = fixedWidthFont(font(), TextStyle::body, QFont::Medium);
    mono.setPointSizeF(mono.pointSizeF() * 1.15);
    m_dBA = label(section, mono, ColourRole::primary, "dBA");
    m_dBA->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    first->addWidget(m_dBA);

    auto* second = row(layout);
    m_dBC = label(section, styledFont(font(), TextStyle::small), ColourRole::secondary, "dBC");
    second->addWidget(m_dBC);
    m_lowFrequencyBadge = label(section, styledFont(font(), TextStyle::smallestCaption), ColourRole::yellow,
                                "lowFrequencyBadge");
    m_lowFrequencyBadge->setVisible(false);
    second->addWidget(m_lowFrequencyBadge);
    second->addStretch(1);

    m_source = label(section, styledFont(font(), TextStyle::smallestCaption), ColourRole::tertiary,
                     "measuredSource");
    layout->addWidget(m_source);

    m_peakFlash = new PeakFlashRow(section);
    m_peakFlash->setObjectName(QStringLiteral("peakFlash"));
    m_peakFlash->setFont(styledFont(font(), TextStyle::body, QFont::DemiBold));
    m_peakFlash->setColour(ColourRole::red);
    layout->addWidget(m_peakFlash);
    return section;
}

QWidget* PanelWidget::buildStatistics() {
    auto* section = new QWidget(this);
    section->setObjectName(QStringLiteral("statistics"));
    auto* layout = column(section);
    m_statisticsTitle = label(section, font(), ColourRole::secondary, "statisticsTitle");
    layout->addWidget(m_statisticsTitle);

    auto* grid = new QGridLayout;
    grid->setContentsMargins(0, 2, 0, 0);
    grid->setHorizontalSpacing(8);
    grid->setVerticalSpacing(8);
    const QFont valueFont = styledFont(font(), TextStyle::body, QFont::Medium);
    for (std::size_t index = 0; index < m_cells.size(); ++index) {
        auto* cell = new QVBoxLayout;
        cell->setSpacing(1);
        auto& widgets = m_cells[index];
        widgets.label = label(section, styledFont(font(), TextStyle::small), ColourRole::secondary);
        widgets.value = label(section, valueFont, ColourRole::primary);
        widgets.label->setObjectName(QStringLiteral("statisticLabel%1").arg(index));
        widgets.value->setObjectName(QStringLiteral("statisticValue%1").arg(index));
        // Three equal columns whatever the words, so the panel keeps its width.
        widgets.label->setElided(true);
        widgets.value->setElided(true);
        cell->addWidget(widgets.label);
        cell->addWidget(widgets.value);
        grid->addLayout(cell, static_cast<int>(index / 3), static_cast<int>(index % 3));
    }
    for (int columnIndex = 0; columnIndex < 3; ++columnIndex) {
        grid->setColumnStretch(columnIndex, 1);
    }
    layout->addLayout(grid);
    return section;
}

QWidget* PanelWidget::buildActiveSession() {
    auto* section = new QWidget(this);
    section->setObjectName(QStringLiteral("activeSession"));
    auto* layout = column(section);
    const QFont caption = styledFont(font(), TextStyle::caption);

    auto* first = row(layout);
    m_sessionTitle = label(section, styledFont(font(), TextStyle::body, QFont::Medium), ColourRole::primary,
                           "sessionTitle");
    m_sessionTitle->setSymbol(QStringLiteral("circle.fill"));
    m_sessionTitle->setSymbolColour(ColourRole::red);
    m_sessionTitle->setSymbolSize(8);
    first->addWidget(m_sessionTitle);
    first->addStretch(1);
    m_sessionDuration = label(section, font(), ColourRole::primary, "sessionDuration");
    first->addWidget(m_sessionDuration);

    auto* second = row(layout);
    m_workstation = label(section, caption, ColourRole::primary, "workstation");
    m_workstation->setElided(true);
    second->addWidget(m_workstation, 1);
    m_sessionAverage = label(section, caption, ColourRole::secondary, "sessionAverage");
    second->addWidget(m_sessionAverage);
    m_sessionPeak = label(section, caption, ColourRole::secondary, "sessionPeak");
    second->addWidget(m_sessionPeak);

    auto* third = row(layout);
    m_sessionDose = label(section, caption, ColourRole::primary, "sessionDose");
    third->addWidget(m_sessionDose);
    third->addStretch(1);
    m_sessionPeakDBC = label(section, caption, ColourRole::secondary, "sessionPeakDBC");
    third->addWidget(m_sessionPeakDBC);

    m_badgeRow = new QWidget(section);
    auto* badges = new QHBoxLayout(m_badgeRow);
    badges->setContentsMargins(0, 0, 0, 0);
    badges->setSpacing(10);
    for (std::size_t index = 0; index < m_badges.size(); ++index) {
        m_badges[index] = label(m_badgeRow, caption);
        m_badges[index]->setObjectName(QStringLiteral("sessionBadge%1").arg(index));
        badges->addWidget(m_badges[index]);
    }
    badges->addStretch(1);
    layout->addWidget(m_badgeRow);
    return section;
}

QWidget* PanelWidget::buildToday() {
    auto* section = new QWidget(this);
    section->setObjectName(QStringLiteral("today"));
    auto* layout = column(section);
    const QFont caption = styledFont(font(), TextStyle::caption);

    auto* first = row(layout);
    m_todayTitle =
        label(section, styledFont(font(), TextStyle::body, QFont::Medium), ColourRole::primary, "todayTitle");
    first->addWidget(m_todayTitle);
    first->addStretch(1);
    m_todayCount = label(section, caption, ColourRole::secondary, "todayCount");
    first->addWidget(m_todayCount);
    m_todayDuration = label(section, caption, ColourRole::secondary, "todayDuration");
    first->addWidget(m_todayDuration);

    m_todayPeakRow = new QWidget(section);
    auto* peaks = new QHBoxLayout(m_todayPeakRow);
    peaks->setContentsMargins(0, 0, 0, 0);
    peaks->setSpacing(10);
    m_todayPeak = label(m_todayPeakRow, caption, ColourRole::secondary, "todayPeak");
    m_todayCount140 = label(m_todayPeakRow, caption, ColourRole::red, "todayCount140");
    m_todayCount135 = label(m_todayPeakRow, caption, ColourRole::orange, "todayCount135");
    peaks->addWidget(m_todayPeak);
    peaks->addWidget(m_todayCount140);
    peaks->addWidget(m_todayCount135);
    peaks->addStretch(1);
    layout->addWidget(m_todayPeakRow);

    m_todayInstantaneous = label(section, caption, ColourRole::red, "todayInstantaneous");
    layout->addWidget(m_todayInstantaneous);
    m_conservative = label(section, caption, ColourRole::blue, "conservativeMode");
    layout->addWidget(m_conservative);
    return section;
}

QWidget* PanelWidget::buildCommands() {
    auto* section = new QWidget(this);
    section->setObjectName(QStringLiteral("commands"));
    auto* layout = column(section);
    layout->setSpacing(6);

    m_historyProblem =
        label(section, styledFont(font(), TextStyle::caption), ColourRole::orange, "historyProblem");
    m_historyProblem->setElided(true);
    m_historyProblem->setVisible(false);
    layout->addWidget(m_historyProblem);

    m_calibrationNotice =
        label(section, styledFont(font(), TextStyle::caption), ColourRole::secondary, "calibrationNotice");
    m_calibrationNotice->setElided(true);
    m_calibrationNotice->setVisible(false);
    layout->addWidget(m_calibrationNotice);

    m_sessionButton = new QPushButton(section);
    m_sessionButton->setObjectName(QStringLiteral("sessionButton"));
    m_sessionButton->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    connect(m_sessionButton, &QPushButton::clicked, m_presenter, &PanelPresenter::toggleSession);
    layout->addWidget(m_sessionButton);

    m_resetButton = new QPushButton(section);
    m_resetButton->setObjectName(QStringLiteral("resetButton"));
    m_resetButton->setFlat(true);
    connect(m_resetButton, &QPushButton::clicked, m_presenter, &PanelPresenter::askToResetDose);
    layout->addWidget(m_resetButton);

    // Asked in place: nothing is reset until "Reset" is pressed.
    m_confirmation = new QWidget(section);
    m_confirmation->setObjectName(QStringLiteral("resetConfirmation"));
    auto* confirmation = new QHBoxLayout(m_confirmation);
    confirmation->setContentsMargins(0, 0, 0, 0);
    m_resetQuestion = label(m_confirmation, font(), ColourRole::primary, "resetQuestion");
    confirmation->addWidget(m_resetQuestion);
    confirmation->addStretch(1);
    m_cancelButton = new QPushButton(m_confirmation);
    m_cancelButton->setObjectName(QStringLiteral("cancelResetButton"));
    connect(m_cancelButton, &QPushButton::clicked, m_presenter, &PanelPresenter::cancelReset);
    confirmation->addWidget(m_cancelButton);
    m_confirmButton = new QPushButton(m_confirmation);
    m_confirmButton->setObjectName(QStringLiteral("confirmResetButton"));
    m_confirmButton->setFont(styledFont(font(), TextStyle::body, QFont::Medium));
    connect(m_confirmButton, &QPushButton::clicked, m_presenter, &PanelPresenter::confirmReset);
    confirmation->addWidget(m_confirmButton);
    m_confirmation->setVisible(false);
    layout->addWidget(m_confirmation);
    return section;
}

QWidget* PanelWidget::buildFooter() {
    auto* section = new QWidget(this);
    section->setObjectName(QStringLiteral("footer"));
    auto* layout = new QHBoxLayout(section);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    const QFont subheadline = styledFont(font(), TextStyle::subheadline);
    const auto footerButton = [&](const char* objectName) {
        auto* button = new QToolButton(section);
        button->setObjectName(QLatin1String(objectName));
        button->setAutoRaise(true);
        button->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
        button->setIconSize(QSize(kFooterIconSize, kFooterIconSize));
        button->setFont(subheadline);
        return button;
    };
    m_settingsButton = footerButton("settingsButton");
    m_historyButton = footerButton("historyButton");
    m_updatesButton = footerButton("updatesButton");
    m_quitButton = footerButton("quitButton");
    connect(m_settingsButton, &QToolButton::clicked, this, [this] {
        if (m_actions.openSettings) {
            m_actions.openSettings();
        }
    });
    connect(m_historyButton, &QToolButton::clicked, this, [this] {
        if (m_actions.openHistory) {
            m_actions.openHistory();
        }
    });
    connect(m_updatesButton, &QToolButton::clicked, m_presenter, &PanelPresenter::checkForUpdates);
    connect(m_quitButton, &QToolButton::clicked, this, [this] {
        if (m_actions.quit) {
            m_actions.quit();
        }
    });
    layout->addWidget(m_settingsButton);
    layout->addStretch(1);
    layout->addWidget(m_historyButton);
    layout->addStretch(1);
    layout->addWidget(m_updatesButton);
    layout->addStretch(1);
    layout->addWidget(m_quitButton);
    return section;
}

// ---- refreshing ----

void PanelWidget::refreshNow() {
    m_refreshPacer->refreshNow();
    // Settle the size now, so the window does not open at the size of last time.
    layout()->activate();
}

void PanelWidget::showEvent(QShowEvent* event) {
    refreshNow();
    QWidget::showEvent(event);
}

void PanelWidget::hideEvent(QHideEvent* event) {
    m_presenter->resetViewState();
    QWidget::hideEvent(event);
}

void PanelWidget::changeEvent(QEvent* event) {
    if (event->type() == QEvent::PaletteChange) {
        retintButtons();
    }
    QWidget::changeEvent(event);
}

void PanelWidget::apply(const PanelModel& model) {
    applyHeader(model.header);
    applyDoseBar(model.doseBar);

    m_currentLevelSection->setVisible(model.currentLevel.has_value());
    m_currentLevelDivider->setVisible(model.currentLevel.has_value());
    if (model.currentLevel) {
        applyCurrentLevel(*model.currentLevel);
    }
    m_statisticsSection->setVisible(model.statistics.has_value());
    m_statisticsDivider->setVisible(model.statistics.has_value());
    if (model.statistics) {
        applyStatistics(*model.statistics);
    }
    m_sessionSection->setVisible(model.activeSession.has_value());
    m_sessionDivider->setVisible(model.activeSession.has_value());
    if (model.activeSession) {
        applyActiveSession(*model.activeSession);
    }
    m_todaySection->setVisible(model.today.has_value());
    m_todayDivider->setVisible(model.today.has_value());
    if (model.today) {
        applyToday(*model.today);
    }
    applyCommands(model.commands);
    applyFooter(model.footer);
    m_shown = model;
}

void PanelWidget::applyHeader(const PanelModel::Header& header) {
    m_bandSymbol->setSymbol(header.symbol);
    m_bandSymbol->setColour(header.band.colour);
    m_bandSymbol->setSpokenName(QStringLiteral("Dose band: ") + header.band.text);
    m_title->setText(header.title);
    setContent(m_bandLabel, header.band);
    setContent(m_dose, header.dose);
}

void PanelWidget::applyDoseBar(const PanelModel::DoseBar& bar) {
    m_doseBar->setFraction(bar.fillFraction);
    m_doseBar->setColour(bar.colour);
    if (m_doseBar->accessibleName() != bar.accessibleText) {
        m_doseBar->setAccessibleName(bar.accessibleText);
    }
    setOptional(m_timeLeft, bar.timeLeft);
    m_timeLeftBasis->setText(bar.timeLeftBasis);
    m_timeLeftBasis->setVisible(!bar.timeLeftBasis.isEmpty());
    m_criteriaLine->setText(bar.criteriaLine);
    m_criteriaLine->setVisible(!bar.criteriaLine.isEmpty());
}

void PanelWidget::applyCurrentLevel(const PanelModel::CurrentLevel& level) {
    setContent(m_levelLabel, level.label);
    m_dBA->setText(level.dBA);
    m_dBC->setText(level.dBC);
    setOptional(m_lowFrequencyBadge, level.lowFrequencyBadge);
    m_source->setText(level.source);
    // The flash keeps its last words while it fades out.
    if (level.peakFlash) {
        setContent(m_peakFlash, *level.peakFlash);
    }
}

void PanelWidget::applyStatistics(const PanelModel::Statistics& statistics) {
    setContent(m_statisticsTitle, statistics.title);
    for (std::size_t index = 0; index < m_cells.size(); ++index) {
        m_cells[index].label->setText(statistics.cells[index].label);
        setContent(m_cells[index].value, statistics.cells[index].value);
        m_cells[index].value->setSpokenName(statistics.cells[index].spokenValue);
    }
}

void PanelWidget::applyActiveSession(const PanelModel::ActiveSession& session) {
    m_sessionTitle->setText(session.title);
    m_sessionDuration->setText(session.duration);
    setContent(m_workstation, session.workstation);
    m_sessionAverage->setText(session.average);
    m_sessionPeak->setText(session.peak);
    m_sessionDose->setText(session.sessionDose);
    setOptional(m_sessionPeakDBC, session.peakDBC);
    for (std::size_t index = 0; index < m_badges.size(); ++index) {
        const bool present = index < session.peakBadges.size();
        setOptional(m_badges[index], present ? std::optional(session.peakBadges[index]) : std::nullopt);
    }
    m_badgeRow->setVisible(!session.peakBadges.empty());
}

void PanelWidget::applyToday(const PanelModel::Today& today) {
    setContent(m_todayTitle, today.title);
    const auto plain = [](const std::optional<QString>& text) {
        return text ? std::optional(PanelText{*text, ColourRole::secondary, {}}) : std::nullopt;
    };
    setOptional(m_todayCount, plain(today.sessionCount));
    setOptional(m_todayDuration, plain(today.totalDuration));
    setOptional(m_todayPeak, today.peak);
    setOptional(m_todayCount140, today.count140);
    setOptional(m_todayCount135, today.count135);
    m_todayPeakRow->setVisible(today.peak.has_value());
    setOptional(m_todayInstantaneous, today.instantaneousPeaks);
    setOptional(m_conservative, today.conservativeMode);
}

void PanelWidget::applyCommands(const PanelModel::Commands& commands) {
    setOptional(m_historyProblem, commands.historyProblem);
    setOptional(m_calibrationNotice, commands.calibrationNotice);
    setButton(m_sessionButton, commands.sessionButton);
    setButton(m_resetButton, commands.resetButton);
    m_resetQuestion->setText(commands.resetQuestion);
    setButton(m_cancelButton, {commands.cancelButton, ColourRole::primary, {}});
    setButton(m_confirmButton, commands.confirmButton);
    m_resetButton->setVisible(!commands.confirmingReset);
    m_confirmation->setVisible(commands.confirmingReset);
}

void PanelWidget::applyFooter(const PanelModel::Footer& footer) {
    setButton(m_settingsButton, footer.settings);
    setButton(m_historyButton, footer.history);
    setButton(m_updatesButton, footer.updates);
    setButton(m_quitButton, footer.quit);
    m_updatesButton->setEnabled(footer.updatesEnabled);
    if (m_updatesButton->toolTip() != footer.updatesToolTip) {
        m_updatesButton->setToolTip(footer.updatesToolTip);
    }
}

void PanelWidget::setButton(QAbstractButton* button, const PanelText& content) {
    if (content.colour == ColourRole::red) {
        // Red words on a style's grey button face read at 3 to 1 on dark desktops; a
        // filled red button reads on every desktop.
        ButtonLook::apply(button, content.text, content.symbol, ButtonLook::Tint::red);
        return;
    }
    if (button->text() != content.text) {
        button->setText(content.text);
    }
    const int colour = static_cast<int>(content.colour);
    if (button->property(kColourProperty).toInt() != colour || !button->property(kColourProperty).isValid()) {
        button->setProperty(kColourProperty, colour);
        // Only a coloured button gets a palette of its own; the others follow the desktop's.
        QPalette palette;
        if (content.colour != ColourRole::primary) {
            palette.setColor(QPalette::ButtonText, roleColour(content.colour, this->palette()));
        }
        button->setPalette(palette);
    }
    // A new icon makes the button measure itself again, so it is set only when the
    // symbol changes.
    if (button->property(kSymbolProperty).toString() != content.symbol) {
        button->setProperty(kSymbolProperty, content.symbol);
        button->setIcon(
            content.symbol.isEmpty()
                ? QIcon()
                : SymbolIcons::icon(content.symbol, button->palette().color(QPalette::ButtonText)));
    }
}

void PanelWidget::retintButtons() {
    for (QAbstractButton* button : findChildren<QAbstractButton*>()) {
        button->setProperty(kSymbolProperty, QVariant());
        button->setProperty(kColourProperty, QVariant());
    }
    ButtonLook::refreshAll(this);
    apply(m_shown);
}

} // namespace kavro::ui
