#include "app/TarnlowApp.h"

#include "app/CommandLine.h"
#include "app/QuitSignals.h"
#include "app/TarnlowDlg.h"

#include <QCoreApplication>
#include <QDirIterator>
#include <QFileInfo>

#include <csignal>
#include <cstdio>
#include <cstdlib>

TarnlowApp::TarnlowApp(DialogHost& dialogHost)
    : m_dialogHost(dialogHost)
{
}

bool TarnlowApp::InitSockets()
{
#ifdef SIGPIPE
    struct sigaction action = {};
    action.sa_handler = SIG_IGN;
    sigemptyset(&action.sa_mask);
    return sigaction(SIGPIPE, &action, nullptr) == 0;
#else
    return true;
#endif
}

QIcon TarnlowApp::ProgramIcon()
{
    // The same pictures as the installed icon theme's, one folder per size
    // (resources/CMakeLists.txt).
    QIcon icon;
    QDirIterator sizes(QStringLiteral(":/tarnlow/icons/hicolor"), {QStringLiteral("io.github.tarnlow.Tarnlow.png")},
        QDir::Files, QDirIterator::Subdirectories);
    while (sizes.hasNext())
        icon.addFile(sizes.next());
    return icon;
}

int TarnlowApp::InitInstance(const QList<QByteArray>& operands)
{
    if (!InitSockets()) {
        m_dialogHost.MessageBox(nullptr,
            QCoreApplication::translate("TarnlowApp", "Windows sockets initialization failed."),
            QFileInfo(QCoreApplication::applicationFilePath()).completeBaseName(), MsgIcon::Exclamation,
            MsgButtons::Ok);
        return 1;
    }

    TarnlowDlg dlg(m_dialogHost);
    m_commandLinePaths = CommandLinePaths(operands);
    // Log-out, Ctrl+C and a closed terminal close the window as Escape does.
    // Should that fail, the signals keep their default effect.
    QuitSignals quitSignals(dlg);
    quitSignals.Install();

    dlg.SetCommandLinePaths(&m_commandLinePaths);
    dlg.OnInitDialog();
    // A signal that came while the window was being set up has closed it already.
    if (quitSignals.ReceivedSignal() == 0) {
        dlg.show();
        dlg.exec();
    }
    dlg.OnDestroy();

    // Ended by a signal: say so in the status, as a shell reports it.
    const int nStatus = quitSignals.ReceivedSignal() == 0 ? 0 : 128 + quitSignals.ReceivedSignal();
    if (dlg.Gate().RunningWorkers() > 0) {
        // A worker is stuck where it cannot be aborted (a name lookup, say). The
        // settings are saved; end now rather than wait for the server.
        std::fflush(nullptr);
        std::_Exit(nStatus);
    }
    return nStatus;
}
