#include "forms/CommandLine.h"

#include "i18n/Tr.h"
#include "kpx/Version.h"

namespace kpx {

std::variant<AppCommand, AppUsageError> parseAppArguments(const std::vector<std::string> &arguments)
{
    AppCommand command = AppCommand::Run;
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const std::string &argument = arguments[i];
        if (argument == "--language") {
            if (i + 1 >= arguments.size())
                return AppUsageError{"--language needs a value: " + i18n::shippedLanguageList()};
            const std::string &code = arguments[++i];
            if (!i18n::isShippedLanguage(code))
                return AppUsageError{"unknown language '" + code + "'; the languages shipped are "
                                     + i18n::shippedLanguageList()};
        } else if (argument == "--help" || argument == "-h")
            command = AppCommand::Help;
        else if (argument == "--version")
            command = command == AppCommand::Help ? command : AppCommand::Version;
        else if (argument.starts_with('-'))
            return AppUsageError{"unknown option '" + argument + "'"};
        else
            return AppUsageError{"unexpected argument '" + argument + "'"};
    }
    return command;
}

std::optional<int> answerAppArguments(const std::vector<std::string> &arguments, std::ostream &out, std::ostream &err)
{
    const auto parsed = parseAppArguments(arguments);
    if (const auto *error = std::get_if<AppUsageError>(&parsed)) {
        err << "kpx2: " << error->message << " (kpx2 --help shows the usage)\n";
        return 2;
    }
    switch (std::get<AppCommand>(parsed)) {
    case AppCommand::Help:
        out << appUsageText();
        return 0;
    case AppCommand::Version:
        out << "kpx2 " << kVersion << "\n";
        return 0;
    case AppCommand::Run:
        break;
    }
    i18n::setLanguage(appLanguage(arguments));
    return std::nullopt;
}

std::string appLanguage(const std::vector<std::string> &arguments)
{
    std::string language = i18n::DefaultLanguage;
    for (std::size_t i = 0; i + 1 < arguments.size(); ++i)
        if (arguments[i] == "--language")
            language = arguments[++i];
    return language;
}

std::string appUsageText()
{
    return "Usage: kpx2 [--language L] [--help | --version]\n"
           "Runs the adjusting-amount delay-discounting task. The setup window KPX-2 opens; its menu\n"
           "sets the subject ID, the cutoff and the distractor threshold, and Start shows the\n"
           "instructions. The results files go to the directory open in the setup window.\n"
           "  --language L  the participant's language for the run: " + i18n::shippedLanguageList() + " (default en)\n"
           "  --help     show this text and exit\n"
           "  --version  show the version and exit\n"
           "Qt's own options, such as -style NAME or -platform NAME, are accepted as well.\n";
}

} // namespace kpx
