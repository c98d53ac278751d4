#pragma once

#include <cstddef>

// The catalogues built into the program from translations/*.po.
namespace kpx::i18n {

// One translated text; an empty msgstr stands for "not translated yet".
struct CatalogueEntry
{
    const char *msgid;
    const char *msgstr;
};

struct EmbeddedCatalogue
{
    const char *code;
    const char *name; // the language's own name, the catalogue's entry for "English"
    const CatalogueEntry *entries;
    std::size_t count;
};

// Made by the build from every translations/*.po, sorted by code; each catalogue's entries sorted
// by msgid as bytes.
extern const EmbeddedCatalogue EmbeddedCatalogues[];
extern const std::size_t EmbeddedCatalogueCount;

// The catalogue's text for the English one, or nullptr when it has none or an empty one.
const char *lookUp(const EmbeddedCatalogue &catalogue, const char *english);

} // namespace kpx::i18n
