#include "CommandLine.h"

#include <QDir>
#include <QFileInfo>

namespace {

// '-' marks a switch everywhere. '/' marks one only where it is not the path
// separator: here it begins every absolute path, and dropping it would turn
// "/home/u/file" into a path relative to wherever the program was started.
bool IsSwitchChar(QChar c)
{
    return c == QLatin1Char('-') || (c == QLatin1Char('/') && QDir::separator() != QLatin1Char('/'));
}

} // namespace

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

QStringList CommandLinePaths(const QStringList& arguments, const QString& strJoined)
{
    // Split at its spaces, "/home/u/My Notes.txt" would name "/home/u/My" and
    // "Notes.txt" in the current folder: nothing, or another file that would
    // then be uploaded in its place. Arguments that all exist as they stand
    // are taken as they stand; anything else keeps the join and the split.
    bool bWhole = !arguments.isEmpty();
    for (const QString& strArgument : arguments) {
        if (strArgument.isEmpty() || IsSwitchChar(strArgument.front()) || !QFileInfo::exists(strArgument)) {
            bWhole = false;
            break;
        }
    }
    return bWhole ? arguments : SplitCommandLinePaths(strJoined);
}
