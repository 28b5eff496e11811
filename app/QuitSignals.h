#pragma once

#include <QObject>

#include <array>
#include <csignal>

class QDialog;
class QSocketNotifier;

/// Ends the main window when the process is asked to end: SIGTERM (log-out, a
/// plain kill), SIGINT (Ctrl+C in the terminal) and SIGHUP (the terminal
/// closed). The window goes the way Escape ends it, through QDialog::reject(),
/// so its own shutdown runs: the session closed (which aborts transfers), the
/// workers waited for, the download folder and the profiles saved. A message
/// box or dialog open at that moment is dismissed first, as if cancelled.
///
/// The signal handler only writes the signal's number into one end of a socket
/// pair, which is all a handler may safely do; a QSocketNotifier reads the other
/// end on the window's thread. A signal that was ignored when Install() ran
/// (nohup, a background job) stays ignored. One instance at a time; destroying
/// it gives every signal back the handling it had before.
class QuitSignals : public QObject {
    Q_OBJECT

public:
    /// Watches for @p window; construct and use it on the window's thread.
    explicit QuitSignals(QDialog& window);
    ~QuitSignals() override;
    QuitSignals(const QuitSignals&) = delete;
    QuitSignals& operator=(const QuitSignals&) = delete;

    /// Installs the handlers. False, with nothing changed, when the socket pair
    /// or a handler could not be set up (or another instance is installed): the
    /// signals then keep their default effect.
    bool Install();

    /// The first quit signal received, 0 while none has arrived.
    int ReceivedSignal() const { return m_nSignal; }

private:
    /// Reads what the handler wrote and starts closing the window.
    void OnSignalReadable();
    /// Dismisses the dialogs open over the window, then rejects the window.
    void CloseWindow();
    void DismissModalDialogs();
    void Uninstall();

    static constexpr std::array<int, 3> kSignals {SIGTERM, SIGINT, SIGHUP};

    QDialog& m_window;
    int m_hReadEnd = -1; // the window's end of the socket pair
    int m_hWriteEnd = -1; // the handler's end
    QSocketNotifier* m_pNotifier = nullptr;
    std::array<struct sigaction, kSignals.size()> m_previous {};
    std::array<bool, kSignals.size()> m_bHandled {}; // our handler is installed for that signal
    bool m_bInstalled = false;
    int m_nSignal = 0;
};
