#pragma once

#include "model/Prompts.h"

#include <QObject>

class CommandGuard;
class FileListView;
class ListSession;
class SearchCommand;
class SessionCommands;
class StatusPanels;
struct ProgramState;

// Open...: one document chosen in the "Korvex File Selection" dialog, listed with every
// document it references.
class OpenCommand : public QObject
{
    Q_OBJECT

public:
    OpenCommand(ProgramState &state, Prompts &prompts, CommandGuard &guard, ListSession &list,
                FileListView &view, StatusPanels &status, SessionCommands &session,
                SearchCommand &search, QObject *parent = nullptr);

public slots:
    void Open();

private:
    void OpenChosenDocument();

    ProgramState &state;
    Prompts &prompts;
    CommandGuard &guard;
    ListSession &list;
    FileListView &view;
    StatusPanels &status;
    SessionCommands &session;
    SearchCommand &search;
    // Settings of the open dialog, kept between uses.
    FileDialogRequest FileSelection;
};
