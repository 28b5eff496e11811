#include "app/DialogHost.h"
#include "app/TarnlowApp.h"

#include <QApplication>

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    QApplication::setOrganizationName(QStringLiteral("Halvorn"));
    QApplication::setApplicationName(QStringLiteral("Tarnlow"));
    QApplication::setApplicationVersion(QStringLiteral("1.02"));

    QtDialogHost dialogHost;
    TarnlowApp theApp(dialogHost);
    QStringList arguments = QApplication::arguments();
    arguments.removeFirst();
    return theApp.InitInstance(arguments);
}
