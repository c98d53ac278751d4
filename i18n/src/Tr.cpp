#include "i18n/Tr.h"

#include "i18n/Catalogue.h"

#include <algorithm>
#include <cstring>

namespace kpx::i18n {

namespace {

struct Active
{
    std::string code = DefaultLanguage;
    const EmbeddedCatalogue *catalogue = nullptr;
};

Active &active()
{
    static Active state;
    return state;
}

const EmbeddedCatalogue *findCatalogue(std::string_view code)
{
    for (std::size_t i = 0; i < EmbeddedCatalogueCount; ++i)
        if (code == EmbeddedCatalogues[i].code)
            return &EmbeddedCatalogues[i];
    return nullptr;
}

} // namespace

const char *lookUp(const EmbeddedCatalogue &catalogue, const char *english)
{
    const CatalogueEntry *end = catalogue.entries + catalogue.count;
    const CatalogueEntry *found = std::lower_bound(catalogue.entries, end, english,
        [](const CatalogueEntry &entry, const char *key) { return std::strcmp(entry.msgid, key) < 0; });
    if (found == end || std::strcmp(found->msgid, english) != 0 || found->msgstr[0] == '\0')
        return nullptr;
    return found->msgstr;
}

std::vector<Language> shippedLanguages()
{
    // TRANSLATORS: the name of this catalogue's language, written in that language ("Deutsch").
    std::vector<Language> languages{{DefaultLanguage, KPX_TR("English")}};
    for (std::size_t i = 0; i < EmbeddedCatalogueCount; ++i)
        languages.push_back({EmbeddedCatalogues[i].code, EmbeddedCatalogues[i].name});
    return languages;
}

std::string shippedLanguageList()
{
    std::string list;
    for (const Language &language : shippedLanguages())
        list += (list.empty() ? "" : ", ") + language.code;
    return list;
}

bool isShippedLanguage(std::string_view code)
{
    return code == DefaultLanguage || findCatalogue(code) != nullptr;
}

bool setLanguage(std::string_view code)
{
    if (code == DefaultLanguage) {
        active() = Active{};
        return true;
    }
    const EmbeddedCatalogue *catalogue = findCatalogue(code);
    if (!catalogue)
        return false;
    active() = Active{std::string(code), catalogue};
    return true;
}

const std::string &activeLanguage()
{
    return active().code;
}

const char *tr(const char *english)
{
    if (!active().catalogue || english == nullptr || english[0] == '\0')
        return english;
    const char *text = lookUp(*active().catalogue, english);
    return text ? text : english;
}

std::string arg(std::string_view text, std::initializer_list<std::string_view> arguments)
{
    std::string result;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const std::size_t index = i + 1 < text.size() ? static_cast<std::size_t>(text[i + 1] - '1') : arguments.size();
        // One pass, so an argument that holds "%2" is never replaced in its turn.
        if (text[i] == '%' && index < arguments.size()) {
            result += arguments.begin()[index];
            ++i;
        } else {
            result += text[i];
        }
    }
    return result;
}

std::string money(int amount)
{
    // TRANSLATORS: an amount of money; %1 is the number, e.g. "%1 €" or "%1 元".
    return arg(tr(KPX_TR("$%1")), {std::to_string(amount)});
}

} // namespace kpx::i18n
