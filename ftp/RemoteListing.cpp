// Listing the active site's remote directory into the window's list, and
// moving through the remote tree.

#include "app/TarnlowDlg.h"

void TarnlowDlg::StartListing()
{
}

unsigned TarnlowDlg::ListingThreadProc(void* pParam)
{
    static_cast<TarnlowDlg*>(pParam)->ListRemoteDirectory();
    return 0;
}

void TarnlowDlg::ListRemoteDirectory()
{
}

void TarnlowDlg::OnRefresh()
{
}

void TarnlowDlg::OnHome()
{
}

void TarnlowDlg::OnDblclkRemoteList()
{
}
