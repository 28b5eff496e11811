#pragma once

#include <QObject>

#include <atomic>
#include <condition_variable>
#include <functional>
#include <mutex>

/// Runs the window's worker threads and carries their calls to the window's
/// thread.
///
/// A worker never touches a widget itself: it hands a function to Call(), which
/// runs it on the window's thread and waits for it (directly when already there,
/// since a blocking hop to one's own thread would deadlock). Once the window
/// goes, Close() makes every pending and later Call() return false without
/// running its function, and WaitForWorkers() lets the last workers drain while
/// still serving the hops they may be blocked in.
class WorkerGate {
public:
    /// @p pUiContext lives on the window's thread for as long as any worker may run.
    explicit WorkerGate(QObject* pUiContext);
    ~WorkerGate();
    WorkerGate(const WorkerGate&) = delete;
    WorkerGate& operator=(const WorkerGate&) = delete;

    /// Starts @p work on a new thread of its own. Call on the window's thread.
    void Start(std::function<void()> work);

    /// Runs @p fn on the window's thread and waits for it. False (and @p fn not
    /// run) once the gate is closed.
    bool Call(const std::function<void()>& fn);

    bool IsUiThread() const;
    bool IsClosed() const { return m_bClosed.load(); }

    /// Window's thread: from now on Call() refuses.
    void Close();

    /// Window's thread: waits up to @p nMsec for every worker to end, serving
    /// queued calls meanwhile. True when none is left.
    bool WaitForWorkers(int nMsec);

    int RunningWorkers() const;

private:
    QObject* m_pUiContext;
    std::atomic<bool> m_bClosed {false};
    mutable std::mutex m_mutex;
    std::condition_variable m_idle;
    int m_nRunning = 0;
};
