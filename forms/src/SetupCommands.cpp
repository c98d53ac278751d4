#include "forms/SetupCommands.h"

#include "engine/RunSettings.h"
#include "engine/TaskRules.h"
#include "forms/Texts.h"
#include "forms/WindowLayouts.h"
#include "platform/Charconv.h"
#include "results/ResultsWriter.h"

#include <array>
#include <charconv>
#include <cmath>
#include <limits>

namespace kpx::forms {

namespace {

// The white space an entry may have around its number: ASCII's and Unicode's separators, in UTF-8.
constexpr std::array<std::string_view, 25> Spaces{
    " ",            "\t",           "\n",           "\v",           "\f",           "\r",
    "\xC2\x85",     "\xC2\xA0",     "\xE1\x9A\x80", "\xE2\x80\x80", "\xE2\x80\x81", "\xE2\x80\x82",
    "\xE2\x80\x83", "\xE2\x80\x84", "\xE2\x80\x85", "\xE2\x80\x86", "\xE2\x80\x87", "\xE2\x80\x88",
    "\xE2\x80\x89", "\xE2\x80\x8A", "\xE2\x80\xA8", "\xE2\x80\xA9", "\xE2\x80\xAF", "\xE2\x81\x9F",
    "\xE3\x80\x80",
};

std::size_t spaceAt(std::string_view text, bool atEnd)
{
    for (std::string_view space : Spaces)
        if (atEnd ? text.ends_with(space) : text.starts_with(space))
            return space.size();
    return 0;
}

std::string_view trimmed(std::string_view text)
{
    while (std::size_t n = spaceAt(text, false))
        text.remove_prefix(n);
    while (std::size_t n = spaceAt(text, true))
        text.remove_suffix(n);
    return text;
}

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

// The digits from `at` on; returns how many.
std::size_t skipDigits(std::string_view text, std::size_t &at)
{
    const std::size_t from = at;
    while (at < text.size() && isDigit(text[at]))
        ++at;
    return at - from;
}

// A number beyond a double's range: whether it is too large (rather than too small), from the place
// of its first significant digit and its exponent.
bool beyondLargest(std::string_view number)
{
    const std::size_t e = number.find_first_of("eE");
    const std::string_view mantissa = number.substr(0, e);
    long long exponent = 0;
    if (e != std::string_view::npos) {
        std::string_view digits = number.substr(e + 1);
        if (!digits.empty() && digits.front() == '+')
            digits.remove_prefix(1);
        const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), exponent);
        if (error == std::errc::result_out_of_range)
            return digits.front() != '-';
    }
    const std::size_t point = mantissa.find('.');
    const std::size_t first = mantissa.find_first_of("123456789");
    if (first == std::string_view::npos)
        return false;
    const long long integerDigits = static_cast<long long>(point == std::string_view::npos ? mantissa.size() : point);
    // The power of ten of the first significant digit, plus one when it stands before the point.
    const long long place = integerDigits - static_cast<long long>(first);
    return place + exponent > 0;
}

} // namespace

TextQuestion subjectIdQuestion(const std::string &current)
{
    return {translated(KPX_TR("Enter Subject ID")), ApplicationTitle, current};
}

TextQuestion cutoffQuestion()
{
    return {translated(KPX_TR("Enter maximum number of trials")), translated(KPX_TR("Cutoff Value")), ""};
}

TextQuestion thresholdQuestion()
{
    return {translated(KPX_TR("Enter threshold for distractor trials. Possible values are 10, 15, 20, 25, and 30.")),
            translated(KPX_TR("Set Distractor Threshold")), std::to_string(DefaultDistractorThreshold)};
}

double readNumber(std::string_view text)
{
    // Only the C locale's form (ASCII digits, '.' as decimal point, no group separators), whatever the
    // user's locale: an ambiguous entry is never turned into a number the experimenter did not mean.
    text = trimmed(text);
    bool negative = false;
    if (!text.empty() && (text.front() == '+' || text.front() == '-')) {
        negative = text.front() == '-';
        text.remove_prefix(1);
    }
    std::size_t at = 0;
    std::size_t digits = skipDigits(text, at);
    if (at < text.size() && text[at] == '.') {
        ++at;
        digits += skipDigits(text, at);
    }
    if (digits == 0)
        return 0.0;
    if (at < text.size() && (text[at] == 'e' || text[at] == 'E')) {
        ++at;
        if (at < text.size() && (text[at] == '+' || text[at] == '-'))
            ++at;
        if (skipDigits(text, at) == 0)
            return 0.0;
    }
    if (at != text.size())
        return 0.0;

    // from_chars takes no '+' before the exponent either; the grammar is checked already.
    std::string number(text);
    if (const std::size_t e = number.find_first_of("eE"); e != std::string::npos && number[e + 1] == '+')
        number.erase(e + 1, 1);
    double value = 0.0;
    const auto [end, error] = kpx::fromChars(number.data(), number.data() + number.size(), value);
    if (error == std::errc::result_out_of_range)
        value = beyondLargest(number) ? std::numeric_limits<double>::infinity() : 0.0;
    else if (error != std::errc() || end != number.data() + number.size())
        return 0.0;
    return negative ? -value : value;
}

std::optional<std::int16_t> roundToInt16(double value)
{
    // nearbyint rounds in the default mode, to nearest with halves to even.
    const double rounded = std::nearbyint(value);
    if (!(rounded >= std::numeric_limits<std::int16_t>::min() && rounded <= std::numeric_limits<std::int16_t>::max()))
        return std::nullopt;
    return static_cast<std::int16_t>(rounded);
}

std::int16_t maxTrialsFromEntry(std::string_view text)
{
    const double value = readNumber(text);
    if (!(value > 0))
        return DefaultMaxTrials;
    // A positive entry that rounds to 0 (0.5 or less) or lies beyond 16 bits would leave no sensible
    // maximum: it is treated like any other unusable entry.
    const std::optional<std::int16_t> rounded = roundToInt16(value);
    return rounded && *rounded > 0 ? *rounded : DefaultMaxTrials;
}

std::optional<std::int16_t> distractorThresholdFromEntry(std::string_view text)
{
    const std::optional<std::int16_t> rounded = roundToInt16(readNumber(text));
    if (!rounded || !isDistractorThreshold(*rounded))
        return std::nullopt;
    return rounded;
}

std::optional<std::string> subjectIdRefusal(const std::string &text)
{
    // The results files hold the ID as their first line and in their names: one rule for both.
    const std::optional<std::string> reason = unusableSubjectId(text);
    if (!reason)
        return std::nullopt;
    return translated(KPX_TR("This subject ID cannot be used: %1.\n\nPlease enter it again."), {*reason});
}

std::string subjectIdMenuText(const std::string &subjectId)
{
    // Both toolkits read a single '&' in a menu text as the mark of the next letter.
    std::string text;
    for (char c : subjectId) {
        text += c;
        if (c == '&')
            text += '&';
    }
    return text;
}

std::string cutoffMenuTextAtStart()
{
    return translated(KPX_TR("Cutoff:%1"), {std::to_string(DefaultMaxTrials)});
}

std::string cutoffMenuText(std::int16_t maxTrials)
{
    return translated(KPX_TR("Cutoff: %1"), {std::to_string(maxTrials)});
}

std::string thresholdMenuText(std::int16_t threshold)
{
    const std::string spaced = " " + std::to_string(threshold);
    return translated(KPX_TR("DTT:%1"), {spaced.substr(spaced.size() - 2)});
}

SetupMenuTexts setupMenuTexts(const RunSettings &settings, bool subjectIdEntered, bool cutoffEntered)
{
    using Layout = StartFormLayout;
    return {subjectIdEntered ? subjectIdMenuText(settings.SubjectId) : std::string(Layout::SIDCtrl.text.text()),
            cutoffEntered ? cutoffMenuText(settings.MaxTrials) : cutoffMenuTextAtStart(),
            thresholdMenuText(settings.DistractorThreshold), Layout::StartCtrl.text.text(),
            Layout::LangCtrl.text.text()};
}

std::string enterSubjectId(RunSettings &settings, const AskText &ask, const Tell &refused, const Files &files)
{
    std::string subjectId;
    for (;;) {
        // Cancel gives the empty text, which is taken like any other entry.
        subjectId = ask(subjectIdQuestion()).value_or(std::string());
        std::optional<std::string> refusal = subjectIdRefusal(subjectId);
        if (!refusal && !subjectId.empty() && !settings.OutputDirectory.empty()) {
            // The folder is checked again when the run starts, since it may change before then.
            if (auto clash = resultsNameClash(subjectId, settings.OutputDirectory, files))
                refusal = translated(KPX_TR("This subject ID cannot be used in this folder:\n%1\n\nPlease enter it "
                                            "again, or cancel and choose another folder."),
                                     {*clash});
        }
        if (!refusal)
            break;
        // Said now, not when the run ends: such an ID would break the results files.
        refused(*refusal);
    }
    settings.SubjectId = subjectId;
    return subjectIdMenuText(subjectId);
}

std::string SetMaxTrials(RunSettings &settings, const AskText &ask)
{
    settings.MaxTrials = maxTrialsFromEntry(ask(cutoffQuestion()).value_or(std::string()));
    return cutoffMenuText(settings.MaxTrials);
}

std::optional<std::string> SetDistractorThreshold(RunSettings &settings, const AskText &ask)
{
    for (;;) {
        const std::optional<std::string> entry = ask(thresholdQuestion());
        // Cancel keeps the current threshold; otherwise the experimenter could never leave the dialog.
        if (!entry)
            return std::nullopt;
        if (const std::optional<std::int16_t> threshold = distractorThresholdFromEntry(*entry)) {
            settings.DistractorThreshold = *threshold;
            return thresholdMenuText(*threshold);
        }
    }
}

} // namespace kpx::forms
