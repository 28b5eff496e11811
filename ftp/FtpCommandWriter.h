#pragma once

#include <QByteArray>

/// Builds control-connection command lines. A verb or argument holding CR, LF
/// or NUL could smuggle a second command to the server, so it is refused.
class FtpCommandWriter {
public:
    /// True when @p str holds no CR, LF or NUL byte.
    static bool IsSafe(const QByteArray& str);

    /// Sets @p strLine to "VERB argument\r\n" ("VERB\r\n" without an argument).
    /// False, with @p strLine empty, when either part is unsafe or the verb empty.
    static bool Compose(const QByteArray& strVerb, const QByteArray& strArgument, QByteArray& strLine);
};
