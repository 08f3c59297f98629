#include "shell/frmMain.h"

void frmMain::ConnectReserveCommands() {}
