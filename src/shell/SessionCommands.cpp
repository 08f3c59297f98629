#include "shell/SessionCommands.h"

#include "model/FileListModel.h"
#include "server/ProgramState.h"
#include "shell/CommandGuard.h"
#include "shell/FileListView.h"
#include "shell/ListSession.h"
#include "shell/StatusPanels.h"
#include "system/Translation.h"

namespace {

// The report's default file name, the same in every language.
const QString ReportTitle = QStringLiteral("Brevant Report");

} // namespace

SessionCommands::SessionCommands(const WindowParts &parts, QObject *parent)
    : WindowCommand(parts, parent),
      reportSaver(parts.prompts, [this] { return ReportRowsOf(*view.Model(), view.RowsShown()); })
{
}

bool SessionCommands::SaveReport(bool saveAs)
{
    const QString written = reportSaver.SaveReport(ReportTitle, saveAs, list.ReportPath());
    if (!written.isEmpty())
        list.SetReportPath(written);
    return !written.isEmpty();
}

bool SessionCommands::AskToSaveList()
{
    if (view.Model()->Count() == 0 || list.Saved())
        return false;
    const PromptAnswer answer =
        prompts.MessageBox(Brevant::tr("Do you want to save the display content ?"),
                           PromptButtons::YesNo, PromptIcon::None, BrevantTitle);
    if (answer == PromptAnswer::No)
        return false;
    // Escape or a closed box keeps the list: only No discards it.
    if (answer != PromptAnswer::Yes)
        return true;
    return !SaveReport(false);
}

bool SessionCommands::QueryUnload(bool sessionEnding)
{
    if (!AskToSaveList()) {
        view.Model()->Clear();
        return true;
    }
    // The user wanted the list saved and it was not: keep the window and the list open,
    // unless the desktop session is ending and the window has to go anyway.
    return sessionEnding;
}

void SessionCommands::New()
{
    guard.Run(CommandGuard::Activity::Running, [this] {
        if (AskToSaveList())
            return;
        view.Model()->Clear();
        list.SetSaved(false);
        list.SetReportPath(QString());
        list.SetStage(ListStage::Empty);
        status.SetNote(QString());
        status.Update();
    });
}

void SessionCommands::Save()
{
    guard.Run(CommandGuard::Activity::Running, [this] { list.SetSaved(SaveReport(false)); });
}

void SessionCommands::SaveAs()
{
    guard.Run(CommandGuard::Activity::Running, [this] { list.SetSaved(SaveReport(true)); });
}

void SessionCommands::Info()
{
    prompts.MessageBox(Brevant::tr("Korvex Brevant Version 1.03\rBuild: 9.00.096e"),
                       PromptButtons::OK, PromptIcon::Information, BrevantTitle);
}
