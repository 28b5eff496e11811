#pragma once

#include <QString>

#include <exception>

/// Error codes carried by InternetException::m_dwError. The three that the
/// window tells apart keep the values callers have always seen.
enum FtpErrorCode : unsigned {
    FTP_ERROR_TIMEOUT = 12002, // a connect or a reply took too long
    FTP_ERROR_NAME_NOT_RESOLVED = 12007, // the host name does not resolve
    FTP_ERROR_INCORRECT_PASSWORD = 12014, // the server refused the login
    FTP_ERROR_PROTOCOL = 12111, // broken greeting, hostile or malformed reply
    FTP_ERROR_INVALID_ARGUMENT = 12009, // a name or credential with CR, LF or NUL
    FTP_ERROR_ABORTED = 12017, // the connection was aborted from another thread
    FTP_ERROR_CANNOT_CONNECT = 12029, // refused, unreachable, reset
};

/// The one exception of the FTP engine: thrown only when opening a connection fails.
class InternetException : public std::exception {
public:
    explicit InternetException(unsigned dwError, QString strDetail = {});
    const char* what() const noexcept override;

    unsigned m_dwError;
    QString m_strDetail; // why, in words for the user: the server's reply or the system's error

private:
    QByteArray m_what;
};
