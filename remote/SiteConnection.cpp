#include "remote/SiteConnection.h"

#include "ftp/FtpConnection.h"
#include "ftp/InternetException.h"
#include "ftp/InternetSession.h"

SiteConnection::~SiteConnection()
{
    Close();
}

SiteConnection::Outcome SiteConnection::Open(InternetSession& session, const SiteProfile& site)
{
    Close();
    m_strHomeDir.clear();
    try {
        m_pConnection = session.GetFtpConnection(site.m_strAddress, site.m_strUsername, site.m_strPassword, 0, false);
    } catch (const InternetException& e) {
        switch (e.m_dwError) {
        case FTP_ERROR_INCORRECT_PASSWORD: return Outcome::LoginRefused;
        case FTP_ERROR_NAME_NOT_RESOLVED: return Outcome::NameNotResolved;
        default: return Outcome::CannotConnect;
        }
    }
    bool bEntered = true;
    if (site.m_strDirectory.isEmpty())
        m_pConnection->GetCurrentDirectory(m_strHomeDir);
    else
        bEntered = m_pConnection->SetCurrentDirectory(site.m_strDirectory);
    // A connection lost on the way in (closed, a time-out, a 421) is a failure
    // to connect, not a refused directory.
    if (!m_pConnection->IsUsable()) {
        Close();
        return Outcome::CannotConnect;
    }
    if (!bEntered) {
        Close();
        return Outcome::DirectoryRefused;
    }
    return Outcome::Connected;
}

void SiteConnection::Close()
{
    if (!m_pConnection)
        return;
    m_pConnection->Close();
    m_pConnection.reset();
}

QString SiteConnection::FailureText(Outcome outcome)
{
    switch (outcome) {
    case Outcome::Connected: return {};
    case Outcome::LoginRefused: return QStringLiteral("Can't connect to FTP server - check the FTP username/password");
    case Outcome::NameNotResolved: return QStringLiteral("Can't connect to FTP server - check the FTP address");
    case Outcome::CannotConnect: return QStringLiteral("Can't connect to the FTP server");
    case Outcome::DirectoryRefused:
        return QStringLiteral("Directory is not contained on FTP server - check the Directory");
    }
    return {};
}
