#pragma once

#include "shell/WindowCommand.h"

#include "model/Prompts.h"

#include <QObject>

class SearchCommand;
class SessionCommands;

// Open...: one document chosen in the "Korvex File Selection" dialog, listed with every
// document it references.
class OpenCommand : public WindowCommand
{
    Q_OBJECT

public:
    OpenCommand(const WindowParts &parts, SessionCommands &session, SearchCommand &search,
                QObject *parent = nullptr);

public slots:
    void Open();

private:
    void OpenChosenDocument();

    SessionCommands &session;
    SearchCommand &search;
    // Settings of the open dialog, kept between uses.
    FileDialogRequest FileSelection;
};
