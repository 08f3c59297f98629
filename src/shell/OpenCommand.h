#pragma once

#include "model/Prompts.h"

class frmMain;

// Open...: one document chosen in the "Korvex File Selection" dialog, listed with every
// document it references.
class OpenCommand
{
public:
    explicit OpenCommand(frmMain &window);

private:
    void Open();

    frmMain &window;
    // Settings of the open dialog, kept between uses.
    FileDialogRequest FileSelection;
};
