#include "transfer/TransferConnection.h"

TransferConnection::TransferConnection(FtpConnection& connection, Reconnect reconnect, TransferMeter* pMeter)
    : m_pConnection(&connection)
    , m_reconnect(std::move(reconnect))
    , m_pMeter(pMeter)
{
    m_pConnection->SetTransferMeter(m_pMeter);
}

TransferConnection::~TransferConnection()
{
    // The connection may outlive the transfer (a listing follows on it).
    m_pConnection->SetTransferMeter(nullptr);
}

TransferConnection::State TransferConnection::AfterFailure() const
{
    if (!m_pConnection->WentOutOfStep() && m_pConnection->ConfirmUsable())
        return State::Usable;
    // The exchange itself may be what showed the server out of step.
    return m_pConnection->WentOutOfStep() ? State::OutOfStep : State::Gone;
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
    m_pConnection->SetTransferMeter(m_pMeter);
    ++m_nFresh;
    if (strHere.isEmpty() || m_pConnection->SetCurrentDirectory(strHere))
        return true;
    m_strFailure = m_pConnection->LastFailureCause();
    return false;
}
