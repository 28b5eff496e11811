// The command line: the arguments joined into one text, then split into the
// paths to upload. The input is cut at NUL bytes into arguments, as the
// program's argv holds them, each read as UTF-8 as Qt reads it.
//
// Joining drops at most one leading '-' of each argument and nothing else but
// adds spaces; the split never gives an empty path, loses or adds no character
// other than a space, and only the last path may hold a space. The split is
// also tried on the whole input as one text.

#include "FuzzCheck.h"
#include "app/CommandLine.h"

namespace {

QString WithoutSpaces(const QString& str)
{
    QString strResult = str;
    strResult.remove(QLatin1Char(' '));
    return strResult;
}

void CheckSplit(const QString& strJoined)
{
    const QStringList paths = SplitCommandLinePaths(strJoined);
    FUZZ_CHECK(paths.size() <= strJoined.count(QLatin1Char(' ')) + 1);
    for (qsizetype i = 0; i < paths.size(); ++i) {
        FUZZ_CHECK(!paths[i].isEmpty());
        FUZZ_CHECK(i + 1 == paths.size() || !paths[i].contains(QLatin1Char(' ')));
    }
    FUZZ_CHECK(WithoutSpaces(paths.join(QString())) == WithoutSpaces(strJoined));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* pData, std::size_t nSize)
{
    const QByteArray input(reinterpret_cast<const char*>(pData), static_cast<qsizetype>(nSize));
    QStringList arguments;
    if (!input.isEmpty()) {
        for (const QByteArray& strArgument : input.split('\0'))
            arguments << QString::fromUtf8(strArgument);
    }

    TarnlowCommandLineInfo info;
    ParseCommandLine(arguments, info);
    QString strKept;
    for (const QString& strArgument : arguments)
        strKept += WithoutSpaces(strArgument.startsWith(QLatin1Char('-')) ? strArgument.mid(1) : strArgument);
    FUZZ_CHECK(WithoutSpaces(info.m_strFileName) == strKept);

    CheckSplit(info.m_strFileName);
    CheckSplit(QString::fromUtf8(input));
    return 0;
}
