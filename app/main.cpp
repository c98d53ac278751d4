#include "ui/Session.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    // Dialogs and message boxes without a title of their own carry the application title.
    QApplication::setApplicationName(QStringLiteral("KPX2"));

    kpx::Session session;
    session.show();
    return QApplication::exec();
}
