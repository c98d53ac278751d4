#include "analyze/SummaryCsv.h"

#include "results/Csv.h"
#include "results/NumberForm.h"

#include <cmath>

namespace kpx {
namespace {

// k, ln k and the ED50 come out of a numerical search; more digits would only show its noise.
constexpr int FitDigits = 6;

constexpr std::string_view LineEnd = "\r\n";

// Times in the log are to the microsecond; medians and quartiles keep that and no more.
std::string milliseconds(double value)
{
    return roundTripNumber(std::round(value * 1000.0) / 1000.0 + 0.0);
}

template <typename T>
std::string optionalField(const std::optional<T> &value, std::string (*format)(T))
{
    return value ? format(*value) : std::string();
}

std::string share(double value)
{
    return roundTripNumber(value);
}

} // namespace

std::string summaryHeader()
{
    std::string header = "subject,file,ip_1d,ip_1w,ip_1m,ip_3m,ip_6m,ip_1y,ip_5y,trials_total,"
                         "auc,auc_ordinal,k,ln_k,r2,ed50_days,jb_c1,jb_c2,trial_log,rt_median_ms,rt_iqr_ms,"
                         "fast_responses,consistency,distractor_consistency,unfinished";
    return header.append(LineEnd);
}

std::string summaryLine(const SummaryRow &row)
{
    std::string line = CsvField(row.subject) + ',' + CsvField(row.file);
    if (row.score) {
        for (double ip : row.indifferencePoints)
            line += ',' + roundTripNumber(ip);
        line += ',';
        if (row.trialsTotal)
            line += std::to_string(*row.trialsTotal);

        const Score &score = *row.score;
        line += ',' + roundTripNumber(score.auc);
        line += ',' + roundTripNumber(score.aucOrdinal);
        line += ',' + significantNumber(score.fit.k, FitDigits);
        line += ',' + significantNumber(score.fit.lnK, FitDigits);
        line += ',';
        if (score.fit.r2)
            line += roundTripNumber(*score.fit.r2);
        line += ',' + significantNumber(1.0 / score.fit.k, FitDigits);
        line += score.jbC1 ? ",1" : ",0";
        line += score.jbC2 ? ",1" : ",0";
    } else {
        line += std::string(ResultsDelayCount + 9, ',');
    }

    if (row.log) {
        const RunFigures &run = row.log->run;
        line += ',' + CsvField(row.log->path);
        line += ',' + optionalField(run.rtMedianMs, &milliseconds);
        line += ',' + optionalField(run.rtIqrMs, &milliseconds);
        line += ',' + std::to_string(run.fastResponses);
        line += ',' + optionalField(run.consistency, &share);
        line += ',' + optionalField(run.distractorConsistency, &share);
        line += run.unfinished ? ",1" : ",0";
    } else {
        line += std::string(7, ',');
    }
    return line.append(LineEnd);
}

std::string blocksHeader()
{
    std::string header = "subject,trial_log,block,delay_days,trials,distractors,rt_median_ms,consistency,block_ended";
    return header.append(LineEnd);
}

std::string blocksLine(const std::string &subject, const std::string &logPath, const BlockFigures &block)
{
    std::string line = CsvField(subject) + ',' + CsvField(logPath);
    line += ',' + std::to_string(block.block);
    line += ',' + std::to_string(block.delayDays);
    line += ',' + std::to_string(block.trials);
    line += ',' + std::to_string(block.distractors);
    line += ',' + milliseconds(block.rtMedianMs);
    line += ',' + optionalField(block.consistency, &share);
    line += block.ended ? ",1" : ",0";
    return line.append(LineEnd);
}

} // namespace kpx
