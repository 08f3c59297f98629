#pragma once

#include <QObject>

class CommandGuard;
class FileListView;
class ListSession;
class Prompts;
class StatusPanels;
struct ProgramState;

// What every command of the window works with: the program's state, the dialogs, the guard
// that says whether a command may run now, the list's session, the list view and the status
// bar. The window gives the same parts to each command object.
struct WindowParts
{
    ProgramState &state;
    Prompts &prompts;
    CommandGuard &guard;
    ListSession &list;
    FileListView &view;
    StatusPanels &status;
};

// A command object of the window, holding the parts it works with under their own names.
class WindowCommand : public QObject, protected WindowParts
{
protected:
    explicit WindowCommand(const WindowParts &parts, QObject *parent = nullptr)
        : QObject(parent), WindowParts(parts)
    {
    }
};
