// The page's entry points: the JavaScript turns the participant's events into these calls and
// draws what the screens hand it. The calls that may wait (start, keys, clicks, Timer1) are made
// with Asyncify's async calls, one at a time; the page drops input while one is running, except the
// break message's continue, which never waits.
#include "engine/RandomSource.h"
#include "engine/RunSettings.h"
#include "engine/TaskEngine.h"
#include "forms/RunSeed.h"
#include "forms/TextFit.h"
#include "i18n/Tr.h"
#include "presentation/RunFlow.h"
#include "results/Clock.h"
#include "results/ResultsWriter.h"
#include "web/FrameWaiter.h"
#include "web/Json.h"
#include "web/PageBreakScreen.h"
#include "web/PageBridge.h"
#include "web/PageLayout.h"
#include "web/PageRunHost.h"
#include "web/PageSetup.h"
#include "web/PageTexts.h"
#include "web/PageTrialScreen.h"
#include "web/StoredFiles.h"

#include <emscripten.h>

#include <cstdlib>
#include <memory>
#include <optional>
#include <string>
#include <sys/stat.h>

namespace {

EM_ASYNC_JS(double, js_next_frame, (), { return await Module.kpxPage.nextFrame(); });
EM_ASYNC_JS(double, js_present, (const char *json), { return await Module.kpxPage.present(UTF8ToString(json)); });
EM_JS(void, js_show_break, (const char *caption), { Module.kpxPage.showBreak(UTF8ToString(caption)); });
EM_JS(void, js_hide_break, (), { Module.kpxPage.hideBreak(); });
EM_JS(void, js_arm_timer, (double deadlineMs), { Module.kpxPage.armTimer(deadlineMs); });
EM_ASYNC_JS(void, js_wait_for_wake, (), { await Module.kpxPage.waitForWake(); });
EM_JS(void, js_wake_all, (), { Module.kpxPage.wakeAll(); });
EM_ASYNC_JS(char *, js_store_file, (const char *path), {
    const failure = await Module.kpxPage.storeFile(UTF8ToString(path));
    return allocateUTF8(failure);
});
EM_ASYNC_JS(void, js_complete, (const char *files), { await Module.kpxPage.complete(UTF8ToString(files)); });
EM_ASYNC_JS(void, js_tell, (const char *message), { await Module.kpxPage.tell(UTF8ToString(message)); });
EM_JS(void, js_ended, (), { Module.kpxPage.ended(); });
// The ink of the text being fitted at a size, in CSS pixels: its width, and its height through `height`.
EM_JS(double, js_measure, (double points, double *height), {
    const extent = Module.kpxPage.measure(points);
    HEAPF64[height >> 3] = extent.height;
    return extent.width;
});

class EmscriptenBridge final : public kpx::web::PageBridge
{
public:
    double nextFrame() override { return js_next_frame(); }
    double presentChoice(const std::string &stateJson) override { return js_present(stateJson.c_str()); }
    void showBreak(const std::string &caption) override { js_show_break(caption.c_str()); }
    void hideBreak() override { js_hide_break(); }
    void armTimer(double deadlineMs) override { js_arm_timer(deadlineMs); }
    void waitForWake() override { js_wait_for_wake(); }
    void wakeAll() override { js_wake_all(); }
    std::string storeFile(const std::string &path) override
    {
        char *failure = js_store_file(path.c_str());
        std::string text = failure ? failure : "";
        std::free(failure);
        return text;
    }
    void complete(const std::string &filesJson) override { js_complete(filesJson.c_str()); }
    void tell(const std::string &message) override { js_tell(message.c_str()); }
    void ended() override { js_ended(); }
};

// The files live below this folder of the page's memory; the browser's storage keeps them.
constexpr const char *OutputDirectory = "/kpx2";

struct Page
{
    EmscriptenBridge bridge;
    kpx::RunSettings settings;
    kpx::SystemClock clock;
    std::optional<std::uint64_t> seed;
    kpx::Timings timings;
    kpx::web::StoredFiles files{kpx::systemFiles(), [this](const std::string &path) -> kpx::FileStatus {
        std::string failure = bridge.storeFile(path);
        if (failure.empty())
            return std::nullopt;
        return kpx::FileError{std::move(failure)};
    }};
    kpx::web::PageTrialScreen screen{bridge, clock};
    kpx::web::PageBreakScreen breakScreen{bridge};
    kpx::web::FrameWaiter waiter{bridge, clock};
    std::unique_ptr<kpx::SeededRandom> random;
    std::unique_ptr<kpx::TaskEngine> engine;
    std::unique_ptr<kpx::web::PageRunHost> host;
    std::unique_ptr<kpx::RunFlow> flow;

    std::string filesJson() const
    {
        const kpx::ResultsPaths paths = kpx::resultsPathsFor(settings.SubjectId, settings.OutputDirectory);
        return "{\"subject\":" + kpx::web::jsonString(settings.SubjectId)
            + ",\"kpx\":" + kpx::web::jsonString(paths.indifferencePoints)
            + ",\"tc\":" + kpx::web::jsonString(paths.trialCounts)
            + ",\"log\":" + kpx::web::jsonString(flow ? flow->trialLogPath().value_or("") : "") + "}";
    }
};

Page &page()
{
    static Page instance;
    return instance;
}

// Strings handed back to the page stay valid until the next such call.
const char *handBack(std::string text)
{
    static std::string kept;
    kept = std::move(text);
    return kept.c_str();
}

kpx::InputStamp stampOf(double eventTimeStamp)
{
    // An event's timeStamp is on performance.now()'s clock, the run's own.
    const double before = page().clock.milliseconds() - eventTimeStamp;
    return kpx::InputStamp::retrievedBefore(before > 0.0 ? before : 0.0);
}

} // namespace

extern "C" {

// The four windows' layout for a viewport of that many CSS pixels, as JSON.
EMSCRIPTEN_KEEPALIVE const char *kpx_layout(int width, int height)
{
    return handBack(kpx::web::pageLayoutJson(width, height));
}

// The size the text the page is fitting is drawn at in a label of that many CSS pixels: the layout's
// where it fits, else the largest whole-point size that does, by the desktop's rule.
EMSCRIPTEN_KEEPALIVE double kpx_fit_points(double designPoints, double boxWidth, double boxHeight)
{
    return kpx::forms::fitPoints(designPoints, boxWidth, boxHeight, [](double points) {
        double height = 0;
        const double width = js_measure(points, &height);
        return kpx::forms::Extent{width, height};
    });
}

// Reads the setup entries by the desktop's rules: "" when taken, else {field, message} as JSON.
EMSCRIPTEN_KEEPALIVE const char *kpx_setup(const char *subject, const char *cutoff, const char *dtt)
{
    const auto refusal = kpx::web::applySetup({subject, cutoff, dtt}, page().settings);
    if (!refusal)
        return handBack("");
    return handBack("{\"field\":" + kpx::web::jsonString(refusal->field)
                    + ",\"message\":" + kpx::web::jsonString(refusal->message) + "}");
}

// The participant's language for every text and the trial log, from the link's lang: "" when
// taken, else the refusal with the languages shipped; an empty code keeps English.
EMSCRIPTEN_KEEPALIVE const char *kpx_set_language(const char *code)
{
    const std::string language = code;
    if (language.empty() || kpx::i18n::setLanguage(language))
        return handBack("");
    return handBack(kpx::i18n::arg(kpx::web::UnknownLanguage.text(), {language, kpx::i18n::shippedLanguageList()}));
}

// The seed the run is to start from (decimal digits; "" for the clock's): 0 when it is no seed.
EMSCRIPTEN_KEEPALIVE int kpx_set_seed(const char *text)
{
    const std::string seed = text;
    if (seed.empty())
        return 1;
    const auto parsed = kpx::forms::parseSeed(seed);
    if (!parsed)
        return 0;
    page().seed = parsed;
    return 1;
}

// Shorter phases, for the page's own tests.
EMSCRIPTEN_KEEPALIVE void kpx_set_timings(double greenSeconds, double blankSeconds, int activationMs)
{
    page().timings = {greenSeconds, blankSeconds, activationMs};
}

// Display pixels per design pixel the choice window is drawn at.
EMSCRIPTEN_KEEPALIVE void kpx_set_scale(double scale)
{
    page().screen.setDisplayScale(scale);
}

// The display's frame interval, measured over the page's first second of frames.
EMSCRIPTEN_KEEPALIVE void kpx_set_frame_interval(double ms)
{
    page().screen.setFrameIntervalMs(ms);
}

// The page left full screen; it counts while the trials go on.
EMSCRIPTEN_KEEPALIVE void kpx_fullscreen_left()
{
    if (page().flow && page().flow->stage() == kpx::RunStage::Trials)
        page().screen.fullScreenLeft();
}

// The instructions' OK.
EMSCRIPTEN_KEEPALIVE void kpx_start()
{
    Page &p = page();
    if (p.flow)
        return;
    ::mkdir(OutputDirectory, 0700);
    p.settings.OutputDirectory = OutputDirectory;
    if (p.seed)
        p.random = std::make_unique<kpx::SeededRandom>(kpx::SeededRandom::fixed(*p.seed));
    else
        p.random = std::make_unique<kpx::SeededRandom>(kpx::forms::runSeedSource([](std::uint64_t) {}));
    p.engine = std::make_unique<kpx::TaskEngine>(*p.random);
    p.host = std::make_unique<kpx::web::PageRunHost>(p.bridge, [&p] { return p.filesJson(); });
    p.flow = std::make_unique<kpx::RunFlow>(*p.engine, p.settings, p.screen, p.breakScreen, p.waiter, *p.host,
                                            p.clock, p.timings, kpx::ResultsFormat{}, p.files);
    p.screen.countFullScreenExits();
    p.flow->StartTask();
}

EMSCRIPTEN_KEEPALIVE void kpx_key(int keyCode, int autoRepeat, double timeStamp)
{
    if (page().flow)
        page().flow->KeyDown(keyCode, autoRepeat != 0, stampOf(timeStamp));
}

EMSCRIPTEN_KEEPALIVE void kpx_click(int delayed, double timeStamp)
{
    if (!page().flow)
        return;
    if (delayed)
        page().flow->clickDelayed(stampOf(timeStamp));
    else
        page().flow->clickImmediate(stampOf(timeStamp));
}

// Timer1.
EMSCRIPTEN_KEEPALIVE void kpx_activate()
{
    if (page().flow)
        page().flow->activate();
}

// A key on the break message; never waits.
EMSCRIPTEN_KEEPALIVE void kpx_break_key(int keyCode, int autoRepeat)
{
    if (page().flow)
        page().flow->breakKeyDown(keyCode, autoRepeat != 0);
}

// A touch on the break message; never waits.
EMSCRIPTEN_KEEPALIVE void kpx_continue()
{
    if (page().flow)
        page().flow->SignalContinue();
}

// Where the run stands: 0 not started, 1 trials, 2 writing results, 3 results written, 4 finished.
EMSCRIPTEN_KEEPALIVE int kpx_stage()
{
    return page().flow ? static_cast<int>(page().flow->stage()) : 0;
}

} // extern "C"

int main()
{
    return 0;
}
