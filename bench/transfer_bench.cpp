// Uploads or downloads one file through the FTP engine (active mode) and exits
// with 0 only when the engine reported the transfer done. Timing and memory are
// measured from outside (transfer_bench.sh runs it under /usr/bin/time).
//
// Usage: transfer_bench put|get HOST USER PASSWORD LOCAL_PATH REMOTE_NAME

#include "ftp/FtpConnection.h"
#include "ftp/InternetException.h"
#include "ftp/InternetSession.h"

#include <QByteArray>
#include <QString>

#include <cstdio>
#include <cstring>

int main(int argc, char* argv[])
{
    if (argc != 7 || (std::strcmp(argv[1], "put") != 0 && std::strcmp(argv[1], "get") != 0)) {
        std::fprintf(stderr, "usage: transfer_bench put|get HOST USER PASSWORD LOCAL_PATH REMOTE_NAME\n");
        return 2;
    }
    const bool bPut = std::strcmp(argv[1], "put") == 0;
    const QString strLocal = QString::fromLocal8Bit(argv[5]);
    try {
        InternetSession session;
        auto connection = session.GetFtpConnection(argv[2], argv[3], argv[4]);
        const bool bOk = bPut ? connection->PutFile(strLocal, argv[6]) : connection->GetFile(argv[6], strLocal, true);
        connection->Close();
        if (!bOk) {
            std::fprintf(stderr, "transfer_bench: %s failed\n", argv[1]);
            return 1;
        }
    } catch (const InternetException& e) {
        std::fprintf(stderr, "transfer_bench: %s\n", e.what());
        return 1;
    }
    return 0;
}
