#include "support/TestNet.h"

namespace TestNet {

QString Address(int nHost)
{
    QString strSubnet = qEnvironmentVariable("TARNLOW_TEST_SUBNET");
    if (strSubnet.isEmpty())
        strSubnet = QStringLiteral("127.9.9");
    return strSubnet + QLatin1Char('.') + QString::number(nHost);
}

} // namespace TestNet
