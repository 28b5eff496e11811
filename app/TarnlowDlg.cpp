#include "app/TarnlowDlg.h"

#include "app/AboutDlg.h"
#include "app/DialogUnits.h"
#include "app/HelpFile.h"
#include "app/HelpWindow.h"
#include "app/PutThread.h"
#include "app/RemoteListModel.h"
#include "app/TarnlowApp.h"
#include "app/TransferAnimation.h"
#include "app/TransferDoneDlg.h"

#include <QApplication>
#include <QCoreApplication>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QGroupBox>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QMimeData>
#include <QPalette>
#include <QProgressBar>
#include <QProxyStyle>
#include <QPushButton>
#include <QStyleFactory>
#include <QTabBar>
#include <QTabWidget>
#include <QUrl>
#include <QWindowStateChangeEvent>

namespace {

constexpr int kShutdownWaitMs = 3000;

// Names a control after its member, gives it its control id and places it.
template <class T>
T* AddControl(T* pControl, const DialogUnits& units, const char* pszName, int nId, int nX, int nY, int nW, int nH)
{
    pControl->setObjectName(QString::fromLatin1(pszName));
    pControl->setProperty("controlId", nId);
    units.Place(pControl, nX, nY, nW, nH);
    return pControl;
}

QPushButton* MakeButton(
    QWidget* pParent, const DialogUnits& units, const QString& strText, const char* pszName, int nId, int nY)
{
    return AddControl(new QPushButton(strText, pParent), units, pszName, nId, 267, nY, 50, 14);
}

// A read-only field of the progress strip: plain text on the window.
QLineEdit* MakeStripField(
    QWidget* pParent, const DialogUnits& units, const char* pszName, int nId, int nX, int nY, int nW, int nH)
{
    auto* pEdit = AddControl(new QLineEdit(pParent), units, pszName, nId, nX, nY, nW, nH);
    pEdit->setReadOnly(true);
    pEdit->setFrame(false);
    pEdit->setFocusPolicy(Qt::ClickFocus);
    // The window shows through. A palette, not a style sheet: a control under a
    // style sheet no longer takes its font from the window.
    QPalette palette = pEdit->palette();
    palette.setBrush(QPalette::Base, Qt::transparent);
    pEdit->setPalette(palette);
    return pEdit;
}

// The narrow tabs of a classic tab control, a label with a little room on each
// side, so that the five labelled tabs fit side by side at every font (the
// platform style's tabs are wider). The room is given in pixels of the font's
// dialog units and so grows with the font.
class NarrowTabStyle : public QProxyStyle {
public:
    explicit NarrowTabStyle(int nRoom)
        : QProxyStyle(QStyleFactory::create(QApplication::style()->name()))
        , m_nRoom(nRoom)
    {
    }

    int pixelMetric(PixelMetric metric, const QStyleOption* pOption, const QWidget* pWidget) const override
    {
        return metric == PM_TabBarTabHSpace ? m_nRoom : QProxyStyle::pixelMetric(metric, pOption, pWidget);
    }

private:
    int m_nRoom;
};

QLabel* MakeLabel(QWidget* pParent, const DialogUnits& units, const QString& strText, int nX, int nY, int nW, int nH)
{
    auto* pLabel = new QLabel(strText, pParent);
    units.Place(pLabel, nX, nY, nW, nH);
    return pLabel;
}

} // namespace

TarnlowDlg::TarnlowDlg(DialogHost& dialogHost, QWidget* pParent)
    : QDialog(pParent,
        Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint
            | Qt::WindowCloseButtonHint)
    , m_dialogHost(dialogHost)
    , m_gate(this)
{
    setObjectName(QStringLiteral("TarnlowDlg"));
    for (auto& pPane : m_panes)
        pPane = std::make_unique<TabPane>();
    m_hIcon = TarnlowApp::ProgramIcon();
    LoadStoredPath();
}

TarnlowDlg::~TarnlowDlg()
{
    OnDestroy();
    // The panes belong to the tab control once it exists; release ours first so
    // each pane is deleted exactly once.
    if (m_tab) {
        for (auto& pPane : m_panes)
            pPane.release();
    }
}

void TarnlowDlg::CreateControls()
{
    setWindowTitle(QStringLiteral("Tarnlow"));
    setFont(DialogUnits::DialogFont());
    const DialogUnits units(font());
    setFixedSize(units.X(326), units.Y(323));

    // Template order, which is also the keyboard tab order.
    m_btnQuit = MakeButton(this, units, tr("&Quit"), "m_btnQuit", 1, 8);
    m_btnQuit->setDefault(true);
    m_btnAbout = MakeButton(this, units, tr("&About"), "m_btnAbout", 1007, 26);
    m_btnHelp = MakeButton(this, units, tr("&Help"), "m_btnHelp", 57670, 44);
    m_btnRefresh = MakeButton(this, units, tr("&Refresh"), "m_btnRefresh", 57672, 139);
    m_btnHome = MakeButton(this, units, tr("H&ome"), "m_btnHome", 57675, 158);
    m_btnDelete = MakeButton(this, units, tr("&Delete File(s)"), "m_btnDelete", 57671, 205);
    m_btnDownload = MakeButton(this, units, tr("Do&wnload"), "m_btnDownload", 57674, 224);
    m_btnBrowse = MakeButton(this, units, tr("&Browse"), "m_btnBrowse", 57673, 261);

    auto* pIcon = new QLabel(this);
    pIcon->setObjectName(QStringLiteral("m_staticIcon"));
    units.Place(pIcon, 10, 6, 20, 20);
    pIcon->setPixmap(m_hIcon.pixmap(pIcon->size())); // as large as its box holds
    auto* pTitle = new QLabel(this);
    pTitle->setObjectName(QStringLiteral("m_staticTitle"));
    pTitle->setPixmap(QPixmap(QStringLiteral(":/tarnlow/title.png")));
    pTitle->setScaledContents(true);
    units.Place(pTitle, 33, 8, 60, 12);

    auto* pSiteGroup = new QGroupBox(tr("Ftp Site Selection"), this);
    units.Place(pSiteGroup, 10, 26, 252, 160);
    auto* pListGroup = new QGroupBox(tr("Directory Listing"), this);
    units.Place(pListGroup, 10, 191, 252, 92);

    m_remoteList = AddControl(new QListView(this), units, "m_remoteList", 1009, 16, 205, 239, 49);
    m_remoteList->setViewMode(QListView::ListMode);
    m_remoteList->setFlow(QListView::TopToBottom);
    m_remoteList->setWrapping(true);
    m_remoteList->setResizeMode(QListView::Adjust);
    m_remoteList->setLayoutMode(QListView::Batched);
    m_remoteList->setIconSize(QSize(16, 16));
    m_remoteList->setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_remoteList->setEnabled(false);
    // Screen readers name each control by the label standing before it (its
    // buddy), or by the title over it where that is no label of its own.
    m_remoteList->setAccessibleName(pListGroup->title());

    auto* pPathLabel = MakeLabel(this, units, tr("Download Path"), 16, 264, 54, 8);
    m_editDownloadPath = AddControl(new QLineEdit(this), units, "m_editDownloadPath", 1010, 70, 261, 185, 15);
    pPathLabel->setBuddy(m_editDownloadPath);

    m_animate = AddControl(new TransferAnimation(this), units, "m_animate", 1015, 7, 289, 17, 10);

    auto* pNameLabel = MakeLabel(this, units, tr("Now Transferring:"), 29, 289, 64, 13);
    m_editTransferName = MakeStripField(this, units, "m_editTransferName", 1011, 94, 289, 225, 13);
    pNameLabel->setBuddy(m_editTransferName);

    auto* pProgressLabel = MakeLabel(this, units, tr("Files Transfered:"), 29, 304, 63, 9);
    m_progress = AddControl(new QProgressBar(this), units, "m_progress", 1016, 93, 305, 162, 7);
    pProgressLabel->setBuddy(m_progress);
    m_progress->setTextVisible(false);
    m_progress->setRange(0, 100);
    m_progress->setValue(0);

    m_editPercent = MakeStripField(this, units, "m_editPercent", 1017, 268, 304, 51, 12);
    m_editPercent->setAccessibleName(tr("Percent Transferred"));

    m_tab = AddControl(new QTabWidget(this), units, "m_tab", 1000, 16, 40, 239, 140);
    m_tab->setAccessibleName(pSiteGroup->title());
    // Five labelled tabs fit side by side only with the narrow tabs of a classic
    // tab control. The tab bar owns its style (a widget forgets a style deleted
    // before it).
    auto* pTabStyle = new NarrowTabStyle(units.X(6));
    pTabStyle->setParent(m_tab->tabBar());
    m_tab->tabBar()->setStyle(pTabStyle);
    m_tab->tabBar()->setUsesScrollButtons(false);

    // Keyboard order follows the template; the tab control comes last.
    QWidget* order[] = {m_btnQuit, m_btnAbout, m_btnHelp, m_btnRefresh, m_btnHome, m_btnDelete, m_btnDownload,
        m_btnBrowse, m_remoteList, m_editDownloadPath, m_tab};
    for (size_t i = 1; i < std::size(order); ++i)
        setTabOrder(order[i - 1], order[i]);

    connect(m_btnAbout, &QPushButton::clicked, this, &TarnlowDlg::OnAbout);
    connect(m_btnHelp, &QPushButton::clicked, this, &TarnlowDlg::OnHelp);
    connect(m_btnRefresh, &QPushButton::clicked, this, &TarnlowDlg::OnRefresh);
    connect(m_btnHome, &QPushButton::clicked, this, &TarnlowDlg::OnHome);
    connect(m_btnDelete, &QPushButton::clicked, this, &TarnlowDlg::OnDeleteFiles);
    connect(m_btnDownload, &QPushButton::clicked, this, &TarnlowDlg::OnDownload);
    connect(m_btnBrowse, &QPushButton::clicked, this, &TarnlowDlg::OnBrowse);
    connect(m_btnQuit, &QPushButton::clicked, this, &TarnlowDlg::accept);
    connect(m_remoteList, &QListView::doubleClicked, this, &TarnlowDlg::OnDblclkRemoteList);
    connect(this, &TarnlowDlg::SlotReleased, this, [this] {
        const bool bListingHeld = std::exchange(m_bListingHeld, false);
        // Held drops run in the order they came, each once the one before has
        // the slot no more (one whose site check fails starts nothing).
        while (!m_heldDrops.isEmpty() && !IsSlotBusy())
            OnDropFiles(m_heldDrops.takeFirst());
        // An upload started just now lists the site at its end.
        if (bListingHeld && !IsSlotBusy() && ValidateSite(false))
            StartListing();
        if (!IsSlotBusy())
            RestoreFocusAfterWork();
    });
    // A control that is disabled while it has the focus passes it on to the
    // next one: follow it there while work runs.
    m_focusWatch = connect(qApp, &QApplication::focusChanged, this, [this](QWidget* pOld, QWidget* pNow) {
        if (m_bFocusHeld && pOld && pOld == m_pFocusPushedTo && !pOld->isEnabled() && pNow && isAncestorOf(pNow))
            m_pFocusPushedTo = pNow;
    });
}

bool TarnlowDlg::OnInitDialog()
{
    CreateControls();
    setWindowIcon(m_hIcon);
    setAcceptDrops(true);

    // Five tabs, one pane each; the first is the active site.
    for (size_t i = 0; i < m_panes.size(); ++i) {
        const QString strLabel = i == 0 ? tr("FTP Site 1 (Default)") : tr("FTP Site %1").arg(i + 1);
        m_panes[i]->setObjectName(QStringLiteral("m_pane%1").arg(i + 1));
        m_panes[i]->setAccessibleName(strLabel); // the pane is named by its tab
        m_tab->addTab(m_panes[i].get(), strLabel);
    }
    m_tab->setCurrentIndex(0);
    m_pActivePane = m_panes[0].get();
    m_pActivePane->m_editAddress->setFocus();

    LoadSettings();
    for (auto& pPane : m_panes)
        pPane->PushFields();
    // A settings file that could not be read, or only in part, is never passed over in silence.
    if (const QString strProblem = m_settingsStore.LoadMessage(); !strProblem.isEmpty())
        m_dialogHost.MessageBox(this, strProblem, tr("ERROR"), MsgIcon::Exclamation, MsgButtons::Ok);

    m_strPercent = QStringLiteral("0%");
    UpdateFieldsFromData();

    bool bCommandLineValid = false;
    if (m_pCommandLinePaths && !m_pCommandLinePaths->isEmpty())
        bCommandLineValid = ValidateSite(true);
    m_uploadPaths.clear();
    if (bCommandLineValid)
        m_uploadPaths = *m_pCommandLinePaths;

    m_folderIcon = QIcon(QStringLiteral(":/tarnlow/folder.png"));
    m_documentIcon = QIcon(QStringLiteral(":/tarnlow/document.png"));
    m_pListModel = new RemoteListModel(m_folderIcon, m_documentIcon, this);
    m_remoteList->setModel(m_pListModel);

    m_pPutThread = std::make_unique<PutThread>();
    m_pPutThread->start();

    if (m_uploadPaths.isEmpty() && ValidateSite(false))
        StartListing();

    m_animate->Open();

    // The upload's worker reads what it sends, and sizes the bar by it.
    if (!m_uploadPaths.isEmpty())
        StartUpload();

    // The tab change handler is connected last, so filling the tabs above does not run it.
    connect(m_tab, &QTabWidget::currentChanged, this, &TarnlowDlg::OnSiteTabChanged);
    return false;
}

void TarnlowDlg::OnDestroy()
{
    if (m_bDestroyed || !m_tab)
        return;
    m_bDestroyed = true;

    // The help window goes with the main window.
    delete m_pHelpWindow;
    // The controls go with it too: their focus is nothing to follow any more.
    disconnect(m_focusWatch);
    m_bFocusHeld = false;

    // Stop whatever still runs before the profiles are read: abort every open
    // connection, refuse further hops to the window, and let the workers drain.
    m_session.Close();
    m_gate.Close();
    m_gate.WaitForWorkers(kShutdownWaitMs);
    if (QGuiApplication::overrideCursor())
        QGuiApplication::restoreOverrideCursor();

    SaveStoredPath();
    ReadAllPanes();
    if (!SaveSettings())
        m_dialogHost.MessageBox(
            this, tr("The site profiles could not be saved."), tr("ERROR"), MsgIcon::Exclamation, MsgButtons::Ok);

    if (m_pPutThread)
        m_pPutThread->Stop();
}

void TarnlowDlg::done(int nResult)
{
    QDialog::done(nResult);
    OnDestroy();
}

void TarnlowDlg::accept()
{
    if (m_dialogHost.MessageBox(
            this, tr("Quit the Tarnlow program?"), tr("Quit Confirm"), MsgIcon::Question, MsgButtons::YesNo)
        != MsgAnswer::Yes)
        return;
    UpdateDataFromFields();
    QDialog::accept();
}

void TarnlowDlg::OnAbout()
{
    AboutDlg about(this);
    m_dialogHost.DoModal(about);
}

void TarnlowDlg::OnHelp()
{
    // One help window: Help brings it to the front again. One the user closed is
    // made anew, so it shows the page as it stands now.
    if (m_pHelpWindow && !m_pHelpWindow->isVisible())
        delete m_pHelpWindow;
    if (!m_pHelpWindow) {
        const QString strProgramDir = QCoreApplication::applicationDirPath();
        const QString strPage = HelpFile::Path(strProgramDir);
        const QFileInfo page(strPage);
        if (!page.isFile() || !page.isReadable()) {
            m_dialogHost.MessageBox(this,
                tr("Unable to open the help file. It was looked for in:\n%1")
                    .arg(HelpFile::Places(strProgramDir).join(u'\n')),
                tr("Tarnlow Help"), MsgIcon::Exclamation, MsgButtons::Ok);
            return;
        }
        m_pHelpWindow = new HelpWindow(m_dialogHost, strPage, this);
    }
    m_pHelpWindow->Present();
}

void TarnlowDlg::SetIdle(bool idle, bool bConnected, bool bComplete, const std::function<void()>& relist)
{
    RunOnUi([&] {
        m_bIdle = idle;
        // The worker's last reports may not be shown yet.
        if (idle)
            m_pPutThread->ShowLatest(this);
    });
    // A complete transfer lists the site again.
    const bool bDone = idle && bConnected && bComplete;
    if (bDone) {
        if (relist) {
            relist();
        } else {
            SiteProfile site;
            TabPane* pPane = nullptr;
            RunOnUi([&] {
                pPane = m_pActivePane;
                site = *pPane;
            });
            ShowRemoteDirectory(site, pPane);
        }
    }
    RunOnUi([&] {
        m_bAcceptDrops = idle;
        // The pane made read-only is the pane made writable again, whichever
        // site is active by then.
        if (!idle) {
            m_pLockedPane = m_pActivePane;
            m_pLockedPane->SetFieldsReadOnly(true);
        } else if (m_pLockedPane) {
            m_pLockedPane->SetFieldsReadOnly(false);
            m_pLockedPane = nullptr;
        }
        if (bConnected)
            m_remoteList->setEnabled(idle);
        for (QPushButton* pButton : {m_btnRefresh, m_btnHome, m_btnDelete, m_btnDownload, m_btnBrowse})
            pButton->setEnabled(idle);
        m_editDownloadPath->setReadOnly(!idle);
        m_tab->setEnabled(idle);
        SetWaitCursor(!idle);
    });
    if (idle) {
        if (bDone) {
            RunOnUi([this] {
                TransferDoneDlg done(this);
                m_dialogHost.DoModal(done);
            });
        }
        RunOnUi([this] { m_pPutThread->ClearProgress(this); });
    }
}

void TarnlowDlg::SetWaitCursor(bool bWait)
{
    const bool bShown = QGuiApplication::overrideCursor() != nullptr;
    if (bWait && !bShown)
        QGuiApplication::setOverrideCursor(Qt::WaitCursor);
    else if (!bWait && bShown)
        QGuiApplication::restoreOverrideCursor();
}

MsgAnswer TarnlowDlg::MessageBox(
    const QString& strText, const QString& strCaption, MsgIcon icon, MsgButtons buttons, const QString& strInformative)
{
    MsgAnswer answer = MsgAnswer::No;
    if (!RunOnUi([&] { answer = m_dialogHost.MessageBox(this, strText, strCaption, icon, buttons, strInformative); }))
        return MsgAnswer::No;
    return answer;
}

void TarnlowDlg::UpdateFieldsFromData()
{
    m_editDownloadPath->setText(m_strDownloadPath);
    m_editTransferName->setText(m_strTransferName);
    m_editPercent->setText(m_strPercent);
}

void TarnlowDlg::UpdateDataFromFields()
{
    m_strDownloadPath = m_editDownloadPath->text();
    m_strTransferName = m_editTransferName->text();
    m_strPercent = m_editPercent->text();
}

void TarnlowDlg::BeginWorker(std::function<void()> work)
{
    // The work disables the button that started it, which pushes the focus on
    // to the next control; it goes back when the window is idle again. Work
    // started from a held drop or listing keeps the control of the first.
    if (!m_bFocusHeld) {
        m_bFocusHeld = true;
        m_pFocusBeforeWork = m_pFocusPushedTo = focusWidget();
    }
    m_bSlotBusy = true;
    // An upload connects before the window goes busy: a change of tab meanwhile
    // would show another site's list while the upload goes to this one. The
    // listing and SetIdle enable the tab control again when they end.
    m_tab->setEnabled(false);
    m_gate.Start([this, work = std::move(work)] {
        work();
        RunOnUi([this] {
            m_bSlotBusy = false;
            emit SlotReleased();
        });
    });
}

void TarnlowDlg::RestoreFocusAfterWork()
{
    if (!std::exchange(m_bFocusHeld, false))
        return;
    // Only to a control the user can use, and only while the focus is where the
    // work pushed it: a control the user moved to meanwhile keeps it. Within
    // this window only: when another window or a message box is in front,
    // setFocus just marks where the focus goes when this window is active again.
    QWidget* pControl = m_pFocusBeforeWork;
    if (pControl && pControl->isVisible() && pControl->isEnabled() && focusWidget() == m_pFocusPushedTo)
        pControl->setFocus(Qt::OtherFocusReason);
}

void TarnlowDlg::ResetProgress(int nTotalFiles)
{
    m_nTotalFiles = nTotalFiles;
    if (m_pPutThread)
        m_pPutThread->ResetCount();
    // A range of 0..0 would turn the bar into a busy indicator; an empty transfer
    // keeps an empty bar instead. Each item is divided into units, so that the
    // bar moves with the bytes of a large file too.
    m_progress->setRange(0, m_nTotalFiles > 0 ? m_nTotalFiles * PutThread::UnitsPerItem(m_nTotalFiles) : 1);
    m_progress->setValue(0);
}

void TarnlowDlg::StartTransferAnimation()
{
    RunOnUi([this] { m_animate->Play(); });
}

void TarnlowDlg::StopTransferAnimation()
{
    RunOnUi([this] { m_animate->Stop(); });
}

void TarnlowDlg::changeEvent(QEvent* pEvent)
{
    // The window has a fixed size: a request to maximise is ignored.
    if (pEvent->type() == QEvent::WindowStateChange && (windowState() & Qt::WindowMaximized))
        setWindowState(windowState() & ~Qt::WindowMaximized);
    QDialog::changeEvent(pEvent);
}

/// The local paths of a drop, as the bytes the system knows them by. A file
/// manager sends each path percent-encoded byte for byte; those bytes are
/// taken as they are, rather than through QUrl::toLocalFile(), whose text
/// replaces bytes that are not UTF-8 and would name another file, or none.
static QList<QByteArray> LocalPathsOf(const QMimeData* pMime)
{
    QList<QByteArray> paths;
    if (!pMime || !pMime->hasUrls())
        return paths;
    for (const QUrl& url : pMime->urls()) {
        if (!url.isLocalFile())
            continue;
        QByteArray strPath = QByteArray::fromPercentEncoding(url.path(QUrl::FullyEncoded).toLatin1());
        // As toLocalFile() has it: a host names a share, "//host/path".
        if (!url.host().isEmpty())
            strPath = "//" + url.host().toUtf8() + strPath;
        if (!strPath.isEmpty())
            paths.append(strPath);
    }
    return paths;
}

void TarnlowDlg::dragEnterEvent(QDragEnterEvent* pEvent)
{
    if (m_bAcceptDrops && !LocalPathsOf(pEvent->mimeData()).isEmpty())
        pEvent->acceptProposedAction();
    else
        pEvent->ignore();
}

void TarnlowDlg::dropEvent(QDropEvent* pEvent)
{
    const QList<QByteArray> paths = LocalPathsOf(pEvent->mimeData());
    if (!m_bAcceptDrops || paths.isEmpty()) {
        pEvent->ignore();
        return;
    }
    pEvent->acceptProposedAction();
    // Handled after the drop event has returned, so the file manager that
    // started the drag is never kept waiting for a message.
    const auto handle = [this, paths] {
        if (!m_bDestroyed) // the window may be closing by then
            OnDropFiles(paths);
    };
    QMetaObject::invokeMethod(this, handle, Qt::QueuedConnection);
}
