#include "QtOptions.h"

namespace kpx {

QStringList withoutQtOptions(const QStringList &arguments)
{
    // The options of QGuiApplication, QApplication and the X11 platform, written -name or --name.
    static const QStringList withValue{
        QStringLiteral("platform"),      QStringLiteral("platformpluginpath"), QStringLiteral("platformtheme"),
        QStringLiteral("plugin"),        QStringLiteral("qwindowgeometry"),    QStringLiteral("geometry"),
        QStringLiteral("qwindowtitle"),  QStringLiteral("title"),              QStringLiteral("qwindowicon"),
        QStringLiteral("icon"),          QStringLiteral("session"),            QStringLiteral("display"),
        QStringLiteral("name"),          QStringLiteral("style"),              QStringLiteral("stylesheet"),
        QStringLiteral("qmljsdebugger")};
    static const QStringList flags{QStringLiteral("reverse"), QStringLiteral("widgetcount"), QStringLiteral("nograb"),
                                   QStringLiteral("dograb"),  QStringLiteral("sync"),        QStringLiteral("testability")};
    QStringList left;
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        QString name = arguments[i];
        if (!name.startsWith(QLatin1Char('-')) || name == QStringLiteral("-") || name == QStringLiteral("--")) {
            left << arguments[i];
            continue;
        }
        name.remove(0, name.startsWith(QStringLiteral("--")) ? 2 : 1);
        const qsizetype equals = name.indexOf(QLatin1Char('='));
        if (equals >= 0 && withValue.contains(name.left(equals)))
            continue;
        if (withValue.contains(name)) {
            ++i; // its value
            continue;
        }
        if (!flags.contains(name))
            left << arguments[i];
    }
    return left;
}

} // namespace kpx
