#include "app/frmMain.h"

void frmMain::Label2_Click() { }

void frmMain::lblAbout_Click() { }
