#include "web/PageSetup.h"

#include "engine/RunSettings.h"
#include "forms/SetupCommands.h"

#include <gtest/gtest.h>

namespace kpx {
namespace {

struct SetupCase
{
    const char *name;
    web::SetupEntries entries;
    const char *refusedField; // "" when taken
    int threshold;
    int maxTrials;
};

class PageSetup : public testing::TestWithParam<SetupCase>
{
};

// The one setup form reads its entries by the desktop's rules, and says what it refuses in the
// desktop's words.
TEST_P(PageSetup, ReadsEntriesAsTheSetupWindowDoes)
{
    const SetupCase &c = GetParam();
    RunSettings settings;
    const auto refusal = web::applySetup(c.entries, settings);
    EXPECT_EQ(refusal ? refusal->field : "", std::string(c.refusedField));
    if (refusal) {
        // Nothing of a refused form is taken.
        EXPECT_EQ(settings.SubjectId, "");
        if (refusal->field == "subject" && !c.entries.subject.empty())
            EXPECT_EQ(refusal->message, *forms::subjectIdRefusal(c.entries.subject));
        return;
    }
    EXPECT_EQ(settings.SubjectId, c.entries.subject);
    EXPECT_EQ(settings.DistractorThreshold, c.threshold);
    EXPECT_EQ(settings.MaxTrials, c.maxTrials);
}

INSTANTIATE_TEST_SUITE_P(
    Entries, PageSetup,
    testing::Values(SetupCase{"AnIdAloneKeepsTheDefaults", {"S01", "", ""}, "", 20, 1000},
                    SetupCase{"ANonAsciiIdIsTakenAsTyped", {"Zoë 中文", "", ""}, "", 20, 1000},
                    SetupCase{"ThresholdAndCutoffAreRounded", {"S01", "12.5", "24.5"}, "", 24, 12},
                    SetupCase{"AnUnusableCutoffGivesTheDefault", {"S01", "-3", "10"}, "", 10, 1000},
                    SetupCase{"NoIdIsRefused", {"", "", ""}, "subject", 0, 0},
                    SetupCase{"ASlashIsRefused", {"a/b", "", ""}, "subject", 0, 0},
                    SetupCase{"ALineBreakIsRefused", {"a\nb", "", ""}, "subject", 0, 0},
                    SetupCase{"AThresholdOutOfRangeIsAskedAgain", {"S01", "", "35"}, "dtt", 0, 0},
                    SetupCase{"AThresholdThatIsNoNumberIsAskedAgain", {"S01", "", "ten"}, "dtt", 0, 0}),
    [](const testing::TestParamInfo<SetupCase> &info) { return info.param.name; });

} // namespace
} // namespace kpx
