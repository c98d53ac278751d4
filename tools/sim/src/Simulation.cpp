#include "sim/Simulation.h"

#include "engine/RandomSource.h"
#include "engine/TaskEngine.h"
#include "i18n/Tr.h"
#include "results/Clock.h"
#include "results/NumberForm.h"
#include "results/ResultsWriter.h"
#include "results/TrialRecorder.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <functional>
#include <initializer_list>
#include <istream>
#include <optional>
#include <ostream>
#include <random>
#include <string>
#include <string_view>

namespace kpx {

namespace {

enum class Choice { Immediate, Delayed };

// A message in the run's language, its placeholders filled, ending its line.
std::string say(const char *english, std::initializer_list<std::string_view> arguments = {})
{
    return i18n::arg(i18n::tr(english), arguments) + '\n';
}

std::string cannotWriteText(const WriteFailure &failure)
{
    return i18n::arg(i18n::tr(KPX_TR("cannot write %1: %2")), {failure.path, failure.reason});
}

// One trial as the participant sees it.
struct Trial
{
    int block;
    int days;
    int amount;
    bool distractor;
};

// The participant's answer, or the exit status that ends the simulation.
using Answer = std::variant<Choice, int>;

// Says on the error stream what befell the trial log; a failure ends the run with WriteFailed, since
// no one is there to choose another directory.
class SimLogHost final : public TrialLogHost
{
public:
    explicit SimLogHost(std::ostream &err)
        : m_err(err)
    {
    }

    bool resolveLogFailure(const WriteFailure &failure, std::string &) override
    {
        cannotWrite(failure);
        return false;
    }
    void reportLogFailure(const WriteFailure &failure) override { cannotWrite(failure); }
    bool resolveLogLost(const LostLog &lost, const WriteFailure &failure, std::string &) override
    {
        m_err << say(KPX_TR("the trial log %1 was given up during the run (%2) and cannot be written again: %3: %4"),
                     {lost.path, lost.reason, failure.path, failure.reason});
        m_failed = true;
        return false;
    }
    void reportLogWrittenAgain(const LostLog &lost, const std::string &newPath) override
    {
        m_err << say(KPX_TR("the trial log %1 was given up during the run (%2); every answer so far was written again to %3"),
                     {lost.path, lost.reason, newPath});
        if (lost.tornFile)
            m_err << say(KPX_TR("the file %1 may end in a row cut short and could not be removed; every row of it is in %2"),
                         {*lost.tornFile, newPath});
        m_writtenAgain = true;
    }
    bool resolveLogUnfinished(const std::string &logPath, std::size_t, const WriteFailure &failure, std::string &) override
    {
        m_err << say(KPX_TR("the trial log %1 cannot be completed: %2"), {logPath, cannotWriteText(failure)});
        m_failed = true;
        return false;
    }
    void reportLogIncomplete(const std::string &logPath, std::size_t missingRows) override
    {
        m_err << say(KPX_TR("the trial log %1 lacks %2 answered trials, which are in no file"),
                     {logPath, std::to_string(missingRows)});
        m_failed = true;
    }
    void reportLogCompleted(const std::string &oldPath, const std::string &newPath) override
    {
        m_err << say(KPX_TR("the trial log %1 lacked answers; every answer was written to %2"), {oldPath, newPath});
        m_writtenAgain = true;
    }

    bool failed() const { return m_failed; }
    std::ostream &err() const { return m_err; }
    // The run ended well, but its log had to be written again elsewhere.
    bool writtenAgain() const { return m_writtenAgain; }

private:
    void cannotWrite(const WriteFailure &failure)
    {
        m_err << cannotWriteText(failure) << '\n';
        m_failed = true;
    }

    std::ostream &m_err;
    bool m_failed = false;
    bool m_writtenAgain = false;
};

// Runs one task to its end, recording every response; returns an exit status when the participant
// aborts it or the log cannot be written.
std::optional<int> runTask(TaskEngine &engine, std::int16_t threshold, TrialRecorder &recorder,
                           const SimLogHost &host, const std::function<Answer(const Trial &)> &answer)
{
    const SystemClock clock;
    const double started = clock.milliseconds();
    engine.reset(threshold);
    RunState &s = engine.state();
    bool distractor = false;
    for (;;) {
        // The simulated trial is answerable as soon as it is put.
        const double shown = clock.milliseconds() - started;
        recorder.trialShown(shown, distractor);
        recorder.trialAnswerable(shown);
        const Answer given = answer({s.BlockIndex, engine.currentDelay().days, s.ImmediateAmount, distractor});
        if (const int *status = std::get_if<int>(&given))
            return *status;
        const Choice choice = std::get<Choice>(given);
        s.ChoseImmediate = choice == Choice::Immediate;
        s.ChoseDelayed = choice == Choice::Delayed;
        recorder.respond(ResponseInput::Key, clock.milliseconds() - started);
        const ResponseResult result = recorder.Record(engine);
        if (host.failed())
            return SimExit::WriteFailed;
        if (result.outcome == ResponseOutcome::Continue && engine.blockFull()) {
            host.err() << blockFullMessage(s.BlockIndex) << '\n';
            recorder.finish(std::nullopt);
            return SimExit::BlockFull;
        }
        if (result.outcome == ResponseOutcome::RunFinished)
            return std::nullopt;
        engine.DrawNextAmount(result.DistractorNext);
        distractor = result.DistractorNext;
    }
}

std::string trimmed(const std::string &text)
{
    const auto first = text.find_first_not_of(" \t\r\n\f\v");
    if (first == std::string::npos)
        return {};
    const auto last = text.find_last_not_of(" \t\r\n\f\v");
    return text.substr(first, last - first + 1);
}

// Writes the results files, then completes the trial log beside them.
int writeResults(const SimOptions &options, const RunState &state, TrialRecorder &recorder, const SimLogHost &host,
                 std::ostream &out, std::ostream &err)
{
    if (const auto failure = WriteResults(options.subject, options.outDir, resultsOf(state))) {
        err << cannotWriteText(*failure) << '\n';
        recorder.finish(std::nullopt);
        return SimExit::WriteFailed;
    }
    recorder.finish(WrittenResults{options.subject, options.outDir});
    if (host.failed())
        return SimExit::WriteFailed;
    const ResultsPaths paths = resultsPathsFor(options.subject, options.outDir);
    out << "DONE " << paths.indifferencePoints << ' ' << paths.trialCounts << '\n';
    return host.writtenAgain() ? SimExit::LogWrittenAgain : SimExit::Ok;
}

int runStdin(const SimOptions &options, std::uint64_t seed, std::istream &in, std::ostream &out, std::ostream &err)
{
    // No run starts without its trial log.
    SimLogHost host(err);
    TrialRecorder recorder(host);
    if (!recorder.open(options.outDir, options.subject, SystemClock().localNow()))
        return SimExit::WriteFailed;

    SeededRandom random = SeededRandom::fixed(seed);
    TaskEngine engine(random);
    const auto ask = [&](const Trial &trial) -> Answer {
        out << "TRIAL " << trial.block << ' ' << trial.days << ' ' << trial.amount << ' '
            << (trial.distractor ? "distractor" : "ordinary") << std::endl;
        std::string line;
        if (!std::getline(in, line)) {
            err << say(KPX_TR("input ended before the run was over; no results written"));
            return SimExit::EndOfInput;
        }
        const std::string answer = trimmed(line);
        if (answer == "I")
            return Choice::Immediate;
        if (answer == "D")
            return Choice::Delayed;
        err << say(KPX_TR("expected I or D, got '%1'"), {line});
        return SimExit::BadInput;
    };
    const auto aborted = runTask(engine, options.threshold, recorder, host, ask);
    if (aborted)
        return *aborted;
    return writeResults(options, engine.state(), recorder, host, out, err);
}

int runSimulated(const SimOptions &options, const SimulatedParticipant &participant, std::uint64_t seed,
                 std::ostream &out, std::ostream &err)
{
    double absoluteError = 0.0;
    long trials = 0;
    int maxTrials = 0;
    int status = SimExit::Ok;
    // Only the first participant leaves files behind, its trial log among them.
    SimLogHost host(err);
    TrialRecorder recorder(host);
    if (!recorder.open(options.outDir, options.subject, SystemClock().localNow()))
        return SimExit::WriteFailed;

    for (int run = 0; run < options.runs; ++run) {
        const std::uint64_t runSeed = seed + static_cast<std::uint64_t>(run);
        SeededRandom random = SeededRandom::fixed(runSeed);
        TaskEngine engine(random);
        // The participant's lapses come from a stream of their own, so noise never shifts the amounts drawn.
        std::mt19937_64 lapses(runSeed ^ 0x9E3779B97F4A7C15ull);
        std::uniform_real_distribution<double> chance(0.0, 1.0);
        auto valueAt = [&](int days) { return participant.valueAt(days); };

        // A recorder never opened keeps no log.
        TrialRecorder unlogged(host);
        if (const auto failed = runTask(engine, options.threshold, run == 0 ? recorder : unlogged, host,
                                        [&](const Trial &trial) -> Answer {
            if (participant.noise > 0 && chance(lapses) < participant.noise)
                return chance(lapses) < 0.5 ? Choice::Immediate : Choice::Delayed;
            return trial.amount >= valueAt(trial.days) ? Choice::Immediate : Choice::Delayed;
        }))
            return *failed;

        if (options.runs > 1)
            out << "run " << run + 1 << " seed " << runSeed << '\n';
        out << "days V ip trials\n";
        const RunState &s = engine.state();
        for (int k = 1; k <= DelayCount; ++k) {
            const int days = engine.delayTable()[k].days;
            const double value = valueAt(days);
            out << days << ' ' << fixedNumber(value, 3) << ' ' << plainNumber(s.IndifferencePoints[k]) << ' ' << s.TrialCounts[k] << '\n';
            absoluteError += std::fabs(s.IndifferencePoints[k] - value);
            trials += s.TrialCounts[k];
            maxTrials = std::max<int>(maxTrials, s.TrialCounts[k]);
        }
        if (run == 0)
            status = writeResults(options, s, recorder, host, out, err);
    }
    const double blocks = static_cast<double>(options.runs) * DelayCount;
    out << "mean absolute error " << fixedNumber(absoluteError / blocks, 3) << '\n';
    out << "trials per block mean " << fixedNumber(static_cast<double>(trials) / blocks, 2) << " max " << maxTrials << '\n';
    return status;
}

} // namespace

int runSimulation(const SimOptions &options, std::uint64_t seed, std::istream &in, std::ostream &out,
                  std::ostream &err)
{
    // The run's language, as the trial log records it; parseSimArguments took only a shipped one.
    if (!i18n::setLanguage(options.language)) {
        err << "kpx2-sim: " << say(KPX_TR("unknown language '%1'"), {options.language});
        return SimExit::BadInput;
    }
    // Refused before the run, as a bad ID is: its files would replace another subject ID's.
    if (const auto clash = resultsNameClash(options.subject, options.outDir)) {
        err << "kpx2-sim: --subject: " << *clash << '\n';
        return SimExit::BadInput;
    }
    if (const auto *simulated = std::get_if<SimulatedParticipant>(&options.participant))
        return runSimulated(options, *simulated, seed, out, err);
    return runStdin(options, seed, in, out, err);
}

} // namespace kpx
