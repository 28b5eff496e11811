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
    /// Runs the built program with @p arguments, which ask for a text and no window.
    static void RunProgramFor(const QStringList& arguments, CommandLineRequest asks);
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
    QTest::newRow("switches") << QStringList {S("-name"), S("-other"), S("x-y/z")} << S("name other x-y/z")
                              << QStringList {S("name"), S("other"), S("x-y/z")};
    QTest::newRow("only one char dropped") << QStringList {S("--b"), S("-")} << S("-b ") << QStringList {S("-b")};
    // An absolute path keeps its leading slash: '/' is no switch where it separates paths.
    QTest::newRow("absolute path kept") << QStringList {S("/tmp/a.txt"), S("/srv/b")} << S("/tmp/a.txt /srv/b")
                                        << QStringList {S("/tmp/a.txt"), S("/srv/b")};
    QTest::newRow("absolute path with a space")
        << QStringList {S("/tmp/a b.txt")} << S("/tmp/a b.txt") << QStringList {S("/tmp/a"), S("b.txt")};
    QTest::newRow("bare switch first") << QStringList {S("-"), S("a")} << S("a") << QStringList {S("a")};
    QTest::newRow("bare switch later") << QStringList {S("a"), S("-"), S("b")} << S("a  b")
                                       << QStringList {S("a"), S(" b")};
    QTest::newRow("bare switch last") << QStringList {S("a"), S("-")} << S("a ") << QStringList {S("a")};
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
    QTest::addColumn<QStringList>("paths");
    QTest::addColumn<CommandLineRequest>("asks");
    constexpr CommandLineRequest Run = CommandLineRequest::Run;
    const QString strNotes = QStringLiteral("My Notes.txt");
    const QString strFolder = QStringLiteral("a folder");

    // "Notes.txt" exists too: split, the argument would upload that file instead.
    QTest::newRow("a file with a space") << QStringList {strNotes}
                                         << QStringList {strNotes, QStringLiteral("Notes.txt")}
                                         << QStringList {strNotes} << Run;
    QTest::newRow("files and folders") << QStringList {strNotes, strFolder, QStringLiteral("plain")}
                                       << QStringList {strNotes, strFolder + QLatin1Char('/'), QStringLiteral("plain")}
                                       << QStringList {strNotes, strFolder, QStringLiteral("plain")} << Run;
    // An argument that does not exist, is empty or begins with a switch
    // character is joined and split with its missing neighbours only; every
    // existing argument around it still arrives whole.
    QTest::newRow("one missing") << QStringList {strNotes, QStringLiteral("gone here")} << QStringList {strNotes}
                                 << QStringList {strNotes, QStringLiteral("gone"), QStringLiteral("here")} << Run;
    // A broken link dropped together with "My Notes.txt": "Notes.txt" of the
    // working folder must not be uploaded in its place.
    QTest::newRow("a broken link among them")
        << QStringList {strNotes, QStringLiteral("dead link"), QStringLiteral("plain")}
        << QStringList {strNotes, QStringLiteral("Notes.txt"), QStringLiteral("dead link@"), QStringLiteral("plain")}
        << QStringList {strNotes, QStringLiteral("dead"), QStringLiteral("link"), QStringLiteral("plain")} << Run;
    QTest::newRow("missing runs on both sides")
        << QStringList {QStringLiteral("-gone"), QStringLiteral("x y"), strNotes, strFolder, QStringLiteral("a"),
               QStringLiteral("-b")}
        << QStringList {strNotes, strFolder + QLatin1Char('/')}
        << QStringList {QStringLiteral("gone"), QStringLiteral("x"), QStringLiteral("y"), strNotes, strFolder,
               QStringLiteral("a"), QStringLiteral("b")}
        << Run;
    QTest::newRow("a switch") << QStringList {QStringLiteral("-x y")} << QStringList {QStringLiteral("-x y")}
                              << QStringList {QStringLiteral("x"), QStringLiteral("y")} << Run;
    QTest::newRow("an existing name with a switch")
        << QStringList {QStringLiteral("-x y"), strNotes} << QStringList {QStringLiteral("-x y"), strNotes}
        << QStringList {QStringLiteral("x"), QStringLiteral("y"), strNotes} << Run;
    QTest::newRow("an empty one") << QStringList {strNotes, QString()} << QStringList {strNotes}
                                  << QStringList {strNotes} << Run;
    // Asked of the system by its bytes: a name beginning with ':' is no
    // resource path, and exists as it stands.
    QTest::newRow("a name beginning with ':'")
        << QStringList {QStringLiteral(":my notes.txt")} << QStringList {QStringLiteral(":my notes.txt")}
        << QStringList {QStringLiteral(":my notes.txt")} << Run;

    // A lone --help, -h or --version asks for a text and no window; anything
    // else is a path, also such an option beside another argument.
    QTest::newRow("--help") << QStringList {QStringLiteral("--help")} << QStringList {} << QStringList {}
                            << CommandLineRequest::Usage;
    QTest::newRow("-h") << QStringList {QStringLiteral("-h")} << QStringList {} << QStringList {}
                        << CommandLineRequest::Usage;
    QTest::newRow("--version") << QStringList {QStringLiteral("--version")} << QStringList {} << QStringList {}
                               << CommandLineRequest::Version;
    QTest::newRow("--help beside a path") << QStringList {QStringLiteral("--help"), strNotes} << QStringList {strNotes}
                                          << QStringList {QStringLiteral("-help"), strNotes} << Run;
    QTest::newRow("--version twice") << QStringList {QStringLiteral("--version"), QStringLiteral("--version")}
                                     << QStringList {}
                                     << QStringList {QStringLiteral("-version"), QStringLiteral("-version")} << Run;
    QTest::newRow("-help") << QStringList {QStringLiteral("-help")} << QStringList {}
                           << QStringList {QStringLiteral("help")} << Run;
    QTest::newRow("-version") << QStringList {QStringLiteral("-version")} << QStringList {}
                              << QStringList {QStringLiteral("version")} << Run;
}

void TestCommandLine::ExistingPathsArriveWhole()
{
    QFETCH(QStringList, arguments);
    QFETCH(QStringList, existing);
    QFETCH(QStringList, paths);
    QFETCH(CommandLineRequest, asks);

    QCOMPARE(CommandLineRequestOf(arguments), asks);
    if (asks != CommandLineRequest::Run) {
        RunProgramFor(arguments, asks);
        return;
    }

    // Relative names, so a leading '-' is the argument's first character.
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString strStart = QDir::currentPath();
    QVERIFY(QDir::setCurrent(dir.path()));
    // By their bytes: a path class would read ":name" as a resource.
    for (const QString& strName : existing) {
        const QByteArray strBytes = QFile::encodeName(strName);
        if (strName.endsWith(QLatin1Char('/'))) {
            QCOMPARE(::mkdir(strBytes.constData(), 0777), 0);
        } else if (strName.endsWith(QLatin1Char('@'))) {
            QCOMPARE(::symlink("nowhere", strBytes.chopped(1).constData()), 0);
        } else {
            const int fd = ::open(strBytes.constData(), O_WRONLY | O_CREAT | O_EXCL, 0666);
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
    const QList<QByteArray> taken = CommandLinePaths(Bytes(arguments));
    QVERIFY(QDir::setCurrent(strStart));
    QCOMPARE(taken, Bytes(paths));
}

void TestCommandLine::RunProgramFor(const QStringList& arguments, CommandLineRequest asks)
{
    // The real program, with no display to open a window on (making the
    // window's application would abort it) and a settings folder of its own,
    // which must stay empty.
    QTemporaryDir configHome;
    QVERIFY(configHome.isValid());
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("no-such-display"));
    environment.insert(QStringLiteral("XDG_CONFIG_HOME"), configHome.path());
    QProcess program;
    program.setProcessEnvironment(environment);
    program.start(QStringLiteral(TARNLOW_PROGRAM), arguments);
    QVERIFY(program.waitForStarted(10000));
    const bool bFinished = program.waitForFinished(20000);
    if (!bFinished)
        program.kill();
    QVERIFY2(bFinished, "the program did not end");
    QCOMPARE(program.exitStatus(), QProcess::NormalExit);
    QCOMPARE(program.exitCode(), 0);
    QCOMPARE(program.readAllStandardError(), QByteArray());
    QVERIFY(QDir(configHome.path()).isEmpty());

    const QString strOut = QString::fromLocal8Bit(program.readAllStandardOutput());
    if (asks == CommandLineRequest::Version) {
        QCOMPARE(strOut, QStringLiteral("tarnlow 1.02\n"));
    } else {
        // The usage names the help page the program would open: the one beside it here.
        QVERIFY2(strOut.startsWith(QStringLiteral("Usage: tarnlow [PATH]...\n")), qPrintable(strOut));
        const QString strHelp
            = QFileInfo(QStringLiteral(TARNLOW_PROGRAM)).dir().filePath(QStringLiteral("tarnlow.html"));
        QVERIFY2(strOut.contains(QStringLiteral("Help page: %1\n").arg(strHelp)), qPrintable(strOut));
        QVERIFY2(strOut.contains(QStringLiteral("FTPSettings.dat")), qPrintable(strOut));
    }
}

QTEST_GUILESS_MAIN(TestCommandLine)
#include "TestCommandLine.moc"
