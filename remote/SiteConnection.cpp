#include "remote/SiteConnection.h"

#include "ftp/FtpConnection.h"
#include "ftp/InternetException.h"
#include "ftp/InternetSession.h"

#include <QCoreApplication>

SiteConnection::~SiteConnection()
{
    Close();
}

SiteConnection::Outcome SiteConnection::Open(InternetSession& session, const SiteProfile& site)
{
    Close();
    m_strHomeDir.clear();
    m_strSiteDir.clear();
    m_strCause.clear();
    try {
        m_pConnection = session.GetFtpConnection(site.m_strAddress, site.m_strUsername, site.m_strPassword, 0, false);
    } catch (const InternetException& e) {
        m_strCause = e.m_strDetail;
        switch (e.m_dwError) {
        case FTP_ERROR_INCORRECT_PASSWORD: return Outcome::LoginRefused;
        case FTP_ERROR_NAME_NOT_RESOLVED: return Outcome::NameNotResolved;
        default: return Outcome::CannotConnect;
        }
    }
    bool bEntered = true;
    if (site.m_strDirectory.isEmpty()) {
        m_pConnection->GetCurrentDirectory(m_strHomeDir);
        m_strSiteDir = m_strHomeDir;
    } else {
        // Entered and named in one exchange: the name is the way back here.
        bEntered = m_pConnection->EnterDirectory(site.m_strDirectory, m_strSiteDir);
    }
    // A connection lost on the way in (closed, a time-out, a 421) is a failure
    // to connect, not a refused directory.
    if (!m_pConnection->IsUsable())
        return Fail(Outcome::CannotConnect);
    if (!bEntered)
        return Fail(Outcome::DirectoryRefused);
    return Outcome::Connected;
}

SiteConnection::Outcome SiteConnection::Reopen(InternetSession& session, const SiteProfile& site)
{
    SiteConnection fresh;
    const Outcome outcome = fresh.Open(session, site);
    if (outcome != Outcome::Connected) {
        m_strCause = fresh.m_strCause;
        return outcome;
    }
    std::swap(m_pConnection, fresh.m_pConnection);
    std::swap(m_strHomeDir, fresh.m_strHomeDir);
    std::swap(m_strSiteDir, fresh.m_strSiteDir);
    m_strCause.clear();
    return outcome; // the old connection closes with fresh
}

std::function<FtpConnection*(QString&)> SiteConnection::Reopener(InternetSession& session, const SiteProfile& site)
{
    return [this, &session, site](QString& strCause) -> FtpConnection* {
        if (Reopen(session, site) == Outcome::Connected)
            return m_pConnection.get();
        strCause = m_strCause;
        return nullptr;
    };
}

SiteConnection::Outcome SiteConnection::Fail(Outcome outcome)
{
    m_strCause = m_pConnection->LastFailureCause();
    Close();
    return outcome;
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
    case Outcome::LoginRefused:
        return QCoreApplication::translate(
            "SiteConnection", "Can't connect to FTP server - check the FTP username/password");
    case Outcome::NameNotResolved:
        return QCoreApplication::translate("SiteConnection", "Can't connect to FTP server - check the FTP address");
    case Outcome::CannotConnect:
        return QCoreApplication::translate("SiteConnection", "Can't connect to the FTP server");
    case Outcome::DirectoryRefused:
        return QCoreApplication::translate(
            "SiteConnection", "Directory is not contained on FTP server - check the Directory");
    }
    return {};
}
