#pragma once

#include "model/ListFilter.h"

#include <QObject>

class FileListView;
class Prompts;
class StatusPanels;
class QModelIndex;

// What the list offers besides the reservation commands: copying its rows or paths, opening
// a row's folder, and the counts in the status bar.
class ListCommands : public QObject
{
    Q_OBJECT

public:
    ListCommands(Prompts &prompts, FileListView &view, StatusPanels &status,
                 QObject *parent = nullptr);

public slots:
    // The selected rows as tab-separated lines (the report's texts) on the clipboard.
    void CopyRows();
    // The selected rows' full paths, one per line, on the clipboard.
    void CopyPaths();
    // The folder of the current row (else the first selected) in the desktop's file manager.
    void OpenContainingFolder();
    // The folder of the row shown at index.
    void OpenFolderAt(const QModelIndex &shown);
    // The counts of rows shown, listed, selected, checked out and mine.
    void ShowCounts();

public:
    // Applies a choice of the Show box. "Held longer than..." first asks for the number of
    // days, offering the last one given; without a valid number it returns false and the
    // filter keeps its choice.
    bool ChooseShow(ListFilter::Show choice);

private:
    void OpenFolderOfRow(int row);

    Prompts &prompts;
    FileListView &view;
    StatusPanels &status;
};
