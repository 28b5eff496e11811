#include "support/WindowFixture.h"

#include "ftp/InternetSession.h"
#include "sites/SettingsArchive.h"
#include "sites/SettingsFile.h"
#include "support/FtpTestServer.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QSettings>
#include <QTest>

namespace {

QTemporaryDir& ConfigHome()
{
    static QTemporaryDir dir;
    return dir;
}

} // namespace

void WindowFixture::InitTestProcess()
{
    qputenv("XDG_CONFIG_HOME", ConfigHome().path().toLocal8Bit());
    qputenv("QT_QPA_PLATFORM", "offscreen");
}

WindowFixture::WindowFixture()
{
    ClearStoredState();
}

WindowFixture::~WindowFixture()
{
    Close();
}

void WindowFixture::ClearStoredState()
{
    QFile::remove(SettingsFilePath());
    QSettings settings(QStringLiteral("Halvorn"), QStringLiteral("Tarnlow"));
    settings.clear();
    settings.sync();
}

void WindowFixture::WriteProfiles(const std::array<SiteProfile, 5>& profiles)
{
    SettingsArchive archive = SettingsArchive::ForStoring();
    for (SiteProfile profile : profiles)
        profile.Serialize(archive);
    QVERIFY(SettingsFile::Write(SettingsFilePath(), archive.Data()));
}

void WindowFixture::WriteSite(int nIndex, const QByteArray& strAddress, const QByteArray& strUsername,
    const QByteArray& strPassword, const QByteArray& strDirectory)
{
    std::array<SiteProfile, 5> profiles;
    profiles[size_t(nIndex)] = SiteProfile {strAddress, strUsername, strPassword, strDirectory};
    WriteProfiles(profiles);
}

void WindowFixture::WriteSite(
    const FtpTestServer& server, const QByteArray& strDirectory, const QByteArray& strPassword)
{
    WriteSite(0, server.Address().toUtf8(), server.User().toUtf8(),
        strPassword.isEmpty() ? server.Password().toUtf8() : strPassword, strDirectory);
}

void WindowFixture::WriteDownloadPath(const QString& strPath)
{
    QSettings settings(QStringLiteral("Halvorn"), QStringLiteral("Tarnlow"));
    settings.setValue(QStringLiteral("Path"), strPath);
    settings.sync();
}

TarnlowDlg& WindowFixture::Open(const QList<QByteArray>& commandLinePaths)
{
    Close();
    m_commandLinePaths = commandLinePaths;
    m_pDlg = std::make_unique<TarnlowDlg>(m_host);
    FtpTimeouts timeouts;
    timeouts.nConnectMs = 5000;
    timeouts.nReplyMs = 5000;
    timeouts.nAcceptMs = 5000;
    timeouts.nDataMs = 5000;
    m_pDlg->Session().SetTimeouts(timeouts);
    m_pDlg->SetCommandLinePaths(&m_commandLinePaths);
    m_pDlg->OnInitDialog();
    m_pDlg->show();
    return *m_pDlg;
}

TarnlowDlg& WindowFixture::OpenOn(const FtpTestServer& server, const QByteArray& strDirectory)
{
    WriteSite(server, strDirectory);
    TarnlowDlg& dlg = Open();
    if (!WaitIdle())
        QTest::qFail("The first listing did not end", __FILE__, __LINE__);
    return dlg;
}

void WindowFixture::SetWaits(int nReplyAndDataMs, int nAcceptMs)
{
    FtpTimeouts timeouts = m_pDlg->Session().Timeouts();
    timeouts.nReplyMs = timeouts.nDataMs = nReplyAndDataMs;
    if (nAcceptMs > 0)
        timeouts.nAcceptMs = nAcceptMs;
    m_pDlg->Session().SetTimeouts(timeouts);
}

void WindowFixture::Close()
{
    if (!m_pDlg)
        return;
    m_pDlg->reject();
    m_pDlg.reset();
}

bool WindowFixture::WaitIdle(int nMsec)
{
    QDeadlineTimer deadline(nMsec);
    while (!deadline.hasExpired()) {
        if (!m_pDlg->IsSlotBusy() && m_pDlg->Gate().RunningWorkers() == 0)
            return true;
        QTest::qWait(10);
    }
    return false;
}

QString WindowFixture::SettingsFilePath() const
{
    return QDir(TarnlowDlg::SettingsDirectory()).filePath(SettingsFile::FileName());
}

QByteArray WindowFixture::SettingsFileBytes() const
{
    QFile file(SettingsFilePath());
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return file.readAll();
}

QString WindowFixture::StoredDownloadPath() const
{
    QSettings settings(QStringLiteral("Halvorn"), QStringLiteral("Tarnlow"));
    return settings.value(QStringLiteral("Path")).toString();
}

void WindowFixture::VerifyNoPromptFailures() const
{
    QVERIFY2(m_host.Failures().isEmpty(), qPrintable(m_host.Failures().join(u'\n')));
}

void WindowFixture::VerifyNoUnexpectedPrompts() const
{
    VerifyNoPromptFailures();
    QCOMPARE(m_host.PendingCount(), 0);
}

void WindowFixture::VerifyLastPrompt(
    const QString& strCaption, MsgIcon icon, MsgButtons buttons, const QString& strText) const
{
    const ScriptedDialogHost::Prompt prompt = m_host.LastPrompt();
    QCOMPARE(prompt.m_strCaption, strCaption);
    QCOMPARE(prompt.m_icon, icon);
    QCOMPARE(prompt.m_buttons, buttons);
    if (!strText.isNull())
        QCOMPARE(prompt.m_strText, strText);
}

void WindowTest::init()
{
    m_fixture.Close();
    m_fixture.ClearStoredState();
    m_fixture.m_host.Clear();
}

void WindowTest::cleanup()
{
    m_fixture.Close();
    m_fixture.VerifyNoPromptFailures();
}
