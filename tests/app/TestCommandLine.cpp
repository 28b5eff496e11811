#include "app/CommandLine.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

class TestCommandLine : public QObject {
    Q_OBJECT

private slots:
    void JoinAndSplit_data();
    void JoinAndSplit();
    void ExistingPathsArriveWhole_data();
    void ExistingPathsArriveWhole();

private:
    /// Runs the built program with @p arguments in @p strFolder and checks that
    /// it ends with @p nStatus and the output that goes with it; @p named is
    /// the unknown option of status 2.
    static void RunProgramFor(
        const QStringList& arguments, const QString& strFolder, int nStatus, const QStringList& named);
};

void TestCommandLine::JoinAndSplit_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("joined");
    QTest::addColumn<QStringList>("paths");
    const auto S = [](const char* psz) { return QString::fromUtf8(psz); };

    QTest::newRow("none") << QStringList() << QString() << QStringList();
    QTest::newRow("one") << QStringList {S("a.txt")} << S("a.txt") << QStringList {S("a.txt")};
    QTest::newRow("three") << QStringList {S("a"), S("b.c"), S("d")} << S("a b.c d")
                           << QStringList {S("a"), S("b.c"), S("d")};
    QTest::newRow("space inside") << QStringList {S("my folder")} << S("my folder")
                                  << QStringList {S("my"), S("folder")};
    QTest::newRow("double space") << QStringList {S("one"), S(" two"), S("three")} << S("one  two three")
                                  << QStringList {S("one"), S(" two three")};
    QTest::newRow("trailing space") << QStringList {S("one"), S("two ")} << S("one two ")
                                    << QStringList {S("one"), S("two")};
    QTest::newRow("leading space") << QStringList {S(" one"), S("two")} << S(" one two") << QStringList {S(" one two")};
    QTest::newRow("empty first") << QStringList {QString(), S("b"), S("c")} << S("b c") << QStringList {S("b"), S("c")};
    QTest::newRow("empty later") << QStringList {S("a"), QString(), S("c")} << S("a  c")
                                 << QStringList {S("a"), S(" c")};
    // What is joined are paths (options never are): a leading '-' stays.
    QTest::newRow("dashes kept") << QStringList {S("-name"), S("--other"), S("x-y/z")} << S("-name --other x-y/z")
                                 << QStringList {S("-name"), S("--other"), S("x-y/z")};
    // An absolute path keeps its leading slash.
    QTest::newRow("absolute path kept") << QStringList {S("/tmp/a.txt"), S("/srv/b")} << S("/tmp/a.txt /srv/b")
                                        << QStringList {S("/tmp/a.txt"), S("/srv/b")};
    QTest::newRow("absolute path with a space")
        << QStringList {S("/tmp/a b.txt")} << S("/tmp/a b.txt") << QStringList {S("/tmp/a"), S("b.txt")};
    QTest::newRow("a lone dash first") << QStringList {S("-"), S("a")} << S("- a") << QStringList {S("-"), S("a")};
    QTest::newRow("a lone dash later") << QStringList {S("a"), S("-"), S("b")} << S("a - b")
                                       << QStringList {S("a"), S("-"), S("b")};
    QTest::newRow("a lone dash last") << QStringList {S("a"), S("-")} << S("a -") << QStringList {S("a"), S("-")};
}

void TestCommandLine::JoinAndSplit()
{
    QFETCH(QStringList, arguments);
    QFETCH(QString, joined);
    QFETCH(QStringList, paths);

    TarnlowCommandLineInfo info;
    QVERIFY(info.m_strFileName.isEmpty());
    ParseCommandLine(arguments, info);
    QCOMPARE(info.m_strFileName, joined);
    QCOMPARE(SplitCommandLinePaths(info.m_strFileName), paths);
}

void TestCommandLine::ExistingPathsArriveWhole_data()
{
    QTest::addColumn<QStringList>("arguments");
    // Created first: a trailing '/' makes a folder, a trailing '@' a link to nothing.
    QTest::addColumn<QStringList>("existing");
    // The paths taken; for a BadOption, the one option named.
    QTest::addColumn<QStringList>("paths");
    QTest::addColumn<CommandLineRequest>("asks");
    // The exit status of the real program, run with these arguments and no
    // display; -1: not run.
    QTest::addColumn<int>("status");
    constexpr CommandLineRequest Run = CommandLineRequest::Run;
    constexpr CommandLineRequest BadOption = CommandLineRequest::BadOption;
    const auto S = [](const char* psz) { return QString::fromUtf8(psz); };
    const QString strNotes = S("My Notes.txt");
    const QString strFolder = S("a folder");

    // "Notes.txt" exists too: split, the argument would upload that file instead.
    QTest::newRow("a file with a space") << QStringList {strNotes} << QStringList {strNotes, S("Notes.txt")}
                                         << QStringList {strNotes} << Run << -1;
    QTest::newRow("files and folders") << QStringList {strNotes, strFolder, S("plain")}
                                       << QStringList {strNotes, strFolder + QLatin1Char('/'), S("plain")}
                                       << QStringList {strNotes, strFolder, S("plain")} << Run << -1;
    // An argument that does not exist or is empty is joined and split with
    // its missing neighbours only; every existing argument around it still
    // arrives whole.
    QTest::newRow("one missing") << QStringList {strNotes, S("gone here")} << QStringList {strNotes}
                                 << QStringList {strNotes, S("gone"), S("here")} << Run << -1;
    // A broken link dropped together with "My Notes.txt": "Notes.txt" of the
    // working folder must not be uploaded in its place.
    QTest::newRow("a broken link among them") << QStringList {strNotes, S("dead link"), S("plain")}
                                              << QStringList {strNotes, S("Notes.txt"), S("dead link@"), S("plain")}
                                              << QStringList {strNotes, S("dead"), S("link"), S("plain")} << Run << -1;
    QTest::newRow("missing runs on both sides")
        << QStringList {S("--"), S("-gone"), S("x y"), strNotes, strFolder, S("a"), S("-b")}
        << QStringList {strNotes, strFolder + QLatin1Char('/')}
        << QStringList {S("-gone"), S("x"), S("y"), strNotes, strFolder, S("a"), S("-b")} << Run << -1;
    QTest::newRow("an empty one") << QStringList {strNotes, QString()} << QStringList {strNotes}
                                  << QStringList {strNotes} << Run << -1;
    // Asked of the system by its bytes: a name beginning with ':' is no
    // resource path, and exists as it stands.
    QTest::newRow("a name beginning with ':'") << QStringList {S(":my notes.txt")} << QStringList {S(":my notes.txt")}
                                               << QStringList {S(":my notes.txt")} << Run << -1;

    // "--" ends the options: what follows is a path as it stands, dashes and all.
    QTest::newRow("-- then -x") << QStringList {S("--"), S("-x")} << QStringList {S("-x")} << QStringList {S("-x")}
                                << Run << -1;
    QTest::newRow("-- then a missing -x")
        << QStringList {S("--"), S("-x")} << QStringList {} << QStringList {S("-x")} << Run << -1;
    QTest::newRow("a path with a space after --")
        << QStringList {S("--"), S("-x y"), strNotes} << QStringList {S("-x y"), strNotes}
        << QStringList {S("-x y"), strNotes} << Run << -1;
    QTest::newRow("options after --") << QStringList {strNotes, S("--"), S("--help"), S("--"), S("-y")}
                                      << QStringList {strNotes} << QStringList {strNotes, S("--help"), S("--"), S("-y")}
                                      << Run << -1;
    QTest::newRow("a lone dash") << QStringList {S("-")} << QStringList {S("-")} << QStringList {S("-")} << Run << -1;
    // Qt's own options go to Qt with their values, and are no paths.
    QTest::newRow("Qt's options") << QStringList {S("-style"), S("fusion"), strNotes, S("-session"), S("1_2"),
        S("--reverse"), S("-stylesheet=x.qss")}
                                  << QStringList {strNotes} << QStringList {strNotes} << Run << -1;

    // --help, -h or --version asks for a text and no window, wherever it
    // stands; the first option decides.
    QTest::newRow("--help") << QStringList {S("--help")} << QStringList {} << QStringList {}
                            << CommandLineRequest::Usage << 0;
    QTest::newRow("-h") << QStringList {S("-h")} << QStringList {} << QStringList {} << CommandLineRequest::Usage << 0;
    QTest::newRow("--version") << QStringList {S("--version")} << QStringList {} << QStringList {}
                               << CommandLineRequest::Version << 0;
    QTest::newRow("--help beside a path") << QStringList {S("--help"), strNotes} << QStringList {strNotes}
                                          << QStringList {} << CommandLineRequest::Usage << 0;
    QTest::newRow("--version after a path and before --help")
        << QStringList {strNotes, S("--version"), S("--help")} << QStringList {strNotes} << QStringList {}
        << CommandLineRequest::Version << 0;
    QTest::newRow("--version twice") << QStringList {S("--version"), S("--version")} << QStringList {} << QStringList {}
                                     << CommandLineRequest::Version << 0;
    // Any other option is an error: named on standard error, status 2, no window.
    QTest::newRow("-x") << QStringList {S("-x")} << QStringList {S("x")} << QStringList {S("-x")} << BadOption << 2;
    QTest::newRow("-help") << QStringList {S("-help")} << QStringList {} << QStringList {S("-help")} << BadOption << 2;
    QTest::newRow("an unknown option after a path")
        << QStringList {strNotes, S("--frob"), S("-y")} << QStringList {strNotes} << QStringList {S("--frob")}
        << BadOption << 2;
    QTest::newRow("an unknown option before --help")
        << QStringList {S("-x y"), S("--help")} << QStringList {} << QStringList {S("-x y")} << BadOption << 2;
    QTest::newRow("--help before an unknown option")
        << QStringList {S("--help"), S("-x")} << QStringList {} << QStringList {} << CommandLineRequest::Usage << 0;
    QTest::newRow("--help= is no --help")
        << QStringList {S("--help=all")} << QStringList {} << QStringList {S("--help=all")} << BadOption << 2;

    // No display to open the window on: one line, status 1 (and no abort).
    QTest::newRow("no display") << QStringList {strNotes} << QStringList {strNotes} << QStringList {strNotes} << Run
                                << 1;
}

void TestCommandLine::ExistingPathsArriveWhole()
{
    QFETCH(QStringList, arguments);
    QFETCH(QStringList, existing);
    QFETCH(QStringList, paths);
    QFETCH(CommandLineRequest, asks);
    QFETCH(int, status);

    // Relative names, so a leading '-' is the argument's first character.
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    // By their bytes: a path class would read ":name" as a resource.
    for (const QString& strName : existing) {
        const QByteArray strPath = QFile::encodeName(dir.path() + QLatin1Char('/') + strName);
        if (strName.endsWith(QLatin1Char('/'))) {
            QCOMPARE(::mkdir(strPath.constData(), 0777), 0);
        } else if (strName.endsWith(QLatin1Char('@'))) {
            QCOMPARE(::symlink("nowhere", strPath.chopped(1).constData()), 0);
        } else {
            const int fd = ::open(strPath.constData(), O_WRONLY | O_CREAT | O_EXCL, 0666);
            QVERIFY(fd >= 0);
            ::close(fd);
        }
    }

    const auto Bytes = [](const QStringList& texts) {
        QList<QByteArray> bytes;
        for (const QString& strText : texts)
            bytes.append(QFile::encodeName(strText));
        return bytes;
    };
    const SortedArguments sorted = SortArguments(Bytes(arguments));
    QCOMPARE(sorted.m_request, asks);
    if (asks == CommandLineRequest::Run) {
        QVERIFY(sorted.m_strOption.isEmpty());
        const QString strStart = QDir::currentPath();
        QVERIFY(QDir::setCurrent(dir.path()));
        const QList<QByteArray> taken = CommandLinePaths(sorted.m_operands);
        QVERIFY(QDir::setCurrent(strStart));
        QCOMPARE(taken, Bytes(paths));
    } else if (asks == CommandLineRequest::BadOption) {
        QCOMPARE(QStringList {sorted.m_strOption}, paths);
    }
    if (status >= 0)
        RunProgramFor(arguments, dir.path(), status, paths);
}

void TestCommandLine::RunProgramFor(
    const QStringList& arguments, const QString& strFolder, int nStatus, const QStringList& named)
{
    // The real program, started in @p strFolder with no display to open a
    // window on (it would end with status 1) and a settings folder of its own,
    // which must stay empty.
    QTemporaryDir configHome;
    QVERIFY(configHome.isValid());
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const char* pszName : {"QT_QPA_PLATFORM", "DISPLAY", "WAYLAND_DISPLAY", "XDG_SESSION_TYPE"})
        environment.remove(QString::fromLatin1(pszName));
    // The texts checked are the English ones, whatever the user's language.
    for (const char* pszName : {"LANGUAGE", "LC_ALL", "LC_MESSAGES"})
        environment.remove(QString::fromLatin1(pszName));
    environment.insert(QStringLiteral("LANG"), QStringLiteral("C.UTF-8"));
    // No Wayland socket in the default place either.
    environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), configHome.path());
    environment.insert(QStringLiteral("XDG_CONFIG_HOME"), configHome.filePath(QStringLiteral("config")));
    QProcess program;
    program.setProcessEnvironment(environment);
    program.setWorkingDirectory(strFolder);
    program.start(QStringLiteral(TARNLOW_PROGRAM), arguments);
    QVERIFY(program.waitForStarted(10000));
    const bool bFinished = program.waitForFinished(20000);
    if (!bFinished)
        program.kill();
    QVERIFY2(bFinished, "the program did not end");
    const QString strOut = QString::fromLocal8Bit(program.readAllStandardOutput());
    const QString strErr = QString::fromLocal8Bit(program.readAllStandardError());
    QVERIFY2(program.exitStatus() == QProcess::NormalExit, qPrintable(strErr));
    QCOMPARE(program.exitCode(), nStatus);
    QVERIFY(!QFileInfo::exists(configHome.filePath(QStringLiteral("config"))));

    if (nStatus == 1) {
        // One line that says what is wrong, in the program's name.
        QCOMPARE(strOut, QString());
        QVERIFY2(strErr.startsWith(QStringLiteral("tarnlow: ")) && strErr.count(QLatin1Char('\n')) == 1
                && strErr.endsWith(QLatin1Char('\n')),
            qPrintable(strErr));
        return;
    }
    if (nStatus == 2) {
        QCOMPARE(strOut, QString());
        QCOMPARE(strErr,
            QStringLiteral("tarnlow: unrecognized option '%1'\nTry 'tarnlow --help' for more information.\n")
                .arg(named.value(0)));
        return;
    }
    QCOMPARE(strErr, QString());
    if (strOut.startsWith(QStringLiteral("tarnlow "))) {
        QCOMPARE(strOut,
            QStringLiteral("tarnlow 1.02\n"
                           "Copyright (C) 2026 Tarnlow maintainers.\n"
                           "License GPLv3+: GNU GPL version 3 or later <https://gnu.org/licenses/gpl.html>.\n"
                           "This is free software: you are free to change and redistribute it.\n"
                           "There is NO WARRANTY, to the extent permitted by law.\n"));
    } else {
        // The usage names the help page the program would open: the one beside it here.
        QVERIFY2(strOut.startsWith(QStringLiteral("Usage: tarnlow [OPTION]... [PATH]...\n")), qPrintable(strOut));
        const QString strHelp
            = QFileInfo(QStringLiteral(TARNLOW_PROGRAM)).dir().filePath(QStringLiteral("tarnlow.html"));
        QVERIFY2(strOut.contains(QStringLiteral("Help page: %1\n").arg(strHelp)), qPrintable(strOut));
        QVERIFY2(strOut.contains(QStringLiteral("FTPSettings.dat")), qPrintable(strOut));
    }
}

QTEST_GUILESS_MAIN(TestCommandLine)
#include "TestCommandLine.moc"
