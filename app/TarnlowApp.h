#pragma once

#include <QByteArray>
#include <QIcon>
#include <QList>

class DialogHost;

/// The application: prepares the network layer, turns the command line into
/// local paths and runs the main window until it closes.
class TarnlowApp {
public:
    explicit TarnlowApp(DialogHost& dialogHost);

    /// Runs the program; @p operands are the arguments after the program name
    /// that are no options (SortedArguments::m_operands), as the bytes the
    /// program was given. Returns the process's exit status: 0, or 128 plus
    /// the number of the signal (SIGTERM, SIGINT, SIGHUP) that closed the window.
    int InitInstance(const QList<QByteArray>& operands);

    /// Makes the process ready for sockets: a peer that closes a connection must
    /// never end the process (SIGPIPE is ignored). False when that failed.
    static bool InitSockets();

    /// The program's icon at every size the desktop's icon theme gets it, for
    /// the window's frame, the task switcher and the dock to pick from.
    static QIcon ProgramIcon();

    QList<QByteArray> m_commandLinePaths;

private:
    DialogHost& m_dialogHost;
};
