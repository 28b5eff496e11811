// The command line: the arguments sorted into options and operands, the
// operands joined into one text, then split into the paths to upload. The
// input is cut at NUL bytes into arguments, as the program's argv holds them:
// bytes, whatever they are.
//
// Sorting loses no argument of a Run but the "--" that ends the options, keeps
// the operands in order, and names the option that decided any other request;
// operands given after "--" come back as they were. Joining adds spaces and
// nothing else; the split never gives an empty path, loses or adds no
// character other than a space, and only the last path may hold a space. The
// split is also tried on the whole input as one text.

#include "FuzzCheck.h"
#include "app/CommandLine.h"

#include <algorithm>

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
    // The arguments as the program gets them: bytes, whatever they are.
    QList<QByteArray> bytes;
    QStringList arguments;
    if (!input.isEmpty()) {
        for (const QByteArray& strArgument : input.split('\0')) {
            bytes << strArgument;
            arguments << QString::fromUtf8(strArgument);
        }
    }

    const SortedArguments sorted = SortArguments(bytes);
    FUZZ_CHECK((sorted.m_request == CommandLineRequest::Run) == sorted.m_strOption.isEmpty());
    // The option is named as text: bytes that are not valid text show as a
    // stand-in character, so it is compared as the argument shows.
    const auto Shows
        = [&](const QByteArray& strArgument) { return QString::fromLocal8Bit(strArgument) == sorted.m_strOption; };
    FUZZ_CHECK(sorted.m_strOption.isEmpty()
        || (sorted.m_strOption.startsWith(QLatin1Char('-')) && std::any_of(bytes.cbegin(), bytes.cend(), Shows)));
    qsizetype nNext = 0;
    for (const QByteArray& strOperand : sorted.m_operands) {
        nNext = bytes.indexOf(strOperand, nNext) + 1;
        FUZZ_CHECK(nNext > 0);
    }
    if (sorted.m_request == CommandLineRequest::Run) {
        const qsizetype nKept = sorted.m_operands.size() + sorted.m_toolkitOptions.size();
        FUZZ_CHECK(nKept == bytes.size() || (nKept + 1 == bytes.size() && bytes.contains("--")));
    }
    const SortedArguments again = SortArguments(QList<QByteArray> {"--"} + sorted.m_operands);
    FUZZ_CHECK(again.m_request == CommandLineRequest::Run && again.m_operands == sorted.m_operands
        && again.m_toolkitOptions.isEmpty());

    TarnlowCommandLineInfo info;
    ParseCommandLine(arguments, info);
    QString strKept;
    for (const QString& strArgument : arguments)
        strKept += WithoutSpaces(strArgument);
    FUZZ_CHECK(WithoutSpaces(info.m_strFileName) == strKept);

    CheckSplit(info.m_strFileName);
    CheckSplit(QString::fromUtf8(input));
    return 0;
}
