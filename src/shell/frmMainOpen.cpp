#include "shell/frmMain.h"

void frmMain::ConnectOpenCommands() {}
