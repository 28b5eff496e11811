#pragma once

#include "app/TarnlowDlg.h"
#include "sites/SiteProfile.h"
#include "support/ScriptedDialogHost.h"
#include "support/WindowView.h"

#include <QByteArray>
#include <QObject>
#include <QStringList>
#include <QTemporaryDir>

#include <array>
#include <memory>

class FtpTestServer;

/// The real main window under the offscreen platform, with its settings in a
/// private configuration folder and every prompt answered by a ScriptedDialogHost.
class WindowFixture {
public:
    /// Points XDG_CONFIG_HOME at a temporary folder for the whole test process.
    /// Call in main() before the QApplication exists (see TARNLOW_WINDOW_TEST_MAIN).
    static void InitTestProcess();

    WindowFixture();
    ~WindowFixture();

    /// Stores the profiles the next window loads at start-up.
    void WriteProfiles(const std::array<SiteProfile, 5>& profiles);
    /// Stores one profile (site 1 is index 0) and leaves the others empty.
    void WriteSite(int nIndex, const QByteArray& strAddress, const QByteArray& strUsername,
        const QByteArray& strPassword, const QByteArray& strDirectory = {});
    /// Stores the download folder setting.
    /// Stores site 1 for @p server, with the server's password unless @p strPassword is given.
    void WriteSite(
        const FtpTestServer& server, const QByteArray& strDirectory = {}, const QByteArray& strPassword = {});
    void WriteDownloadPath(const QString& strPath);
    /// Removes the settings file and the stored download folder.
    void ClearStoredState();

    /// Constructs the window, sets short engine time-outs, runs its start-up
    /// sequence (with @p commandLinePaths, the bytes of the command line's
    /// arguments) and shows it.
    TarnlowDlg& Open(const QList<QByteArray>& commandLinePaths = {});
    /// Opens the window on site 1 of @p server and waits for its first listing;
    /// a listing that does not end fails the running test.
    TarnlowDlg& OpenOn(const FtpTestServer& server, const QByteArray& strDirectory = {});
    /// Sets how long the engine waits for replies and data, and for the server
    /// to connect back when @p nAcceptMs is given.
    void SetWaits(int nReplyAndDataMs, int nAcceptMs = 0);
    /// Closes the window the way Escape does and destroys it.
    void Close();

    /// Waits (bounded) until no worker holds the window's connection slot.
    bool WaitIdle(int nMsec = 15000);

    QString SettingsFilePath() const;
    QByteArray SettingsFileBytes() const;
    QString StoredDownloadPath() const;

    /// Fails the running test when a prompt came that no answer was queued for, a
    /// shown text differed from the queued one, or a queued answer was never used.
    void VerifyNoUnexpectedPrompts() const;
    /// The same without the check for unused answers.
    void VerifyNoPromptFailures() const;
    /// Checks the last prompt's caption, icon and buttons, and its text when given.
    void VerifyLastPrompt(const QString& strCaption, MsgIcon icon, MsgButtons buttons = MsgButtons::Ok,
        const QString& strText = {}) const;

    /// Finds a child control by its member name.
    template <class T> T* Control(const char* pszName) const
    {
        return m_pDlg->findChild<T*>(QString::fromLatin1(pszName));
    }

    ScriptedDialogHost m_host;
    std::unique_ptr<TarnlowDlg> m_pDlg;
    QList<QByteArray> m_commandLinePaths;
};

/// A test class sharing one fixture between its tests: each starts with no
/// stored state and no queued answers, and ends with the window closed and no
/// prompt gone wrong.
class WindowTest : public QObject {
    Q_OBJECT

protected slots:
    void init();
    void cleanup();

protected:
    WindowFixture m_fixture;
};

#define TARNLOW_WINDOW_TEST_MAIN(TestClass)                                                                            \
    int main(int argc, char* argv[])                                                                                   \
    {                                                                                                                  \
        WindowFixture::InitTestProcess();                                                                              \
        QApplication app(argc, argv);                                                                                  \
        QApplication::setOrganizationName(QStringLiteral("Halvorn"));                                                  \
        QApplication::setApplicationName(QStringLiteral("Tarnlow"));                                                   \
        TestClass test;                                                                                                \
        return QTest::qExec(&test, argc, argv);                                                                        \
    }
