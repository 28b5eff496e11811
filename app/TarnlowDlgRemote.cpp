// The window's remote directory: connecting to the active site, the listing
// and its list, moving through the remote tree, and deleting selected items.

#include "app/RemoteListModel.h"
#include "app/TarnlowDlg.h"
#include "ftp/FtpConnection.h"
#include "ftp/RemotePath.h"
#include "remote/RemoteDelete.h"
#include "remote/RemoteListing.h"
#include "remote/SiteConnection.h"

#include <QItemSelectionModel>
#include <QListView>
#include <QPushButton>
#include <QTabWidget>

#include <algorithm>
#include <malloc.h>
#include <optional>

namespace {

// A listing of this many entries leaves enough freed memory behind on its
// worker to be worth handing back to the system.
constexpr int kTrimAfterEntries = 10000;

} // namespace

bool TarnlowDlg::ConnectToSite(SiteConnection& link, SiteProfile& site, bool bShowErrors)
{
    const SiteConnection::Outcome outcome = link.Open(m_session, site);
    if (outcome == SiteConnection::Outcome::Connected) {
        if (site.m_strDirectory.isEmpty()) {
            // The site works in the login directory. It is kept in memory only:
            // the pane's field stays empty, and its next read empties it again.
            site.m_strDirectory = link.HomeDirectory();
            RunOnUi([&] {
                m_strHomeDir = link.HomeDirectory();
                m_pActivePane->m_strDirectory = m_strHomeDir;
            });
        }
        return true;
    }
    // A refused directory leaves the list as it is; every other failure empties it.
    if (outcome != SiteConnection::Outcome::DirectoryRefused)
        RunOnUi([this] { ClearRemoteList(); });
    if (bShowErrors)
        MessageBox(
            SiteConnection::FailureText(outcome), tr("FTP Error"), MsgIcon::Hand, MsgButtons::Ok, link.FailureCause());
    return false;
}

void TarnlowDlg::StartListing()
{
    // One connection at a time. Only a change of tab asks for a listing while
    // another operation holds the connection (a transfer gives the controls back
    // before its worker has closed its own connection). The other site's entries
    // go at once, so that nothing of them is deleted or fetched on this site, and
    // the listing runs when the connection slot is free.
    if (IsSlotBusy()) {
        ClearRemoteList();
        m_remoteList->setEnabled(false);
        m_bListingHeld = true;
        return;
    }
    m_pActivePane->PullFields();
    BeginListing(*m_pActivePane, m_pActivePane);
}

void TarnlowDlg::BeginListing(SiteProfile site, TabPane* pPane, QByteArray strLink)
{
    SetWaitCursor(true);
    BeginWorker([this, site = std::move(site), pPane, strLink = std::move(strLink)] {
        ListingThreadProc(site, pPane, strLink);
    });
}

void TarnlowDlg::ListingThreadProc(SiteProfile site, TabPane* pPane, QByteArray strLink)
{
    ShowRemoteDirectory(std::move(site), pPane, strLink);
}

void TarnlowDlg::ShowRemoteDirectory(SiteProfile site, TabPane* pPane, const QByteArray& strLink, SiteConnection* pOpen)
{
    // Entering a link keeps the list until the link turns out to be a folder.
    RunOnUi([&] {
        for (QWidget* pControl : std::initializer_list<QWidget*> {m_tab, m_remoteList, m_btnRefresh, m_btnHome})
            pControl->setEnabled(false);
        if (strLink.isEmpty())
            ClearRemoteList();
    });

    // A transfer's connection that still works lists its site again, back in
    // the site's directory by the name the server gave it, without a second
    // login. Otherwise it goes before a new one is opened: a server that
    // allows one connection per user would refuse the second.
    SiteConnection own;
    QByteArray strEnter;
    const bool bReuse
        = pOpen && pOpen->IsConnected() && pOpen->Connection().IsUsable() && !pOpen->SiteDirectory().isEmpty();
    if (pOpen && !bReuse)
        pOpen->Close();
    SiteConnection& link = bReuse ? *pOpen : own;
    if (bReuse)
        strEnter = link.SiteDirectory();
    const bool bConnected = bReuse || ConnectToSite(link, site, false);
    QString strCause = bConnected ? QString() : link.FailureCause();

    if (bConnected && !strLink.isEmpty()) {
        if (!link.Connection().SetCurrentDirectory(strLink) && link.Connection().IsUsable()) {
            // Not a folder: nothing happens, as for a double-click on a file.
            link.Close();
            RunOnUi([&] {
                EnableListControls(true);
                SetWaitCursor(false);
            });
            return;
        }
        site.m_strDirectory = RemotePath::Navigate(site.m_strDirectory, strLink);
        RunOnUi([&] {
            ClearRemoteList();
            // Only the directory changes: what else was typed into the pane stays.
            pPane->PullFields();
            pPane->m_strDirectory = site.m_strDirectory;
            pPane->PushFields();
        });
    }
    // The whole directory is read and packed first, so the connection is
    // closed, and the parsed entries are gone, before the list is filled.
    std::optional<RemoteListModel::Entries> entries;
    if (bConnected && link.Connection().IsUsable()) {
        RemoteListing listing;
        bool bListed = listing.ListRemoteDirectory(link.Connection(), strEnter);
        // A server out of step with the commands is listed once more, over a
        // fresh connection that stands in the directory and sends one command
        // at a time: such a server costs time, not the listing.
        if (!bListed && link.Connection().WentOutOfStep()
            && link.Reopen(m_session, site) == SiteConnection::Outcome::Connected)
            bListed = listing.ListRemoteDirectory(link.Connection());
        if (bListed) {
            link.Close();
            entries = RemoteListModel::Entries::FromListing(listing.Entries());
        }
    }
    if (entries) {
        // The parsed listing took several times the room of the packed one; what
        // it left free on this worker goes back to the system, not to the
        // window's resident size.
        if (entries->Count() >= kTrimAfterEntries)
            malloc_trim(0);
        // The slot stays held until the list is full, so nothing acts on a list
        // of another listing.
        RunOnUi([&] {
            m_listedSite = site;
            m_pListedPane = pPane;
            m_pListModel->Fill(std::move(*entries));
            EnableListControls(true);
            SetWaitCursor(false);
        });
        return;
    }
    if (bConnected)
        strCause = link.Connection().LastFailureCause();
    link.Close();

    RunOnUi([this] {
        ClearRemoteList();
        SetWaitCursor(false);
    });
    MessageBox(tr("Can't display the remote directory"), tr("Error"), MsgIcon::Exclamation, MsgButtons::Ok, strCause);
    RunOnUi([this] { EnableListControls(false); });
}

void TarnlowDlg::EnableListControls(bool bList)
{
    if (m_pLockedPane)
        return;
    for (QWidget* pControl : std::initializer_list<QWidget*> {m_tab, m_btnRefresh, m_btnHome})
        pControl->setEnabled(true);
    if (bList)
        m_remoteList->setEnabled(true);
}

QList<int> TarnlowDlg::SelectedRows() const
{
    QList<int> rows;
    for (const QModelIndex& index : m_remoteList->selectionModel()->selectedIndexes())
        rows.append(index.row());
    std::sort(rows.begin(), rows.end());
    return rows;
}

void TarnlowDlg::ClearRemoteList()
{
    if (m_pListModel)
        m_pListModel->Clear();
    m_listedSite.reset();
    m_pListedPane = nullptr;
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
    if (IsSlotBusy() || !m_listedSite)
        return;

    // The first selected item in list order, which need not be the one clicked.
    const QList<int> rows = SelectedRows();
    if (rows.isEmpty())
        return;
    const QByteArray strName = m_pListModel->Name(rows.first());
    const RemoteListModel::Kind kind = m_pListModel->KindOf(rows.first());
    if (kind == RemoteListModel::kFile)
        return;

    // The way leads from the folder the list shows, on the site it came from,
    // whatever has been typed into the pane since; the new directory goes into
    // that site's pane.
    SiteProfile site = *m_listedSite;
    TabPane* pPane = m_pListedPane;
    if (kind == RemoteListModel::kLink) {
        // Only the server knows whether the link leads to a folder.
        BeginListing(std::move(site), pPane, strName);
        return;
    }
    site.m_strDirectory = RemotePath::Navigate(site.m_strDirectory, strName);
    // Only the directory changes: what else was typed into the pane stays.
    pPane->PullFields();
    pPane->m_strDirectory = site.m_strDirectory;
    pPane->PushFields();
    BeginListing(std::move(site), pPane);
}

void TarnlowDlg::OnDeleteFiles()
{
    // The delete works on the window's thread. It holds the connection slot from
    // the question on, so that nothing else connects while the question or an
    // error message is open (a drop meanwhile is held until the pass ends).
    if (IsSlotBusy() || !m_listedSite || !m_remoteList->selectionModel()->hasSelection())
        return;
    m_bSlotBusy = true;

    if (MessageBox(tr("Delete the file(s)?"), tr("Delete Confirm"), MsgIcon::Question, MsgButtons::YesNo)
        == MsgAnswer::Yes) {
        // The names are those of the directory the list shows: they are deleted
        // there, whatever has been typed into the pane since.
        SiteProfile site = *m_listedSite;
        SiteConnection link;
        if (ConnectToSite(link, site, false)) {
            const QList<int> rows = SelectedRows();
            QList<RemoteDelete::Item> items;
            for (int nRow : rows) {
                const RemoteListModel::Kind kind = m_pListModel->KindOf(nRow);
                items.append(
                    {m_pListModel->Name(nRow), kind == RemoteListModel::kFolder, kind == RemoteListModel::kLink});
            }
            // Each item leaves the list as soon as the server has removed it.
            int nRemoved = 0;
            const RemoteDelete::Result result = RemoteDelete(link.Connection()).DeleteItems(items, [&](qsizetype i) {
                m_pListModel->RemoveRow(rows[i] - nRemoved);
                ++nRemoved;
            });
            if (result != RemoteDelete::Result::Deleted)
                MessageBox(RemoteDelete::FailureText(result), tr("Error"), MsgIcon::Exclamation, MsgButtons::Ok,
                    link.Connection().LastFailureCause());
            link.Close();
        }
    }

    m_bSlotBusy = false;
    emit SlotReleased();
}
