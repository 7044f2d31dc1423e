#include "app/frmMain.h"

bool frmMain::ProcessFile(const QString& /*strPath*/, Flag /*blnEncrypt*/)
{
    return false;
}
