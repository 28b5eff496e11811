#include "app/TarnlowApp.h"

#include "app/CommandLine.h"
#include "app/TarnlowDlg.h"

#include <QCoreApplication>
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

int TarnlowApp::InitInstance(const QStringList& arguments)
{
    if (!InitSockets()) {
        m_dialogHost.MessageBox(nullptr, QStringLiteral("Windows sockets initialization failed."),
            QFileInfo(QCoreApplication::applicationFilePath()).completeBaseName(), MsgIcon::Exclamation,
            MsgButtons::Ok);
        return 1;
    }

    TarnlowDlg dlg(m_dialogHost);
    m_commandLinePaths = CommandLinePaths(arguments);

    dlg.SetCommandLinePaths(&m_commandLinePaths);
    dlg.OnInitDialog();
    dlg.show();
    dlg.exec();
    dlg.OnDestroy();

    if (dlg.Gate().RunningWorkers() > 0) {
        // A worker is stuck where it cannot be aborted (a name lookup, say). The
        // settings are saved; end now rather than wait for the server.
        std::fflush(nullptr);
        std::_Exit(0);
    }
    return 0;
}
