#pragma once

#include "app/DialogHost.h"
#include "app/WorkerGate.h"
#include "ftp/InternetSession.h"
#include "sites/SettingsStore.h"
#include "sites/TabPane.h"

#include <QByteArray>
#include <QDialog>
#include <QIcon>
#include <QString>
#include <QStringList>

#include <array>
#include <atomic>
#include <memory>

class FtpConnection;
class PutThread;
class QLabel;
class QLineEdit;
class QListWidget;
class QProgressBar;
class QPushButton;
class QTabWidget;
class TransferAnimation;

/// The main window: five site panes, the remote listing, the download folder,
/// the progress strip, and the busy/idle switch around transfers.
///
/// Threading: every handler runs on the window's thread. Listing and transfer
/// workers call the operations below from their own threads; every operation
/// that changes a control goes through m_gate, which runs the change on the
/// window's thread and waits for it.
class TarnlowDlg : public QDialog {
    Q_OBJECT

public:
    /// @p dialogHost shows every message box and modal dialog; tests pass a scripted one.
    explicit TarnlowDlg(DialogHost& dialogHost, QWidget* pParent = nullptr);
    ~TarnlowDlg() override;

    /// Set by the application before the window runs; read once at initialisation.
    const QStringList* m_pCommandLinePaths = nullptr;

    /// Builds the controls and runs the start-up sequence; called once, before the
    /// window is shown.
    bool OnInitDialog();

    /// Saves the download path and the profiles, closes the session (aborting any
    /// transfer in flight) and stops the helper thread. Runs once when the window
    /// closes; the application then waits briefly for workers before ending.
    void OnDestroy();

    // --- busy / idle (application shell) ---
    void SetIdle(bool idle);

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

    // --- FTP connection ---
    void ConnectToSite(bool bShowErrors);
    void Disconnect();

    // --- remote listing and navigation ---
    void StartListing();
    static unsigned ListingThreadProc(void* pParam);
    void ListRemoteDirectory();

    // --- upload ---
    void StartUpload();
    static unsigned UploadThreadProc(void* pParam);
    void UploadPaths(const QStringList& paths);
    void UploadPath(const QString& strPath);
    int CountFiles(const QStringList& paths);
    void CountPath(const QString& strPath);

    // --- download ---
    void StartDownload();
    static unsigned DownloadThreadProc(void* pParam);
    void DownloadNames(const QList<QByteArray>& names);
    void DownloadFile(const QByteArray& strName);

    // --- progress strip ---
    void ResetProgress();
    void StartTransferAnimation();
    void StopTransferAnimation();

    /// Shows a message box owned by the window, from any thread (the calling
    /// thread waits for the answer). MsgAnswer::No when the window is gone.
    MsgAnswer MessageBox(
        const QString& strText, const QString& strCaption, MsgIcon icon, MsgButtons buttons = MsgButtons::Ok);
    /// Runs @p fn on the window's thread and waits; false once the window is gone.
    bool RunOnUi(const std::function<void()>& fn) { return m_gate.Call(fn); }

    /// Writes the stored texts (download path, transfer name, percent) into their fields.
    void UpdateFieldsFromData();
    /// Reads the window's own fields (the download path) into their members.
    void UpdateDataFromFields();

    /// True while a listing or transfer worker holds the connection slot.
    bool IsSlotBusy() const { return m_bSlotBusy; }

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
    /// The upload of local paths dropped on the window (or given on the command line).
    void OnDropFiles(const QStringList& paths);

signals:
    /// Emitted on the window's thread when a worker has released the connection slot.
    void SlotReleased();

protected:
    void changeEvent(QEvent* pEvent) override;
    void done(int nResult) override;
    void dragEnterEvent(QDragEnterEvent* pEvent) override;
    void dropEvent(QDropEvent* pEvent) override;

private:
    void CreateControls();
    /// Starts @p proc on a worker that holds the connection slot until it returns.
    void BeginWorker(unsigned (*proc)(void*));
    void SetWaitCursor(bool bWait);

public:
    // Members in the order the rest of the program knows them.
    int m_nTotalFiles = 0;
    std::unique_ptr<PutThread> m_pPutThread;
    QIcon m_folderIcon; // image 1 of the remote list
    QIcon m_documentIcon; // image 0 of the remote list

    QProgressBar* m_progress = nullptr;
    TransferAnimation* m_animate = nullptr;
    QPushButton* m_btnHome = nullptr;
    QPushButton* m_btnDownload = nullptr;
    QPushButton* m_btnRefresh = nullptr;
    QLineEdit* m_editDownloadPath = nullptr;
    QPushButton* m_btnBrowse = nullptr;
    QPushButton* m_btnDelete = nullptr;
    QListWidget* m_remoteList = nullptr;
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
    int m_nFileCount = 0;
    QList<QByteArray> m_downloadNames;
    QByteArray m_strHomeDir;
    std::atomic<bool> m_bIdle {true};
    std::atomic<bool> m_bConnected {false};
    QString m_strSettingsDir;
    QStringList m_uploadPaths;
    TabPane* m_pActivePane = nullptr;
    std::shared_ptr<FtpConnection> m_pConnection;
    InternetSession m_session;
    std::array<std::unique_ptr<TabPane>, 5> m_panes;

private:
    DialogHost& m_dialogHost;
    WorkerGate m_gate;
    SettingsStore m_settingsStore;
    bool m_bSlotBusy = false; // window's thread only
    bool m_bAcceptDrops = true; // drops refused while a transfer runs
    QStringList m_heldDropPaths; // a drop that arrived while a listing ran
    bool m_bListingHeld = false; // a tab change asked for a listing while the slot was busy
    bool m_bDestroyed = false;
};
