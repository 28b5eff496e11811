// Listing the active site's remote directory into the window's list, and
// moving through the remote tree.

#include "app/ByteText.h"
#include "app/TarnlowDlg.h"
#include "ftp/FtpConnection.h"
#include "ftp/RemotePath.h"

#include <QItemSelectionModel>
#include <QListWidget>
#include <QPushButton>
#include <QTabWidget>

#include <vector>

namespace {

// Items added to the list per hop to the window's thread: small enough that the
// window handles its events between two hops, large enough that a big
// directory does not cost thousands of hops.
constexpr std::size_t kFillBatch = 500;

// An item of the remote list: the name shown as text, the raw name kept for
// the server, and the folder flag that navigation and delete go by.
QListWidgetItem* MakeRemoteItem(const TarnlowDlg& dlg, const QByteArray& strName, bool bDirectory)
{
    auto* pItem = new QListWidgetItem(bDirectory ? dlg.m_folderIcon : dlg.m_documentIcon, ByteText::Display(strName));
    pItem->setData(Qt::UserRole, bDirectory ? 1 : 0);
    pItem->setData(Qt::UserRole + 1, strName);
    return pItem;
}

} // namespace

void TarnlowDlg::StartListing()
{
    // One connection at a time. Only a change of tab asks for a listing while
    // another operation holds the connection (a transfer gives the controls back
    // before its worker has closed its own connection). The other site's entries
    // go at once, so that nothing of them is deleted or fetched on this site, and
    // the listing runs when the connection slot is free.
    if (IsSlotBusy()) {
        m_remoteList->clear();
        m_remoteList->setEnabled(false);
        m_bListingHeld = true;
        return;
    }
    SetWaitCursor(true);
    m_pActivePane->PullFields();
    BeginWorker(&TarnlowDlg::ListingThreadProc);
}

unsigned TarnlowDlg::ListingThreadProc(void* pParam)
{
    static_cast<TarnlowDlg*>(pParam)->ListRemoteDirectory();
    return 0;
}

void TarnlowDlg::ListRemoteDirectory()
{
    RunOnUi([this] {
        for (QWidget* pControl : std::initializer_list<QWidget*> {m_tab, m_remoteList, m_btnRefresh, m_btnHome})
            pControl->setEnabled(false);
        m_remoteList->clear();
    });

    ConnectToSite(false);

    bool bListed = false;
    if (m_bConnected) {
        // Read the whole directory first, so the connection is closed before the
        // list is filled.
        std::vector<FtpEntry> entries;
        bool bHasDotDot = false;
        {
            FtpFileFind find(*m_pConnection);
            if (find.FindFile()) {
                bool bMore = true;
                while (bMore) {
                    bMore = find.FindNextFile();
                    FtpEntry entry {find.GetFileName(), find.IsDirectory()};
                    if (entry.m_strName == ".")
                        continue;
                    if (entry.m_strName == "..") {
                        // ".." always leads up, whatever the server says it is.
                        entry.m_bDirectory = true;
                        bHasDotDot = true;
                    }
                    entries.push_back(std::move(entry));
                }
            }
            find.Close();
        }
        Disconnect();

        // Fill in batches with repainting off, so a directory of many thousand
        // entries neither freezes the window nor repaints it per item.
        RunOnUi([this] { m_remoteList->setUpdatesEnabled(false); });
        for (std::size_t nStart = 0; nStart < entries.size(); nStart += kFillBatch) {
            const std::size_t nEnd = std::min(entries.size(), nStart + kFillBatch);
            if (!RunOnUi([&] {
                    for (std::size_t i = nStart; i < nEnd; ++i)
                        m_remoteList->addItem(MakeRemoteItem(*this, entries[i].m_strName, entries[i].m_bDirectory));
                }))
                return; // the window is gone
        }
        RunOnUi([&] {
            if (!bHasDotDot)
                m_remoteList->insertItem(0, MakeRemoteItem(*this, QByteArrayLiteral(".."), true));
            m_remoteList->setUpdatesEnabled(true);
            for (QWidget* pControl : std::initializer_list<QWidget*> {m_tab, m_remoteList, m_btnRefresh, m_btnHome})
                pControl->setEnabled(true);
            SetWaitCursor(false);
        });
        bListed = true;
    }

    if (!bListed) {
        RunOnUi([this] { SetWaitCursor(false); });
        MessageBox(QStringLiteral("Can't display the remote directory"), QStringLiteral("Error"), MsgIcon::Exclamation);
        RunOnUi([this] {
            for (QWidget* pControl : std::initializer_list<QWidget*> {m_tab, m_btnRefresh, m_btnHome})
                pControl->setEnabled(true);
        });
    }
}

void TarnlowDlg::OnRefresh()
{
    if (IsSlotBusy())
        return;
    if (ValidateSite(true))
        StartListing();
}

void TarnlowDlg::OnHome()
{
    if (IsSlotBusy())
        return;
    if (!ValidateSite(true))
        return;
    m_pActivePane->m_strDirectory.clear();
    m_pActivePane->PushFields();
    StartListing();
}

void TarnlowDlg::OnDblclkRemoteList()
{
    // While another operation holds the connection (a download keeps the list
    // enabled), a double-click neither moves nor lists.
    if (IsSlotBusy())
        return;

    // The first selected item in list order, which need not be the one clicked.
    int nRow = -1;
    for (const QModelIndex& index : m_remoteList->selectionModel()->selectedIndexes()) {
        if (nRow < 0 || index.row() < nRow)
            nRow = index.row();
    }
    if (nRow < 0)
        return;
    const QListWidgetItem* pItem = m_remoteList->item(nRow);
    const QByteArray strName = pItem->data(Qt::UserRole + 1).toByteArray();
    const bool bDirectory = pItem->data(Qt::UserRole).toInt() != 0;

    QByteArray& strDirectory = m_pActivePane->m_strDirectory;
    if (strDirectory.isEmpty())
        strDirectory = m_strHomeDir;
    if (!bDirectory)
        return;

    strDirectory = RemotePath::Navigate(strDirectory, strName);
    m_pActivePane->PushFields();
    StartListing();
}
