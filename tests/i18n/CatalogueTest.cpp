#include "i18n/Catalogue.h"
#include "i18n/Tr.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using kpx::i18n::CatalogueEntry;
using kpx::i18n::EmbeddedCatalogue;

// Sorted by msgid, as the build writes them.
const CatalogueEntry Entries[] = {
    {"$%1", "%1 \xE2\x82\xAC"},
    {"NOW", "JETZT"},
    {"Start", ""},
};
const EmbeddedCatalogue Sample{"xx", "Test", Entries, std::size(Entries)};

TEST(CatalogueLookUp, FindsATranslatedText)
{
    EXPECT_STREQ(kpx::i18n::lookUp(Sample, "NOW"), "JETZT");
}

TEST(CatalogueLookUp, AnEmptyEntryCountsAsNone)
{
    EXPECT_EQ(kpx::i18n::lookUp(Sample, "Start"), nullptr);
}

TEST(CatalogueLookUp, AMissingEntryIsNone)
{
    EXPECT_EQ(kpx::i18n::lookUp(Sample, "available"), nullptr);
    EXPECT_EQ(kpx::i18n::lookUp(Sample, ""), nullptr);
    EXPECT_EQ(kpx::i18n::lookUp(Sample, "zzz"), nullptr);
}

struct ArgCase
{
    const char *name;
    const char *text;
    std::string expected;
};

class Arg : public testing::TestWithParam<ArgCase>
{
};

TEST_P(Arg, FillsEachPlaceholderOnce)
{
    EXPECT_EQ(kpx::i18n::arg(GetParam().text, {"A", "%2", "C"}), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Texts, Arg,
    testing::Values(ArgCase{"NoPlaceholderStaysAsItIs", "plain 100%", "plain 100%"},
                    ArgCase{"PlaceholdersInAnyOrder", "%3 then %1", "C then A"},
                    ArgCase{"AnArgumentHoldingAPlaceholderIsNotFilledAgain", "<%2>", "<%2>"},
                    ArgCase{"APlaceholderWithoutArgumentStays", "%1 %4", "A %4"},
                    ArgCase{"APercentAtTheEndStays", "%1%", "A%"}),
    [](const testing::TestParamInfo<ArgCase> &info) { return std::string(info.param.name); });

// Restores English whatever a test chose, since the language is the program's.
class ActiveLanguage : public testing::Test
{
protected:
    void TearDown() override { kpx::i18n::setLanguage(kpx::i18n::DefaultLanguage); }
};

TEST_F(ActiveLanguage, IsEnglishUntilChosen)
{
    EXPECT_EQ(kpx::i18n::activeLanguage(), "en");
    EXPECT_STREQ(kpx::i18n::tr("NOW"), "NOW");
    EXPECT_EQ(kpx::i18n::money(100), "$100");
    EXPECT_EQ(kpx::i18n::money(5), "$5");
}

TEST_F(ActiveLanguage, AnUnknownLanguageIsRefusedAndChangesNothing)
{
    ASSERT_TRUE(kpx::i18n::setLanguage("de"));
    EXPECT_FALSE(kpx::i18n::setLanguage("klingon"));
    EXPECT_FALSE(kpx::i18n::setLanguage(""));
    EXPECT_EQ(kpx::i18n::activeLanguage(), "de");
}

TEST_F(ActiveLanguage, ListsEnglishFirstThenTheShippedCataloguesByTheirOwnNames)
{
    const auto languages = kpx::i18n::shippedLanguages();
    ASSERT_EQ(languages.size(), 4u);
    EXPECT_EQ(languages[0].code, "en");
    EXPECT_EQ(languages[1].name, "Deutsch");
    EXPECT_EQ(languages[2].name, "Espa\xC3\xB1ol");
    EXPECT_EQ(languages[3].name, "\xE4\xB8\xAD\xE6\x96\x87");
    EXPECT_EQ(kpx::i18n::shippedLanguageList(), "en, de, es, zh_CN");
}

struct MoneyCase
{
    const char *language;
    std::string hundred;
};

class Money : public ActiveLanguage, public testing::WithParamInterface<MoneyCase>
{
};

TEST_P(Money, IsWrittenAsTheLanguageWritesIt)
{
    ASSERT_TRUE(kpx::i18n::setLanguage(GetParam().language));
    EXPECT_EQ(kpx::i18n::money(100), GetParam().hundred);
}

INSTANTIATE_TEST_SUITE_P(Languages, Money,
                         testing::Values(MoneyCase{"en", "$100"}, MoneyCase{"de", "100 \xE2\x82\xAC"},
                                         MoneyCase{"es", "100 \xE2\x82\xAC"}, MoneyCase{"zh_CN", "100 \xE5\x85\x83"}),
                         [](const testing::TestParamInfo<MoneyCase> &info) { return std::string(info.param.language); });

// Every text of every language, never an empty one: an entry left empty reads as its English.
TEST_F(ActiveLanguage, NoShippedCatalogueHoldsAnEmptyText)
{
    for (std::size_t i = 0; i < kpx::i18n::EmbeddedCatalogueCount; ++i) {
        const EmbeddedCatalogue &catalogue = kpx::i18n::EmbeddedCatalogues[i];
        ASSERT_TRUE(kpx::i18n::setLanguage(catalogue.code));
        for (std::size_t e = 0; e < catalogue.count; ++e)
            EXPECT_STRNE(kpx::i18n::tr(catalogue.entries[e].msgid), "") << catalogue.code << ": " << catalogue.entries[e].msgid;
    }
}

TEST_F(ActiveLanguage, ALayoutTextReadsInTheActiveLanguage)
{
    constexpr kpx::i18n::Text now{"NOW"};
    ASSERT_TRUE(kpx::i18n::setLanguage("de"));
    EXPECT_STREQ(now.text(), "JETZT");
    EXPECT_STREQ(now.english(), "NOW");
}

} // namespace
