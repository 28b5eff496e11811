#include "app/QuitSignals.h"

#include <QApplication>
#include <QDialog>
#include <QSocketNotifier>

#include <atomic>
#include <cerrno>
#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

// The handler's end of the socket pair; -1 while no instance is installed. A
// lock-free atomic is safe to read in a signal handler.
std::atomic<int> g_hSignalWriteEnd {-1};
static_assert(std::atomic<int>::is_always_lock_free);

// Async-signal-safe: one non-blocking write(), errno as it was. A full pair
// (signals arriving faster than the window reads them) drops the byte, which
// loses nothing: the first signal has started the quit already.
extern "C" void OnQuitSignal(int nSignal)
{
    const int nSavedErrno = errno;
    const int hWriteEnd = g_hSignalWriteEnd.load(std::memory_order_relaxed);
    if (hWriteEnd >= 0) {
        const unsigned char byte = static_cast<unsigned char>(nSignal);
        [[maybe_unused]] const ssize_t nWritten = ::write(hWriteEnd, &byte, 1);
    }
    errno = nSavedErrno;
}

// More open dialogs than this over the window are not dismissed one by one.
constexpr int kMaxDismissed = 32;

} // namespace

QuitSignals::QuitSignals(QDialog& window)
    : m_window(window)
{
}

QuitSignals::~QuitSignals()
{
    Uninstall();
}

bool QuitSignals::Install()
{
    if (m_bInstalled || g_hSignalWriteEnd.load() >= 0)
        return false;
    int fds[2];
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0, fds) != 0)
        return false;
    m_hReadEnd = fds[0];
    m_hWriteEnd = fds[1];
    g_hSignalWriteEnd.store(m_hWriteEnd);
    m_bInstalled = true;

    for (size_t i = 0; i < kSignals.size(); ++i) {
        if (::sigaction(kSignals[i], nullptr, &m_previous[i]) != 0) {
            Uninstall();
            return false;
        }
        // Ignored by whoever started us (nohup, a background job): keep it so.
        if (!(m_previous[i].sa_flags & SA_SIGINFO) && m_previous[i].sa_handler == SIG_IGN)
            continue;
        struct sigaction action = {};
        action.sa_handler = OnQuitSignal;
        sigemptyset(&action.sa_mask);
        // Calls interrupted on other threads resume instead of failing with EINTR.
        action.sa_flags = SA_RESTART;
        if (::sigaction(kSignals[i], &action, nullptr) != 0) {
            Uninstall();
            return false;
        }
        m_bHandled[i] = true;
    }

    m_pNotifier = new QSocketNotifier(m_hReadEnd, QSocketNotifier::Read, this);
    connect(m_pNotifier, &QSocketNotifier::activated, this, &QuitSignals::OnSignalReadable);
    return true;
}

void QuitSignals::Uninstall()
{
    if (!m_bInstalled)
        return;
    // The old handling first, so no new call of our handler starts; then the
    // pair goes.
    for (size_t i = 0; i < kSignals.size(); ++i) {
        if (m_bHandled[i])
            ::sigaction(kSignals[i], &m_previous[i], nullptr);
        m_bHandled[i] = false;
    }
    g_hSignalWriteEnd.store(-1);
    delete m_pNotifier;
    m_pNotifier = nullptr;
    ::close(m_hReadEnd);
    ::close(m_hWriteEnd);
    m_hReadEnd = m_hWriteEnd = -1;
    m_bInstalled = false;
}

void QuitSignals::OnSignalReadable()
{
    unsigned char buffer[64];
    ssize_t nRead;
    while ((nRead = ::read(m_hReadEnd, buffer, sizeof buffer)) > 0) {
        if (m_nSignal == 0)
            m_nSignal = buffer[0];
    }
    if (m_nSignal == 0)
        return;
    // Boxes open over the window are dismissed now and the window closed once
    // their own loops have returned, so that a worker waiting for an answer is
    // not still waiting while the window waits for the workers to end.
    DismissModalDialogs();
    QMetaObject::invokeMethod(this, &QuitSignals::CloseWindow, Qt::QueuedConnection);
}

void QuitSignals::CloseWindow()
{
    // A worker may have opened another box in the meantime.
    DismissModalDialogs();
    m_window.reject();
}

void QuitSignals::DismissModalDialogs()
{
    // A box is cancelled the way Escape cancels it: a question reads as No.
    for (int i = 0; i < kMaxDismissed; ++i) {
        QWidget* pTop = QApplication::activeModalWidget();
        if (!pTop || pTop == &m_window)
            return;
        if (auto* pDialog = qobject_cast<QDialog*>(pTop))
            pDialog->reject();
        else
            pTop->close();
        if (QApplication::activeModalWidget() == pTop)
            return; // it refused to go; the window still closes below it
    }
}
