#include "web/PageLayout.h"

#include "forms/DisplayFit.h"
#include "forms/WindowLayouts.h"
#include "results/NumberForm.h"
#include "web/Json.h"

#include <gtest/gtest.h>

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

TEST(Json, StringsAreEscapedSoNoTextEndsTheLiteral)
{
    EXPECT_EQ(web::jsonString("a\"b\\c"), "\"a\\\"b\\\\c\"");
    EXPECT_EQ(web::jsonString("line\nbreak\x01"), "\"line\\u000abreak\\u0001\"");
    EXPECT_EQ(web::jsonString("Zoë"), "\"Zoë\"");
}

} // namespace
} // namespace kpx
