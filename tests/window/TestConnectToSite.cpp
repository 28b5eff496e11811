// Connecting the window to the active site: the four failure messages, the
// remote list on failure, and where the session stands after a good connect.

#include "app/RemoteListModel.h"
#include "ftp/FtpConnection.h"
#include "remote/SiteConnection.h"
#include "support/FtpTestServer.h"
#include "support/ScriptSteps.h"
#include "support/WindowFixture.h"

#include <QApplication>
#include <QDir>
#include <QLineEdit>
#include <QListView>
#include <QTest>

#include <netdb.h>

class TestConnectToSite : public WindowTest {
    Q_OBJECT

    TarnlowDlg& OpenWithSite(const QString& strAddress, const QString& strUser, const QString& strPassword,
        const QByteArray& strDirectory = {})
    {
        TarnlowDlg& dlg = m_fixture.Open();
        TabPane& pane = dlg.Pane(0);
        pane.m_strAddress = strAddress.toUtf8();
        pane.m_strUsername = strUser.toUtf8();
        pane.m_strPassword = strPassword.toUtf8();
        pane.m_strDirectory = strDirectory;
        pane.PushFields();
        return dlg;
    }

    static void FillList(TarnlowDlg& dlg)
    {
        RemoteListModel::Entries entries;
        entries.Append("left over", RemoteListModel::kFile);
        qobject_cast<RemoteListModel*>(View(dlg).m_remoteList->model())->Fill(std::move(entries));
    }
    static int ListCount(TarnlowDlg& dlg) { return View(dlg).m_remoteList->model()->rowCount(); }

private slots:
    void cleanup()
    {
        WindowTest::cleanup();
        QCOMPARE(m_fixture.m_host.PendingCount(), 0); // every queued answer was used
    }

    void FailuresShowTheirMessageAndEmptyTheList_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("message");
        QTest::addColumn<QString>("cause"); // below the message: why
        QTest::newRow("password refused")
            << QStringLiteral("password")
            << QStringLiteral("Can't connect to FTP server - check the FTP username/password")
            << QStringLiteral("530 Authentication failed.");
        // A name the resolver refuses by its form alone, so no query leaves the machine.
        QTest::newRow("name not resolved")
            << QStringLiteral("name") << QStringLiteral("Can't connect to FTP server - check the FTP address")
            << QString::fromLocal8Bit(gai_strerror(EAI_NONAME));
        QTest::newRow("nothing listening")
            << QStringLiteral("refused") << QStringLiteral("Can't connect to the FTP server")
            << QStringLiteral("Connection refused");
    }

    void FailuresShowTheirMessageAndEmptyTheList()
    {
        QFETCH(QString, kind);
        QFETCH(QString, message);
        QFETCH(QString, cause);
        FtpTestServer server;
        QString strAddress = FtpTestServer::UnusedAddress();
        if (kind == QLatin1String("password")) {
            QVERIFY(server.Start());
            strAddress = server.Address();
        } else if (kind == QLatin1String("name")) {
            strAddress = QStringLiteral("no..such..host");
        }
        TarnlowDlg& dlg = OpenWithSite(strAddress, server.User(), QStringLiteral("wrong"));
        FillList(dlg);

        m_fixture.m_host.ExpectMessage(message);
        SiteConnection link;
        SiteProfile site = *dlg.ActivePane();
        QVERIFY(!dlg.ConnectToSite(link, site, true));
        QVERIFY(!link.IsConnected());
        m_fixture.VerifyLastPrompt(QStringLiteral("FTP Error"), MsgIcon::Hand);
        QCOMPARE(m_fixture.m_host.LastPrompt().m_strInformative, cause);
        QCOMPARE(ListCount(dlg), 0);

        // Without messages the same failure is silent, and still empties the list.
        FillList(dlg);
        QVERIFY(!dlg.ConnectToSite(link, site, false));
        QVERIFY(!link.IsConnected());
        QCOMPARE(ListCount(dlg), 0);
        QCOMPARE(m_fixture.m_host.PromptCount(), 1);
    }

    void RefusedDirectoryDisconnectsAndKeepsTheList()
    {
        FtpTestServer server;
        QVERIFY(server.Start());
        TarnlowDlg& dlg = OpenWithSite(server.Address(), server.User(), server.Password(), "/no/such/dir");
        FillList(dlg);
        m_fixture.m_host.ExpectMessage(
            QStringLiteral("Directory is not contained on FTP server - check the Directory"));
        SiteConnection link;
        SiteProfile site = *dlg.ActivePane();
        QVERIFY(!dlg.ConnectToSite(link, site, true));
        QVERIFY(!link.IsConnected());
        m_fixture.VerifyLastPrompt(QStringLiteral("FTP Error"), MsgIcon::Hand);
        // The server's own refusal says why.
        QVERIFY(m_fixture.m_host.LastPrompt().m_strInformative.startsWith(QLatin1String("550 ")));
        QCOMPARE(ListCount(dlg), 1);
        QCOMPARE(dlg.Pane(0).m_strDirectory, QByteArray("/no/such/dir"));
    }

    void EmptyDirectoryRecordsTheLoginDirectoryInMemoryOnly()
    {
        FtpTestServer server;
        QVERIFY(server.Start());
        QVERIFY(QDir(server.RootPath()).mkdir(QStringLiteral("pub")));
        TarnlowDlg& dlg = OpenWithSite(server.Address(), server.User(), server.Password());
        SiteConnection link;
        SiteProfile site = *dlg.ActivePane();
        QVERIFY(dlg.ConnectToSite(link, site, true));
        QVERIFY(link.IsConnected());
        QCOMPARE(dlg.HomeDirectory(), QByteArray("/"));
        QCOMPARE(dlg.Pane(0).m_strDirectory, QByteArray("/"));
        QVERIFY(dlg.Pane(0).m_editDirectory->text().isEmpty());
        link.Close();
        QVERIFY(!link.IsConnected());
        QCOMPARE(dlg.Session().OpenConnections(), 0);
        // The next read of the fields empties the site's directory again.
        dlg.Pane(0).PullFields();
        QVERIFY(dlg.Pane(0).m_strDirectory.isEmpty());

        // A site with a directory enters it and leaves the home directory alone:
        // first a server that names another login directory.
        using namespace ScriptSteps;
        FtpTestServer scripted;
        QVERIFY(scripted.StartScripted(Script(Login() + QJsonArray {Expect("PWD"), Send("257 \"/earlier\"\r\n")})));
        SiteProfile elsewhere {scripted.Address().toUtf8(), "user", "pass", {}};
        QVERIFY(dlg.ConnectToSite(link, elsewhere, true));
        link.Close();
        QCOMPARE(dlg.HomeDirectory(), QByteArray("/earlier"));
        site.m_strDirectory = "/pub";
        QVERIFY(dlg.ConnectToSite(link, site, true));
        QVERIFY(link.IsConnected());
        QByteArray strWhere;
        QVERIFY(link.Connection().GetCurrentDirectory(strWhere));
        QCOMPARE(strWhere, QByteArray("/pub"));
        QCOMPARE(dlg.HomeDirectory(), QByteArray("/earlier"));
        link.Close();
    }
};

TARNLOW_WINDOW_TEST_MAIN(TestConnectToSite)
#include "TestConnectToSite.moc"
