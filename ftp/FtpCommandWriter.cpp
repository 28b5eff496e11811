#include "ftp/FtpCommandWriter.h"

bool FtpCommandWriter::IsSafe(const QByteArray& str)
{
    for (const char c : str) {
        if (c == '\r' || c == '\n' || c == '\0')
            return false;
    }
    return true;
}

bool FtpCommandWriter::Compose(const QByteArray& strVerb, const QByteArray& strArgument, QByteArray& strLine)
{
    strLine.clear();
    if (strVerb.isEmpty() || strVerb.contains(' ') || !IsSafe(strVerb) || !IsSafe(strArgument))
        return false;
    strLine = strVerb;
    if (!strArgument.isEmpty())
        strLine.append(' ').append(strArgument);
    strLine.append("\r\n");
    return true;
}
