#include "shell/SessionCommands.h"
#include "system/Translation.h"

#include "model/FileListModel.h"
#include "shell/frmMain.h"

#include <QAction>
#include <QComboBox>
#include <QGuiApplication>
#include <QSessionManager>

namespace {

// The report's default file name, the same in every language.
const QString ReportTitle = QStringLiteral("Brevant Report");

} // namespace

SessionCommands::SessionCommands(frmMain &mainWindow)
    : window(mainWindow), reportSaver(mainWindow.prompts, *this)
{
    QObject::connect(window.mnuNew, &QAction::triggered, &window, [this] { New(); });
    QObject::connect(window.mnuSave, &QAction::triggered, &window, [this] { Save(false); });
    QObject::connect(window.mnuSaveAs, &QAction::triggered, &window, [this] { Save(true); });
    QObject::connect(window.mnuInfo, &QAction::triggered, &window, [this] { Info(); });
    QObject::connect(window.mnuExit, &QAction::triggered, &window, &QWidget::close);
    QObject::connect(qApp, &QGuiApplication::commitDataRequest, &window,
                     [this](QSessionManager &) { window.EndSession(); });
}

QList<ReportRow> SessionCommands::RowsInDisplayOrder() const
{
    return ReportRowsOf(*window.listModel);
}

QString SessionCommands::Caption() const
{
    return window.windowTitle();
}

void SessionCommands::SetCaption(const QString &caption)
{
    window.setWindowTitle(caption);
}

bool SessionCommands::AskToSaveList()
{
    if (!window.state.Files || window.state.Files->Count() == 0 || window.listSaved)
        return false;
    const PromptAnswer answer =
        window.prompts.MessageBox(Brevant::tr("Do you want to save the display content ?"),
                                  PromptButtons::YesNo, PromptIcon::None, BrevantTitle);
    if (answer == PromptAnswer::No)
        return false;
    // Escape or a closed box keeps the list: only No discards it.
    if (answer != PromptAnswer::Yes)
        return true;
    return !reportSaver.SaveReport(ReportTitle, false);
}

bool SessionCommands::QueryUnload(bool sessionEnding)
{
    if (!AskToSaveList()) {
        ClearFiles(window.state.Files);
        window.state.Files.reset();
        return true;
    }
    // The user wanted the list saved and it was not: keep the window and the list open,
    // unless the desktop session is ending and the window has to go anyway.
    return sessionEnding;
}

void SessionCommands::New()
{
    if (!window.guard.MayRun())
        return;
    const CommandGuard::Hold running(window.guard, CommandGuard::Activity::Running);
    if (AskToSaveList())
        return;
    ClearFiles(window.state.Files);
    window.ClearList();
    window.listSaved = false;
    window.setWindowTitle(UnnamedCaption());
    window.mnuSave->setEnabled(false);
    window.mnuSaveAs->setEnabled(false);
    window.mnuStopDocumentsSearch->setEnabled(false);
    window.mnuOpen->setEnabled(true);
    window.Combo1->setEnabled(true);
    window.SetStatusNote(QString());
    window.UpdateStatusbar();
}

void SessionCommands::Save(bool saveAs)
{
    if (!window.guard.MayRun())
        return;
    const CommandGuard::Hold running(window.guard, CommandGuard::Activity::Running);
    window.listSaved = reportSaver.SaveReport(ReportTitle, saveAs);
}

void SessionCommands::Info()
{
    window.prompts.MessageBox(Brevant::tr("Korvex Brevant Version 1.03\rBuild: 9.00.096e"),
                              PromptButtons::OK, PromptIcon::Information, BrevantTitle);
}
