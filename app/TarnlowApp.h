#pragma once

#include <QByteArray>
#include <QList>

class DialogHost;

/// The application: prepares the network layer, turns the command line into
/// local paths and runs the main window until it closes.
class TarnlowApp {
public:
    explicit TarnlowApp(DialogHost& dialogHost);

    /// Runs the program; @p arguments are those after the program name, as the
    /// bytes the program was given.
    /// Returns the process's exit status: 0, or 128 plus the number of the
    /// signal (SIGTERM, SIGINT, SIGHUP) that closed the window.
    int InitInstance(const QList<QByteArray>& arguments);

    /// Makes the process ready for sockets: a peer that closes a connection must
    /// never end the process (SIGPIPE is ignored). False when that failed.
    static bool InitSockets();

    QList<QByteArray> m_commandLinePaths;

private:
    DialogHost& m_dialogHost;
};
