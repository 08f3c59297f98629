#include "shell/StatusPanels.h"

#include "server/ProgramState.h"
#include "shell/ControlLayout.h"
#include "system/Translation.h"

#include <QLabel>
#include <QPushButton>
#include <QStatusBar>

StatusPanels::StatusPanels(QStatusBar *statusBar, const ProgramState &shown)
    : QObject(statusBar), state(shown), bar(statusBar)
{
    bar->setObjectName(QStringLiteral("StatusBar1"));
    bar->setSizeGripEnabled(true);
    user = new QLabel(bar);
    user->setObjectName(QStringLiteral("StatusBar1Panel1"));
    mode = new QLabel(bar);
    mode->setObjectName(QStringLiteral("StatusBar1Panel2"));
    note = new QLabel(bar);
    note->setObjectName(QStringLiteral("StatusBar1Panel3"));
    for (QLabel *panel : {user, mode, note}) {
        panel->setFrameShape(QFrame::StyledPanel);
        panel->setFrameShadow(QFrame::Sunken);
        panel->setTextFormat(Qt::PlainText);
        bar->addWidget(panel);
    }
    note->hide();
    cancel = new QPushButton(Brevant::tr("Cancel"), bar);
    cancel->setObjectName(QStringLiteral("StatusBar1Cancel"));
    bar->addWidget(cancel);
    cancel->hide();
    connect(cancel, &QPushButton::clicked, this, &StatusPanels::CancelClicked);
    counts = new QLabel(bar);
    counts->setObjectName(QStringLiteral("StatusBar1Counts"));
    counts->setTextFormat(Qt::PlainText);
    bar->addPermanentWidget(counts);
}

void StatusPanels::SetCounts(const QString &text)
{
    counts->setText(text);
}

void StatusPanels::Update()
{
    user->setMinimumWidth(0);
    user->setMaximumWidth(QWIDGETSIZE_MAX);
    user->setText(Brevant::tr("User name: ") + state.CheckOutUser);
    const QString &modeText = state.MultiUserModeText;
    const bool brevantMode = modeText == QStringLiteral("Single User") ||
                             modeText == QStringLiteral("Semi-Isolated") ||
                             modeText == QStringLiteral("Depona");
    mode->setText(Brevant::tr("Multi-User mode: ") +
                  (brevantMode ? QStringLiteral("Brevant") : modeText));
}

void StatusPanels::SetPanelText(const QString &text)
{
    user->setText(text);
}

void StatusPanels::FixProgressWidth()
{
    user->setFixedWidth(qMax(0, TwipsToPixels(PixelsToTwips(bar->window()->width()) - 10)));
}

void StatusPanels::SetNote(const QString &text)
{
    note->setText(text);
    note->setVisible(!text.isEmpty());
}

void StatusPanels::ShowCancel(bool shown)
{
    cancel->setVisible(shown);
}
