#pragma once

#include <QStringList>

#include <string>
#include <variant>

namespace kpx {

// What the command line of kpx2 asks for, once Qt has taken its own options (-style, -platform, ...).
enum class AppCommand {
    Run,     // no arguments: open the setup window
    Help,    // --help
    Version, // --version
};

// A command line kpx2 does not understand; the message names the argument.
struct AppUsageError
{
    std::string message;
};

std::variant<AppCommand, AppUsageError> parseAppArguments(const QStringList &arguments);

// The arguments without Qt's own options and their values, as QApplication would leave them; so
// the command line can be checked before the window system is opened, which aborts without a display.
QStringList withoutQtOptions(const QStringList &arguments);

// The text --help prints.
std::string appUsageText();

} // namespace kpx
