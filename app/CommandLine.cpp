#include "CommandLine.h"

namespace kpx {

std::variant<AppCommand, AppUsageError> parseAppArguments(const QStringList &arguments)
{
    AppCommand command = AppCommand::Run;
    for (const QString &argument : arguments) {
        if (argument == QStringLiteral("--help") || argument == QStringLiteral("-h"))
            command = AppCommand::Help;
        else if (argument == QStringLiteral("--version"))
            command = command == AppCommand::Help ? command : AppCommand::Version;
        else if (argument.startsWith(QLatin1Char('-')))
            return AppUsageError{"unknown option '" + argument.toStdString() + "'"};
        else
            return AppUsageError{"unexpected argument '" + argument.toStdString() + "'"};
    }
    return command;
}

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

std::string appUsageText()
{
    return "Usage: kpx2 [--help | --version]\n"
           "Runs the adjusting-amount delay-discounting task. The setup window KPX-2 opens; its menu\n"
           "sets the subject ID, the cutoff and the distractor threshold, and Start shows the\n"
           "instructions. The results files go to the directory open in the setup window.\n"
           "  --help     show this text and exit\n"
           "  --version  show the version and exit\n"
           "Qt's own options, such as -style NAME or -platform NAME, are accepted as well.\n";
}

} // namespace kpx
