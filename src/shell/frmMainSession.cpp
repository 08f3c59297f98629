#include "shell/frmMain.h"

#include "reports/ReportSaver.h"

#include <QComboBox>
#include <QGuiApplication>
#include <QSessionManager>

namespace {

const QString ReportTitle = QStringLiteral("Brevant Report");

} // namespace

void frmMain::ConnectSessionCommands()
{
    reportSaver = std::make_unique<ReportSaver>(prompts, *ListViewFiles, *this);
    connect(mnuNew, &QAction::triggered, this, &frmMain::mnuNewClick);
    connect(mnuSave, &QAction::triggered, this, &frmMain::mnuSaveClick);
    connect(mnuSaveAs, &QAction::triggered, this, &frmMain::mnuSaveAsClick);
    connect(mnuInfo, &QAction::triggered, this, &frmMain::mnuInfoClick);
    connect(mnuExit, &QAction::triggered, this, &QWidget::close);
    connect(qApp, &QGuiApplication::commitDataRequest, this,
            [this](QSessionManager &) { EndSession(); });
}

bool frmMain::AskToSaveList()
{
    if (!state.Files || state.Files->Count() == 0)
        return false;
    if (listSaved)
        return false;
    const PromptAnswer answer =
        prompts.MessageBox(QStringLiteral("Do you want to save the display content ?"),
                           PromptButtons::YesNo, PromptIcon::None, BrevantTitle);
    if (answer == PromptAnswer::No)
        return false;
    // Escape or a closed box keeps the list: only No discards it.
    if (answer != PromptAnswer::Yes)
        return true;
    return !reportSaver->SaveReport(ReportTitle, false);
}

void frmMain::mnuNewClick()
{
    // Nothing that changes the list runs inside a search (it runs nested event processing).
    if (searching || AskToSaveList())
        return;
    ClearFiles(state.Files);
    ClearList();
    listSaved = false;
    setWindowTitle(ReportSaver::UnnamedCaption());
    mnuSave->setEnabled(false);
    mnuSaveAs->setEnabled(false);
    mnuStopDocumentsSearch->setEnabled(false);
    mnuOpen->setEnabled(true);
    Combo1->setEnabled(true);
    SetStatusNote(QString());
    UpdateStatusbar();
}

void frmMain::mnuSaveClick()
{
    if (searching)
        return;
    listSaved = reportSaver->SaveReport(ReportTitle, false);
}

void frmMain::mnuSaveAsClick()
{
    if (searching)
        return;
    listSaved = reportSaver->SaveReport(ReportTitle, true);
}

void frmMain::mnuInfoClick()
{
    prompts.MessageBox(QStringLiteral("Korvex Brevant Version 1.03\rBuild: 9.00.096e"),
                       PromptButtons::OK, PromptIcon::Information, BrevantTitle);
}

bool frmMain::QueryUnload()
{
    if (!AskToSaveList()) {
        ClearFiles(state.Files);
        state.Files.reset();
        return true;
    }
    // The user wanted the list saved and it was not: keep the window and the list open,
    // unless the desktop session is ending and the window has to go anyway.
    return sessionEnding;
}

void frmMain::EndSession()
{
    sessionEnding = true;
    close();
}
