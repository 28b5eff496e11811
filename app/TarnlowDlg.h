#pragma once

#include "app/DialogHost.h"
#include "app/TabPane.h"
#include "app/WorkerGate.h"
#include "ftp/InternetSession.h"
#include "sites/SettingsStore.h"

#include <QByteArray>
#include <QDialog>
#include <QIcon>
#include <QList>
#include <QPointer>
#include <QString>

#include <array>
#include <memory>
#include <optional>

class HelpWindow;
class PutThread;
class QLineEdit;
class QListView;
class QProgressBar;
class QPushButton;
class QTabWidget;
class RemoteListModel;
class SiteConnection;
class TransferAnimation;

/// The main window: five site panes, the remote listing, the download folder,
/// the progress strip, and the busy/idle switch around transfers.
///
/// The work itself (connecting, listing, deleting, the upload and download
/// walks) is done by the core library; the window starts it and shows it.
///
/// Threading: every handler runs on the window's thread. Listings and transfers
/// run on workers, each given copies of everything it needs when it starts; a
/// worker touches no member of the window. What it shows goes through m_gate,
/// which runs the change on the window's thread and waits for it.
class TarnlowDlg : public QDialog {
    Q_OBJECT

public:
    /// @p dialogHost shows every message box and modal dialog; tests pass a scripted one.
    explicit TarnlowDlg(DialogHost& dialogHost, QWidget* pParent = nullptr);
    ~TarnlowDlg() override;

    /// The paths to upload at start-up, as the bytes of the command line; set by
    /// the application before the window runs and read once by OnInitDialog().
    void SetCommandLinePaths(const QList<QByteArray>* pPaths) { m_pCommandLinePaths = pPaths; }

    /// Builds the controls and runs the start-up sequence; called once, before the
    /// window is shown.
    bool OnInitDialog();

    /// Saves the download path and the profiles, closes the session (aborting any
    /// transfer in flight) and stops the helper thread. Runs once when the window
    /// closes; the application then waits briefly for workers before ending.
    void OnDestroy();

    // --- busy / idle ---
    /// Switches between busy (false) and idle (true) around a transfer; called on
    /// the transfer's worker. @p bConnected says the transfer reached the server:
    /// the remote list follows the busy state then. Going idle after a transfer
    /// that reached the server and is @p bComplete lists the site again (with
    /// @p relist when given, else over a new connection to the active site) and
    /// shows the completion dialog.
    void SetIdle(bool idle, bool bConnected = false, bool bComplete = true, const std::function<void()>& relist = {});
    /// False while a transfer runs. Window's thread.
    bool IsIdle() const { return m_bIdle; }

    // --- site panes ---
    void ReadAllPanes();
    bool ValidateSite(bool bReport);
    TabPane* ActivePane() const { return m_pActivePane; }
    TabPane& Pane(int nIndex) { return *m_panes[static_cast<size_t>(nIndex)]; }

    // --- settings ---
    void LoadStoredPath();
    void SaveStoredPath();
    void LoadSettings();
    bool SaveSettings();
    /// The folder that holds the settings file.
    static QString SettingsDirectory();

    // --- connection ---
    /**
     * Opens @p link to @p site, as every remote operation does first. A failure
     * is shown when @p bShowErrors, and a connection that could not be opened
     * empties the remote list. A site without a directory records the login
     * directory: in @p site, in the active pane's profile (not its field) and
     * as the home directory. Any thread.
     */
    bool ConnectToSite(SiteConnection& link, SiteProfile& site, bool bShowErrors);
    /// The login directory the server gave to the last connect of a site
    /// without a directory. Window's thread.
    const QByteArray& HomeDirectory() const { return m_strHomeDir; }

    // --- remote listing and navigation ---
    /// Lists the active site's directory, as its pane's fields give it, on a worker.
    void StartListing();

    // --- progress strip ---
    /// Prepares the bar for a transfer of @p nTotalFiles items. Window's thread:
    /// before a download's worker starts, and by an upload's worker (through
    /// RunOnUi) once it has read what it sends and before its first step.
    void ResetProgress(int nTotalFiles);
    /// The item count of the transfer last prepared. Window's thread.
    int TotalFiles() const { return m_nTotalFiles; }
    void StartTransferAnimation();
    void StopTransferAnimation();
    PutThread& ProgressThread() { return *m_pPutThread; }

    /// Shows a message box owned by the window, from any thread (the calling
    /// thread waits for the answer). @p strInformative, when given, is the cause
    /// shown below the text. MsgAnswer::No when the window is gone.
    MsgAnswer MessageBox(const QString& strText, const QString& strCaption, MsgIcon icon,
        MsgButtons buttons = MsgButtons::Ok, const QString& strInformative = {});
    /// Runs @p fn on the window's thread and waits; false once the window is gone.
    bool RunOnUi(const std::function<void()>& fn) { return m_gate.Call(fn); }

    /// Writes the stored texts (download path, transfer name, percent) into their fields.
    void UpdateFieldsFromData();
    /// Reads the window's own fields (the download path) into their members.
    void UpdateDataFromFields();

    /// True while a listing, transfer or delete holds the connection slot.
    bool IsSlotBusy() const { return m_bSlotBusy; }
    /// The local paths of the upload last started. Window's thread.
    const QList<QByteArray>& PendingUploadPaths() const { return m_uploadPaths; }
    /// The download folder as last read from or shown in its field. Window's thread.
    const QString& DownloadPath() const { return m_strDownloadPath; }

    /// Test hook: upper bounds of the engine's waits.
    InternetSession& Session() { return m_session; }
    WorkerGate& Gate() { return m_gate; }

public slots:
    // Handlers of the window's controls.
    void accept() override; // Quit, and Enter in the window's own fields
    void OnSiteTabChanged(int nIndex);
    void OnAbout();
    void OnHelp();
    void OnDeleteFiles();
    void OnRefresh();
    void OnDblclkRemoteList();
    void OnBrowse();
    void OnDownload();
    void OnHome();
    /// The upload of local paths dropped on the window (or given on the command
    /// line), as the bytes the system knows them by.
    void OnDropFiles(const QList<QByteArray>& paths);

signals:
    /// Emitted on the window's thread when a worker has released the connection slot.
    void SlotReleased();

protected:
    void changeEvent(QEvent* pEvent) override;
    void done(int nResult) override;
    void dragEnterEvent(QDragEnterEvent* pEvent) override;
    void dropEvent(QDropEvent* pEvent) override;

private:
    friend class PutThread;
    class TransferView;

    /// What a transfer's worker is given when it starts.
    struct TransferJob {
        SiteProfile m_site; // a copy of the active site
        TabPane* m_pPane = nullptr; // the active site's pane, which the listing at the end fills the list for
        int m_nTotalFiles = 0; // a download's; an upload counts its own plan
        QList<QByteArray> m_uploadPaths;
        QList<QByteArray> m_downloadNames;
        QByteArray m_strDownloadPath;
    };

    void CreateControls();
    /// Starts @p work on a worker that holds the connection slot until it returns.
    void BeginWorker(std::function<void()> work);
    /// Gives the keyboard focus back to the control that had it when the work
    /// began, once the window is idle again; see m_pFocusBeforeWork.
    void RestoreFocusAfterWork();
    void SetWaitCursor(bool bWait);

    /// A job with copies of the active site and the item count prepared last.
    TransferJob NewTransferJob() const;
    void StartUpload();
    void UploadThreadProc(TransferJob job);
    void StartDownload();
    void DownloadThreadProc(TransferJob job);
    /// Starts listing @p site, the site of @p pPane, on a worker (see ShowRemoteDirectory).
    void BeginListing(SiteProfile site, TabPane* pPane, QByteArray strLink = {});
    void ListingThreadProc(SiteProfile site, TabPane* pPane, QByteArray strLink);
    /// Empties the remote list and fills it with @p site's directory, or says it
    /// cannot be shown; @p pPane is the pane @p site belongs to. With @p strLink,
    /// enters that link first: a link to a folder becomes the site's directory,
    /// written into @p pPane, and is listed; a link to anything else changes
    /// nothing, as a double-click on a file does. Runs on a worker. With
    /// @p pOpen, a transfer's connection to @p site: it lists the site again
    /// when it still works, and is closed in any case.
    void ShowRemoteDirectory(
        SiteProfile site, TabPane* pPane, const QByteArray& strLink = {}, SiteConnection* pOpen = nullptr);
    /// Gives the list's controls back once a listing has ended: the tab control,
    /// Refresh, Home, and the list when @p bList. While a transfer holds the
    /// window busy they stay as they are, and the transfer's end gives them
    /// back. Window's thread.
    void EnableListControls(bool bList);
    /// The rows selected in the remote list, in list order. Window's thread.
    QList<int> SelectedRows() const;
    /// Empties the remote list: nothing is listed, so nothing can be fetched or
    /// deleted. Window's thread.
    void ClearRemoteList();

    // Members in the order the rest of the program knows them.
    int m_nTotalFiles = 0;
    std::unique_ptr<PutThread> m_pPutThread;
    QIcon m_folderIcon; // image 1 of the remote list
    QIcon m_documentIcon; // image 0 of the remote list
    const QList<QByteArray>* m_pCommandLinePaths = nullptr;

    QProgressBar* m_progress = nullptr;
    TransferAnimation* m_animate = nullptr;
    QPushButton* m_btnHome = nullptr;
    QPushButton* m_btnDownload = nullptr;
    QPushButton* m_btnRefresh = nullptr;
    QLineEdit* m_editDownloadPath = nullptr;
    QPushButton* m_btnBrowse = nullptr;
    QPushButton* m_btnDelete = nullptr;
    QListView* m_remoteList = nullptr;
    QTabWidget* m_tab = nullptr;
    QPushButton* m_btnQuit = nullptr;
    QPushButton* m_btnAbout = nullptr;
    QPushButton* m_btnHelp = nullptr;
    QLineEdit* m_editTransferName = nullptr;
    QLineEdit* m_editPercent = nullptr;

    QString m_strDownloadPath;
    QString m_strTransferName;
    QString m_strPercent;
    QIcon m_hIcon;
    QList<QByteArray> m_downloadNames;
    RemoteListModel* m_pListModel = nullptr; // the remote list's rows
    // The site and directory the remote list shows, as its listing connected
    // (the login directory filled in), and the pane it belongs to: a download,
    // delete or double-click of the list's items acts there, whatever the
    // pane's fields say now. Empty while the list shows no listing.
    std::optional<SiteProfile> m_listedSite;
    TabPane* m_pListedPane = nullptr;
    QByteArray m_strHomeDir;
    bool m_bIdle = true;
    // The pane whose fields a transfer made read-only, until its end makes
    // them writable again; null while no transfer holds the window busy.
    TabPane* m_pLockedPane = nullptr;
    QString m_strSettingsDir;
    QList<QByteArray> m_uploadPaths;
    TabPane* m_pActivePane = nullptr;
    InternetSession m_session;
    std::array<std::unique_ptr<TabPane>, 5> m_panes;

    DialogHost& m_dialogHost;
    WorkerGate m_gate;
    SettingsStore m_settingsStore;
    bool m_bSlotBusy = false; // the connection slot: a listing, transfer or delete holds it
    bool m_bAcceptDrops = true; // drops refused while a transfer runs
    QList<QList<QByteArray>> m_heldDrops; // drops that arrived while a listing ran, in order
    bool m_bListingHeld = false; // a tab change asked for a listing while the slot was busy
    bool m_bDestroyed = false;
    QPointer<HelpWindow> m_pHelpWindow; // the one help window, once Help was pressed
    // The keyboard focus across work that disables controls: the control that
    // had it when the work began, the control the disabling pushed it on to
    // since, and whether the work still runs.
    QPointer<QWidget> m_pFocusBeforeWork;
    QPointer<QWidget> m_pFocusPushedTo;
    bool m_bFocusHeld = false;
    QMetaObject::Connection m_focusWatch; // follows the focus while work runs; cut when the window goes
};
