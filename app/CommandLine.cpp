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
