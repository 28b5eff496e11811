#include "app/WorkerGate.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QThread>

#include <thread>

WorkerGate::WorkerGate(QObject* pUiContext)
    : m_pUiContext(pUiContext)
{
}

WorkerGate::~WorkerGate() = default;

void WorkerGate::Start(std::function<void()> work)
{
    {
        std::lock_guard lock(m_mutex);
        ++m_nRunning;
    }
    std::thread([this, work = std::move(work)] {
        work();
        std::lock_guard lock(m_mutex);
        --m_nRunning;
        m_idle.notify_all();
    }).detach();
}

bool WorkerGate::IsUiThread() const
{
    return QThread::currentThread() == m_pUiContext->thread();
}

bool WorkerGate::Call(const std::function<void()>& fn)
{
    if (m_bClosed.load())
        return false;
    if (IsUiThread()) {
        fn();
        return true;
    }
    bool bRan = false;
    // The closed flag is checked again on the window's thread, where Close() sets
    // it, so nothing runs against a window that is going away.
    QMetaObject::invokeMethod(
        m_pUiContext,
        [this, &fn, &bRan] {
            if (m_bClosed.load())
                return;
            fn();
            bRan = true;
        },
        Qt::BlockingQueuedConnection);
    return bRan;
}

void WorkerGate::Close()
{
    m_bClosed.store(true);
}

bool WorkerGate::WaitForWorkers(int nMsec)
{
    QDeadlineTimer deadline(nMsec);
    for (;;) {
        {
            std::unique_lock lock(m_mutex);
            if (m_nRunning == 0)
                return true;
            if (deadline.hasExpired())
                return false;
            m_idle.wait_for(lock, std::chrono::milliseconds(20));
            if (m_nRunning == 0)
                return true;
        }
        // A worker may be blocked in Call(); serving the queue lets it return.
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    }
}

int WorkerGate::RunningWorkers() const
{
    std::lock_guard lock(m_mutex);
    return m_nRunning;
}
