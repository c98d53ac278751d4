#pragma once

#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

// Marks an English text for the catalogues: scripts/update-pot collects every KPX_TR literal into
// translations/kpx2.pot. It is the literal itself, so a marked text can sit in a constexpr layout.
#define KPX_TR(text) text

namespace kpx::i18n {

// The code of the English the program is written in; it has no catalogue of its own.
inline constexpr const char *DefaultLanguage = "en";

// A language the program can be run in.
struct Language
{
    std::string code; // as in --language: "de", "zh_CN"
    std::string name; // in the language itself: "Deutsch"
};

// English first, then every built-in catalogue by code.
std::vector<Language> shippedLanguages();

// "en, de, es, zh_CN": the codes --language takes, for a refusal.
std::string shippedLanguageList();

// Whether setLanguage would take the code.
bool isShippedLanguage(std::string_view code);

// Makes the language the active one for the rest of the run; false, changing nothing, when no
// catalogue of that code is built in.
bool setLanguage(std::string_view code);

// The active language's code; DefaultLanguage until setLanguage.
const std::string &activeLanguage();

// The active language's text for the English one; the English itself when the catalogue has no
// entry for it or an empty one. The pointer lives as long as the program.
const char *tr(const char *english);

// The text with each %1 replaced by the first argument, %2 by the second, and so on to %9; a
// placeholder without an argument stays as it is.
std::string arg(std::string_view text, std::initializer_list<std::string_view> arguments);

// An amount of money as the active language writes it: "$100", "100 €".
std::string money(int amount);

// A text of a fixed layout, written in English and shown in the active language: it reads as the
// translated C string wherever one is taken, so the layouts stay constexpr and their readers unchanged.
class Text
{
public:
    constexpr Text(const char *english = "") : m_english(english) {}
    operator const char *() const { return tr(m_english); }
    // The same, where a conversion is not taken by itself (a toolkit's string).
    const char *text() const { return tr(m_english); }
    // The text as written, whatever the language.
    constexpr const char *english() const { return m_english; }

private:
    const char *m_english;
};

} // namespace kpx::i18n
