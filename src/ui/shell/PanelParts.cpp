#include "ui/shell/PanelParts.h"

#include "core/AppState.h"
#include "models/NumberText.h"
#include "platform/Updater.h"
#include "services/AudioMeasurementService.h"
#include "services/DoseCalculator.h"
#include "services/SessionManager.h"

#include <QLabel>
#include <QPainter>
#include <QPixmap>
#include <QPushButton>
#include <QVBoxLayout>

namespace kavro::ui {

namespace {

// A plain panel: the band, the dose, the level while measuring and the commands.
class PlainPanel final : public QWidget {
public:
    PlainPanel(core::AppState& state, platform::Updater& updater, PanelActions actions, QWidget* parent)
        : QWidget(parent), m_state(state) {
        setFixedWidth(320);
        auto* layout = new QVBoxLayout(this);
        m_band = new QLabel(this);
        m_level = new QLabel(this);
        m_session = new QPushButton(this);
        layout->addWidget(m_band);
        layout->addWidget(m_level);
        layout->addWidget(m_session);
        const auto addButton = [this, layout](const QString& text, std::function<void()> action) {
            auto* button = new QPushButton(text, this);
            connect(button, &QPushButton::clicked, this, [action] { action(); });
            layout->addWidget(button);
            return button;
        };
        addButton(QStringLiteral("Settings"), actions.openSettings);
        addButton(QStringLiteral("History"), actions.openHistory);
        auto* updates = addButton(QStringLiteral("Updates"), [&updater] { updater.checkForUpdates(); });
        updates->setEnabled(updater.canCheckForUpdates());
        updates->setToolTip(QStringLiteral("Updates come from your package manager"));
        addButton(QStringLiteral("Quit"), actions.quit);
        connect(m_session, &QPushButton::clicked, this, [this] {
            if (m_state.sessionManager().currentSession()) {
                m_state.endSession();
            } else {
                m_state.startSession(QStringLiteral("Manual Session"));
            }
        });
        connect(&state, &core::AppState::changed, this, &PlainPanel::refresh);
        refresh();
    }

private:
    void refresh() {
        const auto& dose = m_state.doseCalculator();
        m_band->setText(QStringLiteral("%1 %2%").arg(models::label(dose.doseLevel()),
                                                     models::fixedText(dose.dosePercentage(), 1)));
        const auto& audio = m_state.audioService();
        m_level->setVisible(audio.isRunning());
        m_level->setText(models::fixedText(audio.currentSPL(), 1) + QStringLiteral(" dBA"));
        m_session->setText(m_state.sessionManager().currentSession() ? QStringLiteral("End Session")
                                                                     : QStringLiteral("Start Session"));
    }

    core::AppState& m_state;
    QLabel* m_band;
    QLabel* m_level;
    QPushButton* m_session;
};

const char* symbolNames[] = {"ear", "ear.fill", "ear.trianglebadge.exclamationmark",
                             "exclamationmark.triangle.fill"};

} // namespace

QWidget* createPanel(core::AppState& state, platform::Updater& updater, PanelActions actions,
                     QWidget* parent) {
    return new PlainPanel(state, updater, std::move(actions), parent);
}

QIcon bandIcon(models::DoseLevel level) {
    QPixmap pixmap(32, 32);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setBrush(QColor::fromRgb(static_cast<QRgb>(models::colour(level).rgb)));
    painter.setPen(Qt::NoPen);
    painter.drawEllipse(QRect(2, 2, 28, 28));
    painter.end();
    return QIcon(pixmap);
}

QString bandSymbolName(models::DoseLevel level) {
    return QString::fromLatin1(symbolNames[static_cast<int>(level)]);
}

} // namespace kavro::ui
