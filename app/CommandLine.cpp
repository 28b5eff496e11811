#include "CommandLine.h"

#include <QDir>

#include <sys/stat.h>

// The version of project() in the top CMakeLists.txt (app/CMakeLists.txt).
#ifndef TARNLOW_VERSION
#error "TARNLOW_VERSION must be defined by the build"
#endif

namespace {

// '-' marks a switch everywhere. '/' marks one only where it is not the path
// separator: here it begins every absolute path, and dropping it would turn
// "/home/u/file" into a path relative to wherever the program was started.
bool IsSwitchChar(QChar c)
{
    return c == QLatin1Char('-') || (c == QLatin1Char('/') && QDir::separator() != QLatin1Char('/'));
}

} // namespace

CommandLineRequest CommandLineRequestOf(const QStringList& arguments)
{
    if (arguments.size() != 1)
        return CommandLineRequest::Run;
    const QString& strArgument = arguments.front();
    if (strArgument == QLatin1String("--help") || strArgument == QLatin1String("-h"))
        return CommandLineRequest::Usage;
    if (strArgument == QLatin1String("--version"))
        return CommandLineRequest::Version;
    return CommandLineRequest::Run;
}

QString ProgramVersion()
{
    return QStringLiteral(TARNLOW_VERSION);
}

QString VersionText()
{
    return QStringLiteral("tarnlow %1\n").arg(ProgramVersion());
}

QString UsageText(const QString& strHelpPath)
{
    return QStringLiteral("Usage: tarnlow [PATH]...\n"
                          "Opens the Tarnlow window. Each PATH, a local file or folder, is uploaded to\n"
                          "site 1 as soon as the window opens, folders with everything in them.\n"
                          "\n"
                          "  -h, --help   print this text and end (as the only argument)\n"
                          "  --version    print the version and end (as the only argument)\n"
                          "\n"
                          "The five site profiles are kept in $XDG_CONFIG_HOME/Tarnlow/FTPSettings.dat,\n"
                          "the download folder as the setting Path in $XDG_CONFIG_HOME/Halvorn/Tarnlow.conf\n"
                          "(XDG_CONFIG_HOME is ~/.config when it is not set).\n"
                          "\n"
                          "Help page: %1\n"
                          "More in the manual page: man tarnlow\n")
        .arg(QDir::toNativeSeparators(strHelpPath));
}

void TarnlowCommandLineInfo::ParseParam(const QString& strParam, bool bFlag, bool bLast)
{
    Q_UNUSED(bFlag);
    Q_UNUSED(bLast);
    if (m_strFileName.isEmpty())
        m_strFileName = strParam;
    else
        m_strFileName += QLatin1Char(' ') + strParam;
}

void ParseCommandLine(const QStringList& arguments, TarnlowCommandLineInfo& info)
{
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        QString strParam = arguments.at(i);
        const bool bFlag = !strParam.isEmpty() && IsSwitchChar(strParam.front());
        if (bFlag)
            strParam.remove(0, 1);
        info.ParseParam(strParam, bFlag, i + 1 == arguments.size());
    }
}

QStringList SplitCommandLinePaths(const QString& strJoined)
{
    QStringList paths;
    QString strRemainder = strJoined;
    // A space in the first position ends the split: the rest is taken whole.
    qsizetype nSpace;
    while ((nSpace = strRemainder.indexOf(QLatin1Char(' '))) > 0) {
        paths.append(strRemainder.left(nSpace));
        strRemainder.remove(0, nSpace + 1);
    }
    if (!strRemainder.isEmpty())
        paths.append(strRemainder);
    return paths;
}

QList<QByteArray> CommandLinePaths(const QList<QByteArray>& arguments)
{
    // Split at its spaces, "/home/u/My Notes.txt" would name "/home/u/My" and
    // "Notes.txt" in the current folder: nothing, or another file that would
    // then be uploaded in its place. So an argument that exists as it stands is
    // taken as it stands, whatever its neighbours are; only the arguments that
    // do not are joined and split, each run of them apart from the others.
    // Whether it exists is asked of the system by its bytes: no path class
    // (Qt's reads ":name" as a resource) stands between.
    //
    // The join and the split act on ' ', '-' and '/' alone, the same bytes in
    // every encoding a path may be in: they run on Latin-1 text, which carries
    // every byte as one character, so the paths come back with their bytes.
    QList<QByteArray> paths;
    QStringList run;
    const auto SplitRun = [&] {
        if (run.isEmpty())
            return;
        TarnlowCommandLineInfo info;
        ParseCommandLine(run, info);
        for (const QString& strPath : SplitCommandLinePaths(info.m_strFileName))
            paths.append(strPath.toLatin1());
        run.clear();
    };
    for (const QByteArray& strArgument : arguments) {
        struct stat st { };
        if (strArgument.isEmpty() || IsSwitchChar(QLatin1Char(strArgument.front()))
            || ::stat(strArgument.constData(), &st) != 0) {
            run.append(QString::fromLatin1(strArgument));
        } else {
            SplitRun();
            paths.append(strArgument);
        }
    }
    SplitRun();
    return paths;
}
