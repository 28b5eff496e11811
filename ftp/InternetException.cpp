#include "ftp/InternetException.h"

InternetException::InternetException(unsigned dwError, QString strDetail)
    : m_dwError(dwError)
    , m_strDetail(std::move(strDetail))
    , m_what(QStringLiteral("FTP error %1: %2").arg(dwError).arg(m_strDetail).toUtf8())
{
}

const char* InternetException::what() const noexcept
{
    return m_what.constData();
}
