#include "app/frmMain.h"

void frmMain::cmdEncrypt_Click() { }

void frmMain::cmdDecrypt_Click() { }
