#pragma once

#include "platform/Files.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace kpx {
struct RunSettings;
}

// The setup window's commands and the rules by which they read what the experimenter types. Texts
// are UTF-8.
namespace kpx::forms {

// A text-entry dialog: prompt, title and the text it opens with.
struct TextQuestion
{
    std::string prompt;
    std::string title;
    std::string defaultText;
};

// Asks one text-entry question: the text as typed, or nullopt on Cancel.
using AskText = std::function<std::optional<std::string>(const TextQuestion &question)>;

// Tells the experimenter something, with OK only.
using Tell = std::function<void(const std::string &message)>;

// The Subject ID dialog, opening with `current`.
TextQuestion subjectIdQuestion(const std::string &current = {});
TextQuestion cutoffQuestion();
TextQuestion thresholdQuestion();

// The number an entered text stands for: spaces around it, an optional sign, digits with an optional
// "." fraction and an optional exponent ("1e3"). Text that is not wholly such a number reads as 0;
// a number too large for a double reads as an infinity of its sign.
double readNumber(std::string_view text);

// The nearest whole number, an exact half going to the even neighbour; nullopt beyond 16 bits.
std::optional<std::int16_t> roundToInt16(double value);

// The MaxTrials a Cutoff entry gives: the rounded number when positive, otherwise 1000.
std::int16_t maxTrialsFromEntry(std::string_view text);

// The DistractorThreshold an entry gives, 6 to 34; nullopt when the experimenter must be asked again.
std::optional<std::int16_t> distractorThresholdFromEntry(std::string_view text);

// Why an entered subject ID is refused (a line break, NUL, '/' or another character the files cannot
// hold), if it is; any other text is the SubjectId exactly as typed.
std::optional<std::string> subjectIdRefusal(const std::string &text);

// SIDCtrl's text for a subject ID: shown exactly as typed, never as a keyboard mnemonic.
std::string subjectIdMenuText(const std::string &subjectId);

// CutCtrl's text before any entry: "Cutoff:" and the default, without a space.
std::string cutoffMenuTextAtStart();

// CutCtrl's text after an entry: "Cutoff:", one space, the digits.
std::string cutoffMenuText(std::int16_t maxTrials);

// DTThresh's text: "DTT:" and the last two characters of a space and the digits.
std::string thresholdMenuText(std::int16_t threshold);

// What the setup window's commands show for the settings as they are, in the active language.
struct SetupMenuTexts
{
    std::string subjectId; // SIDCtrl's: its caption until an ID is entered, then the ID
    std::string cutoff;    // CutCtrl's
    std::string threshold; // DTThresh's
    std::string start;     // StartCtrl's
    std::string language;  // LangCtrl's
};

// The commands' texts, for a setup window shown again in another language: the subject ID and the
// cutoff show as they do once entered (subjectIdEntered, cutoffEntered), otherwise as at start.
SetupMenuTexts setupMenuTexts(const RunSettings &settings, bool subjectIdEntered, bool cutoffEntered);

// SIDCtrl: asks until the ID can name the files, and names no other subject ID's files in the output
// directory (where the folder does not tell names apart by case), telling why each refused one cannot;
// Cancel gives the empty ID. Sets SubjectId and returns SIDCtrl's new text.
std::string enterSubjectId(RunSettings &settings, const AskText &ask, const Tell &refused,
                           const Files &files = systemFiles());

// CutCtrl: sets MaxTrials from one entry and returns CutCtrl's new text.
std::string SetMaxTrials(RunSettings &settings, const AskText &ask);

// DTThresh: asks again, with the same default, until the entry is a threshold; sets it and returns
// DTThresh's new text. Cancel keeps the threshold as it was and returns nullopt.
std::optional<std::string> SetDistractorThreshold(RunSettings &settings, const AskText &ask);

} // namespace kpx::forms
