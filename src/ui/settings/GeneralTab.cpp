// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/settings/GeneralTab.h"

#include "ui/settings/ExposureSettings.h"
#include "ui/settings/GeneralSettings.h"
#include "ui/settings/SettingCheckBox.h"
#include "ui/style/TextStyle.h"
#include "ui/widgets/FormSection.h"
#include "ui/widgets/WrappedText.h"

#include <QLabel>
#include <QVBoxLayout>

namespace kavro::ui {

namespace {

// A switch with its caption under it, in one row.
void addSwitch(FormSection* section, core::AppState& state, const SettingSwitch& setting,
               const QString& note = {}) {
    QWidget* row = section->addRowWidget();
    auto* column = new QVBoxLayout;
    column->setSpacing(3);
    column->addWidget(new SettingCheckBox(state, setting, row));
    if (!note.isEmpty()) {
        column->addWidget(new WrappedText(note, ColourRole::secondary,
                                          styledFont(section->font(), TextStyle::caption), row));
    }
    row->layout()->addItem(column);
}

} // namespace

GeneralTab::GeneralTab(core::AppState& state, const BuildInfo& build, QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("generalTab"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(16, 14, 16, 16);
    layout->setSpacing(18);

    auto* sessions = new FormSection(QStringLiteral("Sessions"), this);
    addSwitch(sessions, state, GeneralSettings::autoStartSessions());
    addSwitch(sessions, state, GeneralSettings::launchAtLogin(), GeneralSettings::launchAtLoginCaption());
    layout->addWidget(sessions);

    auto* notifications = new FormSection(QStringLiteral("Notifications"), this);
    addSwitch(notifications, state, GeneralSettings::timeSensitiveNotifications(),
              GeneralSettings::timeSensitiveCaption());
    layout->addWidget(notifications);
    layout->addWidget(new ExposureSettings(state, this));

    auto* about = new FormSection(QStringLiteral("About"), this);
    about->setObjectName(QStringLiteral("aboutSection"));
    for (const auto& entry : GeneralSettings::aboutRows(build)) {
        auto* value = new QLabel(about);
        value->setObjectName(QStringLiteral("about") + entry.label);
        if (entry.link.isEmpty()) {
            value->setText(entry.text);
            value->setTextInteractionFlags(Qt::TextSelectableByMouse);
        } else {
            value->setTextFormat(Qt::RichText);
            value->setText(QStringLiteral("<a href=\"%1\">%2</a>")
                               .arg(entry.link.toHtmlEscaped(), entry.text.toHtmlEscaped()));
            value->setOpenExternalLinks(true);
            value->setTextInteractionFlags(Qt::TextBrowserInteraction);
        }
        value->setAccessibleName(entry.text);
        about->addLabelledRow(entry.label, value);
    }
    layout->addWidget(about);
    layout->addStretch(1);
}

} // namespace kavro::ui
