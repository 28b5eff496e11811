#include "ftp/LocalFile.h"

#include "sites/ByteText.h"

#include <QCoreApplication>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

LocalFile::~LocalFile()
{
    if (m_fd >= 0)
        ::close(m_fd);
}

bool LocalFile::Failed(int nErrno)
{
    m_nErrno = nErrno;
    return false;
}

FileIdentity FileIdentity::Of(const struct stat& st)
{
    return {std::uint64_t(st.st_dev), std::uint64_t(st.st_ino)};
}

bool LocalFile::OpenForReading(const QByteArray& strPath, const FileIdentity& expected)
{
    m_strPath = strPath;
    m_nErrno = 0;
    m_bNotFile = false;
    m_bReplaced = false;
    // Not blocking on open: a pipe would otherwise wait here for a writer.
    const int fd = ::open(strPath.constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    if (fd < 0)
        return Failed(errno);
    struct stat st { };
    if (::fstat(fd, &st) != 0) {
        const int nErrno = errno;
        ::close(fd);
        return Failed(nErrno);
    }
    if (!S_ISREG(st.st_mode)) {
        ::close(fd);
        m_bNotFile = true;
        return Failed(S_ISDIR(st.st_mode) ? EISDIR : EINVAL);
    }
    // Checked on what was opened, so nothing put at the path in between slips through.
    if (expected.IsKnown() && FileIdentity::Of(st) != expected) {
        ::close(fd);
        m_bReplaced = true;
        return Failed(0);
    }
    // A regular file never blocks; the flag only guarded the open itself.
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    m_fd = fd;
    return true;
}

bool LocalFile::Create(const QByteArray& strPath, bool bExclusive)
{
    m_strPath = strPath;
    m_nErrno = 0;
    const int nFlags = O_WRONLY | O_CREAT | O_CLOEXEC | O_NOCTTY | (bExclusive ? O_EXCL : O_TRUNC);
    const int fd = ::open(strPath.constData(), nFlags, 0666);
    if (fd < 0)
        return Failed(errno);
    m_fd = fd;
    return true;
}

std::int64_t LocalFile::Size() const
{
    struct stat st { };
    return m_fd >= 0 && ::fstat(m_fd, &st) == 0 ? std::int64_t(st.st_size) : -1;
}

std::int64_t LocalFile::Read(char* pBuffer, std::size_t nSize)
{
    for (;;) {
        const ssize_t nRead = ::read(m_fd, pBuffer, nSize);
        if (nRead >= 0)
            return nRead;
        if (errno != EINTR) {
            Failed(errno);
            return -1;
        }
    }
}

bool LocalFile::WriteAll(const char* pData, std::size_t nSize)
{
    while (nSize > 0) {
        const ssize_t nWritten = ::write(m_fd, pData, nSize);
        if (nWritten < 0 && errno == EINTR)
            continue;
        if (nWritten <= 0)
            return Failed(nWritten < 0 ? errno : EIO);
        pData += nWritten;
        nSize -= static_cast<std::size_t>(nWritten);
    }
    return true;
}

bool LocalFile::Close()
{
    if (m_fd < 0)
        return true;
    const int nResult = ::close(std::exchange(m_fd, -1));
    // After close() the descriptor is gone whatever it says; EINTR is no error.
    return nResult == 0 || errno == EINTR || Failed(errno);
}

void LocalFile::Remove()
{
    Close();
    if (!m_strPath.isEmpty())
        ::unlink(m_strPath.constData());
}

QString LocalFile::Cause() const
{
    if (m_bNotFile)
        return QCoreApplication::translate("LocalFile", "%1 is not a file.").arg(Display(m_strPath));
    return QCoreApplication::translate("LocalFile", "%1: %2")
        .arg(Display(m_strPath), m_bReplaced ? ReplacedText() : QString::fromLocal8Bit(std::strerror(m_nErrno)));
}

QString LocalFile::ReplacedText()
{
    return QCoreApplication::translate("LocalFile", "It was replaced since the upload began.");
}

QString LocalFile::Display(const QByteArray& strPath)
{
    return ByteText::Display(strPath);
}
