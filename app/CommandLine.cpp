#include "CommandLine.h"

#include <QCoreApplication>
#include <QDir>

#include <sys/stat.h>

// The version of project() in the top CMakeLists.txt (app/CMakeLists.txt).
#ifndef TARNLOW_VERSION
#error "TARNLOW_VERSION must be defined by the build"
#endif

namespace {

/// One of Qt's own options (those QGuiApplication, QApplication and its X11
/// platform take out of the command line) and the number of values that
/// follow it as arguments of their own.
struct ToolkitOption {
    const char* m_pszName;
    int m_nValues;
};

constexpr ToolkitOption kToolkitOptions[] = {
    {"-display", 1},
    {"-geometry", 1},
    {"-platform", 1},
    {"-platformpluginpath", 1},
    {"-platformtheme", 1},
    {"-plugin", 1},
    {"-qwindowgeometry", 1},
    {"-qwindowicon", 1},
    {"-qwindowtitle", 1},
    {"-reverse", 0},
    {"-session", 1},
    {"-style", 1},
    {"-stylesheet", 1},
    {"-widgetcount", 0},
};

/// How many values follow @p strArgument when it is one of Qt's options, and
/// -1 when it is not. Qt takes each also with two dashes, and -style and
/// -stylesheet also as "-style=NAME".
int ToolkitOptionValues(const QByteArray& strArgument)
{
    const QByteArray strName = strArgument.startsWith("--") ? strArgument.mid(1) : strArgument;
    for (const ToolkitOption& option : kToolkitOptions) {
        if (strName == option.m_pszName)
            return option.m_nValues;
    }
    if (strName.startsWith("-style=") || strName.startsWith("-stylesheet="))
        return 0;
    return -1;
}

} // namespace

SortedArguments SortArguments(const QList<QByteArray>& arguments)
{
    SortedArguments sorted;
    bool bOptionsEnded = false;
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QByteArray& strArgument = arguments.at(i);
        // "-" alone is a path, as it is to GNU programs.
        if (bOptionsEnded || !strArgument.startsWith('-') || strArgument.size() == 1) {
            sorted.m_operands.append(strArgument);
            continue;
        }
        if (strArgument == "--") {
            bOptionsEnded = true;
            continue;
        }
        if (const int nValues = ToolkitOptionValues(strArgument); nValues >= 0) {
            sorted.m_toolkitOptions += arguments.mid(i, 1 + nValues);
            i += nValues;
            continue;
        }
        if (sorted.m_request != CommandLineRequest::Run)
            continue;
        sorted.m_strOption = QString::fromLocal8Bit(strArgument);
        if (strArgument == "--help" || strArgument == "-h")
            sorted.m_request = CommandLineRequest::Usage;
        else if (strArgument == "--version")
            sorted.m_request = CommandLineRequest::Version;
        else
            sorted.m_request = CommandLineRequest::BadOption;
    }
    return sorted;
}

QString ProgramVersion()
{
    return QStringLiteral(TARNLOW_VERSION);
}

QString VersionText()
{
    return QCoreApplication::translate("CommandLine",
        "tarnlow %1\n"
        "Copyright (C) 2026 Tarnlow maintainers.\n"
        "License GPLv3+: GNU GPL version 3 or later <https://gnu.org/licenses/gpl.html>.\n"
        "This is free software: you are free to change and redistribute it.\n"
        "There is NO WARRANTY, to the extent permitted by law.\n")
        .arg(ProgramVersion());
}

QString UsageText(const QString& strHelpPath)
{
    return QCoreApplication::translate("CommandLine",
        "Usage: tarnlow [OPTION]... [PATH]...\n"
        "Opens the Tarnlow window. Each PATH, a local file or folder, is uploaded to\n"
        "site 1 as soon as the window opens, folders with everything in them.\n"
        "\n"
        "  -h, --help     print this text and end\n"
        "      --version  print the version and the licence and end\n"
        "      --         end the options: every argument after it is a PATH, also one\n"
        "                 that begins with '-' (which can also be written ./-name)\n"
        "\n"
        "Options may stand anywhere before --. The first option decides: with --help\n"
        "or --version the usage or version is printed, the other arguments are not\n"
        "used and no window opens. Qt's own options (-platform NAME, -style NAME,\n"
        "-session ID, ...) are passed on to Qt.\n"
        "\n"
        "Exit status: 0 when the window was closed or the text printed; 1 when no\n"
        "display could be reached or the text not written; 2 for an unknown option;\n"
        "128 plus the signal's number when SIGTERM, SIGINT or SIGHUP closed the window.\n"
        "\n"
        "The five site profiles are kept in $XDG_CONFIG_HOME/Tarnlow/FTPSettings.dat,\n"
        "the download folder as the setting Path in $XDG_CONFIG_HOME/Halvorn/Tarnlow.conf\n"
        "(XDG_CONFIG_HOME is ~/.config when it is not set).\n"
        "\n"
        "Help page: %1\n"
        "More in the manual page: man tarnlow\n")
        .arg(QDir::toNativeSeparators(strHelpPath));
}

QString BadOptionText(const QString& strOption)
{
    return QCoreApplication::translate("CommandLine",
        "tarnlow: unrecognized option '%1'\n"
        "Try 'tarnlow --help' for more information.\n")
        .arg(strOption);
}

void TarnlowCommandLineInfo::ParseParam(const QString& strParam)
{
    if (m_strFileName.isEmpty())
        m_strFileName = strParam;
    else
        m_strFileName += QLatin1Char(' ') + strParam;
}

void ParseCommandLine(const QStringList& arguments, TarnlowCommandLineInfo& info)
{
    for (const QString& strArgument : arguments)
        info.ParseParam(strArgument);
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

QList<QByteArray> CommandLinePaths(const QList<QByteArray>& operands)
{
    // Split at its spaces, "/home/u/My Notes.txt" would name "/home/u/My" and
    // "Notes.txt" in the current folder: nothing, or another file that would
    // then be uploaded in its place. So an operand that exists as it stands is
    // taken as it stands, whatever its neighbours are; only the operands that
    // do not are joined and split, each run of them apart from the others.
    // Whether it exists is asked of the system by its bytes: no path class
    // (Qt's reads ":name" as a resource) stands between.
    //
    // The join and the split act on ' ' alone, the same byte in every encoding
    // a path may be in: they run on Latin-1 text, which carries every byte as
    // one character, so the paths come back with their bytes.
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
    for (const QByteArray& strOperand : operands) {
        struct stat st { };
        if (strOperand.isEmpty() || ::stat(strOperand.constData(), &st) != 0) {
            run.append(QString::fromLatin1(strOperand));
        } else {
            SplitRun();
            paths.append(strOperand);
        }
    }
    SplitRun();
    return paths;
}
