#pragma once

#include <optional>
#include <ostream>
#include <string>
#include <variant>
#include <vector>

namespace kpx {

// What the command line of kpx2 asks for, once Qt has taken its own options (-style, -platform, ...).
enum class AppCommand {
    Run,     // no arguments but --language: open the setup window
    Help,    // --help
    Version, // --version
};

// A command line kpx2 does not understand; the message names the argument.
struct AppUsageError
{
    std::string message;
};

// The arguments after the program name, as UTF-8 text.
std::variant<AppCommand, AppUsageError> parseAppArguments(const std::vector<std::string> &arguments);

// Answers --help and --version on `out`, or tells on `err` what was not understood (status 2), an
// unknown --language among it; empty when the task should run, its language then made the active one.
std::optional<int> answerAppArguments(const std::vector<std::string> &arguments, std::ostream &out, std::ostream &err);

// The language the arguments choose (the last --language), English without one; parseAppArguments
// has checked it.
std::string appLanguage(const std::vector<std::string> &arguments);

// The text --help prints.
std::string appUsageText();

} // namespace kpx
