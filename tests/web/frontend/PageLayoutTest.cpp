#include "web/PageLayout.h"

#include "forms/DisplayFit.h"
#include "forms/WindowLayouts.h"
#include "i18n/Tr.h"
#include "results/NumberForm.h"
#include "web/Json.h"
#include "web/PageTexts.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <iterator>
#include <string>

namespace kpx {
namespace {

struct ViewportCase
{
    const char *name;
    int width;
    int height;
};

class PageLayout : public testing::TestWithParam<ViewportCase>
{
};

std::string placed(const forms::Rect &r)
{
    return "\"left\":" + std::to_string(r.left) + ",\"top\":" + std::to_string(r.top) + ",\"width\":"
        + std::to_string(r.width) + ",\"height\":" + std::to_string(r.height);
}

// The page draws the choice window where the display fit rule puts it on a desktop display of that size.
TEST_P(PageLayout, PlacesTheChoiceWindowByTheDisplayFitRule)
{
    const auto [name, width, height] = GetParam();
    const forms::Fit fit = forms::fitLayout(forms::choiceWindowExtent(), {{0, 0, width, height}, forms::DesignDpi});
    const std::string json = web::pageLayoutJson(width, height);
    EXPECT_NE(json.find("\"choice\":{\"scale\":" + plainNumber(fit.scale())), std::string::npos) << json;
    EXPECT_NE(json.find(placed(fit.place(forms::TaskFormLayout::Frame1.rect))), std::string::npos) << json;
    const std::string points = plainNumber(fit.points(forms::Arial48.points));
    EXPECT_NE(json.find("\"name\":\"VReward\",\"kind\":\"label\",\"parent\":\"Frame2\","
                        + placed(fit.inside({}, forms::TaskFormLayout::VReward.rect))
                        + ",\"font\":{\"face\":\"Arial\",\"points\":" + points),
              std::string::npos)
        << json;
}

INSTANTIATE_TEST_SUITE_P(Viewports, PageLayout,
                         testing::Values(ViewportCase{"ALaptopTakesItAsDesigned", 1366, 768},
                                         ViewportCase{"ASmallWindowReducesIt", 800, 450},
                                         ViewportCase{"APhoneUprightReducesItMore", 390, 844}),
                         [](const testing::TestParamInfo<ViewportCase> &info) { return info.param.name; });

struct LanguageCase
{
    const char *name;
    const char *code;
};

class PageTextsIn : public testing::TestWithParam<LanguageCase>
{
protected:
    void TearDown() override { i18n::setLanguage(i18n::DefaultLanguage); }
};

// The page's own texts reach it in the run's language, each under its key, the recovery's apart;
// English is the text as written.
TEST_P(PageTextsIn, TheLayoutCarriesEachPageTextInTheLanguage)
{
    ASSERT_TRUE(i18n::setLanguage(GetParam().code));
    const bool english = std::string(GetParam().code) == i18n::DefaultLanguage;
    const std::string json = web::pageLayoutJson(1366, 768);
    const std::size_t recovery = json.find("\"recovery\":{");
    ASSERT_NE(recovery, std::string::npos) << json;
    for (const web::PageText &text : web::PageTexts) {
        const std::string member = web::jsonString(text.key) + ":" + web::jsonString(text.text.text());
        EXPECT_LT(json.find(member), recovery) << member;
        if (english)
            EXPECT_STREQ(text.text.text(), text.text.english());
    }
    for (const web::PageText &text : web::RecoveryTexts) {
        const std::string member = web::jsonString(text.key) + ":" + web::jsonString(text.text.text());
        EXPECT_NE(json.find(member, recovery), std::string::npos) << member;
    }
    // A catalogue that is not English says it otherwise.
    const auto saving = std::find_if(std::begin(web::PageTexts), std::end(web::PageTexts),
                                     [](const web::PageText &text) { return std::string(text.key) == "saving"; });
    ASSERT_NE(saving, std::end(web::PageTexts));
    EXPECT_EQ(std::string(saving->text.text()) == "Saving your answers…", english) << saving->text.text();
}

INSTANTIATE_TEST_SUITE_P(Languages, PageTextsIn,
                         testing::Values(LanguageCase{"English", "en"}, LanguageCase{"German", "de"},
                                         LanguageCase{"Spanish", "es"}, LanguageCase{"Chinese", "zh_CN"}),
                         [](const testing::TestParamInfo<LanguageCase> &info) { return info.param.name; });

// A refused language is said in the active one, with the code and the languages shipped filled in.
TEST(PageTexts, TheUnknownLanguageRefusalNamesTheCodeAndTheLanguagesShipped)
{
    EXPECT_EQ(i18n::arg(web::UnknownLanguage.text(), {"fr", i18n::shippedLanguageList()}),
              "Unknown language 'fr'; the languages shipped are en, de, es, zh_CN");
}

TEST(Json, StringsAreEscapedSoNoTextEndsTheLiteral)
{
    EXPECT_EQ(web::jsonString("a\"b\\c"), "\"a\\\"b\\\\c\"");
    EXPECT_EQ(web::jsonString("line\nbreak\x01"), "\"line\\u000abreak\\u0001\"");
    EXPECT_EQ(web::jsonString("Zoë"), "\"Zoë\"");
}

} // namespace
} // namespace kpx
