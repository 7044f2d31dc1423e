#include "app/frmMain.h"

void frmMain::cmdAddEnc_Click() { }

void frmMain::CmdAddDec_Click() { }

void frmMain::CmdClearEnc_Click() { }

void frmMain::CmdClearDec_Click() { }

void frmMain::cmdAutoKey_Click() { }
