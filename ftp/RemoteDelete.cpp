// Deleting the remote items selected in the window's list.

#include "app/TarnlowDlg.h"

void TarnlowDlg::OnDeleteFiles()
{
}
