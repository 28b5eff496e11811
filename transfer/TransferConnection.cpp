#include "transfer/TransferConnection.h"

TransferConnection::TransferConnection(FtpConnection& connection, Reconnect reconnect)
    : m_pConnection(&connection)
    , m_reconnect(std::move(reconnect))
{
}

bool TransferConnection::StartAfresh(const QByteArray& strHere)
{
    if (!m_pConnection->WentOutOfStep())
        return false;
    // The server's own words are the best cause when no fresh connection helps.
    m_strFailure = m_pConnection->LastFailureCause();
    if (!m_reconnect || m_nFresh >= MaxFreshConnections)
        return false;
    QString strCause;
    FtpConnection* pFresh = m_reconnect(strCause);
    if (!pFresh) {
        m_strFailure = strCause.isEmpty() ? m_strFailure : strCause;
        return false;
    }
    // The old connection is gone with the reconnect.
    m_pConnection = pFresh;
    ++m_nFresh;
    if (strHere.isEmpty() || m_pConnection->SetCurrentDirectory(strHere))
        return true;
    m_strFailure = m_pConnection->LastFailureCause();
    return false;
}
