#pragma once

#include "results/TrialLog.h"
#include "TestFiles.h"

#include <map>
#include <sstream>
#include <string>
#include <vector>

namespace kpx::test {

// One answered trial of a hand-made log; the columns scoring does not read get fixed values.
struct LogRow
{
    int block;
    const char *kind;
    int amount;
    const char *choice;
    const char *rtMs;
    // Empty unless the row ends its block.
    const char *indifferencePoint = "";
    const char *subject = "S01";
};

// Rows as the task writes them, in the writer's own column order, filled by column name.
inline std::string trialLogRows(const std::vector<LogRow> &rows)
{
    static const int Days[] = {0, 1, 7, 30, 90, 180, 365, 1825};
    std::vector<std::string> columns;
    std::stringstream header(TrialLog::header().substr(0, TrialLog::header().find('\r')));
    for (std::string name; std::getline(header, name, ',');)
        columns.push_back(name);

    std::string text;
    for (const LogRow &row : rows) {
        const bool ended = *row.indifferencePoint != '\0';
        std::map<std::string, std::string> field{
            {"subject", CsvField(row.subject)}, {"block", std::to_string(row.block)},
            {"delay_days", std::to_string(Days[row.block])}, {"kind", row.kind},
            {"amount", std::to_string(row.amount)}, {"choice", row.choice}, {"rt_ms", row.rtMs},
            {"block_ended", ended ? "1" : "0"}, {"indifference_point", row.indifferencePoint},
            {"display_scale", "1.5"}, {"frame_interval_ms", "16.667"}, {"fullscreen_exits", "0"},
            {"language", "de"}};
        std::string line;
        for (const std::string &name : columns) {
            if (&name != &columns.front())
                line += ',';
            line += field.contains(name) ? field[name] : "1";
        }
        text += line + "\r\n";
    }
    return text;
}

// A whole trial log: the writer's header, then the rows.
inline std::string trialLogText(const std::vector<LogRow> &rows)
{
    return TrialLog::header() + trialLogRows(rows);
}

// The hand-counted example: block 1 ends at 62.5 after six answers, block 2 is cut short after two.
//   agreeing with 62.5: rows 1, 2, 5, 6 (4 of 6); distractors: row 4 disagrees, row 5 agrees (1 of 2)
//   $20 or more from 62.5: rows 1, 2, 4, 5, of which row 4 disagrees (3 of 4)
//   times sorted: 150 199 200 300 500 700 900 1000 -> median 400, quartiles 199.75 and 750
//   under 200 ms: 150 and 199
inline const std::vector<LogRow> ExampleLog{
    {1, "ordinary", 40, "delayed", "500.000"},
    {1, "ordinary", 85, "immediate", "700.000"},
    {1, "ordinary", 70, "delayed", "150.000"},
    {1, "distractor", 20, "immediate", "900.000"},
    {1, "distractor", 95, "immediate", "300.000"},
    {1, "ordinary", 65, "immediate", "199.000", "62.5"},
    {2, "ordinary", 50, "delayed", "200.000"},
    {2, "distractor", 10, "delayed", "1000.000"},
};

} // namespace kpx::test
