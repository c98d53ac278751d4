#include "analyze/TrialLogFile.h"

#include "engine/RunState.h"

#include <algorithm>
#include <array>
#include <variant>
#include <cmath>

namespace kpx {
namespace {

// One CSV record: its fields, the line it starts on and whether a line end closed it.
struct Record
{
    std::vector<std::string> fields;
    int line = 0;
    bool terminated = false;
};

// Reads records one by one; quoted fields may hold commas, quotes and line breaks.
class CsvReader
{
public:
    explicit CsvReader(std::string_view text) : m_text(text) {}

    bool atEnd() const { return m_pos >= m_text.size(); }

    Record next()
    {
        Record record;
        record.line = m_line;
        std::string field;
        bool quoted = false;
        while (m_pos < m_text.size()) {
            const char c = m_text[m_pos++];
            if (quoted) {
                if (c == '"' && m_pos < m_text.size() && m_text[m_pos] == '"') {
                    field += '"';
                    ++m_pos;
                } else if (c == '"') {
                    quoted = false;
                } else {
                    m_line += c == '\n' ? 1 : 0;
                    field += c;
                }
            } else if (c == '"') {
                quoted = true;
            } else if (c == ',') {
                record.fields.push_back(std::move(field));
                field.clear();
            } else if (c == '\n' || (c == '\r' && m_pos < m_text.size() && m_text[m_pos] == '\n')) {
                m_pos += c == '\r' ? 1 : 0;
                ++m_line;
                record.terminated = true;
                break;
            } else {
                field += c;
            }
        }
        record.fields.push_back(std::move(field));
        return record;
    }

private:
    std::string_view m_text;
    std::size_t m_pos = 0;
    int m_line = 1;
};

// A byte-order mark before the subject is dropped, as the .KPX reader drops one from its first line,
// so that both files give one subject and the log joins its results: the application takes an ID
// starting with U+FEFF as typed, and editors on Windows put one before a file they save.
constexpr std::string_view Utf8ByteOrderMark = "\xEF\xBB\xBF";

std::string_view withoutByteOrderMark(std::string_view text)
{
    return text.starts_with(Utf8ByteOrderMark) ? text.substr(Utf8ByteOrderMark.size()) : text;
}

std::optional<int> parseWhole(std::string_view text)
{
    const std::optional<double> value = text.find(',') == std::string_view::npos ? parseNumberForm(text) : std::nullopt;
    if (!value || *value != std::floor(*value) || std::fabs(*value) > 1e9)
        return std::nullopt;
    return static_cast<int>(*value);
}

// Column positions of the fields scoring reads, in the order of TrialLogColumnsRead.
using ColumnIndex = std::array<std::size_t, std::size(TrialLogColumnsRead)>;
enum Column { Subject, Block, DelayDays, Kind, Amount, Choice, RtMs, BlockEnded, IndifferencePoint };

// The row's values, or what is wrong with them.
std::variant<TrialRow, std::string> readRow(const Record &record, const ColumnIndex &at)
{
    const auto field = [&](Column c) -> const std::string & { return record.fields[at[c]]; };
    TrialRow row;
    row.line = record.line;
    const std::optional<int> block = parseWhole(field(Block));
    if (!block || *block < 1 || *block > static_cast<int>(ResultsDelayCount))
        return "block " + quotedExcerpt(field(Block)) + " is not 1 to 7";
    row.block = *block;
    const std::optional<int> days = parseWhole(field(DelayDays));
    if (!days || *days < 0)
        return "delay_days " + quotedExcerpt(field(DelayDays)) + " is not a number of days";
    row.delayDays = *days;
    if (field(Kind) != "ordinary" && field(Kind) != "distractor")
        return "kind " + quotedExcerpt(field(Kind)) + " is neither ordinary nor distractor";
    row.distractor = field(Kind) == "distractor";
    const std::optional<int> amount = parseWhole(field(Amount));
    if (!amount || *amount < 0 || *amount > DelayedAmount)
        return "amount " + quotedExcerpt(field(Amount)) + " is not 0 to 100";
    row.amount = *amount;
    if (field(Choice) != "immediate" && field(Choice) != "delayed")
        return "choice " + quotedExcerpt(field(Choice)) + " is neither immediate nor delayed";
    row.immediate = field(Choice) == "immediate";
    const std::optional<double> rt = field(RtMs).find(',') == std::string::npos ? parseNumberForm(field(RtMs)) : std::nullopt;
    if (!rt || *rt < 0)
        return "rt_ms " + quotedExcerpt(field(RtMs)) + " is not a time";
    row.rtMs = *rt;
    if (field(BlockEnded) != "0" && field(BlockEnded) != "1")
        return "block_ended " + quotedExcerpt(field(BlockEnded)) + " is neither 0 nor 1";
    if (field(BlockEnded) == "1") {
        const std::optional<double> point = parseNumberForm(field(IndifferencePoint));
        if (!point || field(IndifferencePoint).find(',') != std::string::npos || *point < 0 || *point > DelayedAmount)
            return "the block ends without an indifference point of 0 to 100";
        row.indifferencePoint = *point;
    } else if (!field(IndifferencePoint).empty()) {
        return "an indifference point on a row that does not end its block";
    }
    return row;
}

} // namespace

Parsed<TrialLogContents> parseTrialLog(std::string_view contents)
{
    CsvReader reader(withoutByteOrderMark(contents));
    const Record header = reader.next();
    ColumnIndex at{};
    for (std::size_t c = 0; c < at.size(); ++c) {
        const std::string_view name = trialLogColumnName(TrialLogColumnsRead[c]);
        const auto found = std::find(header.fields.begin(), header.fields.end(), name);
        if (found == header.fields.end())
            return FileProblem{1, "not a trial log: no column " + std::string(name)};
        at[c] = static_cast<std::size_t>(found - header.fields.begin());
    }

    TrialLogContents log;
    const auto stop = [&log](int line, std::string reason) {
        log.stoppedAt = FileProblem{line, std::move(reason) + "; " + std::to_string(log.rows.size())
                                              + " rows before it are scored, none after"};
        return log;
    };
    while (!reader.atEnd()) {
        const Record record = reader.next();
        // A run killed or out of disk space in the middle of a row leaves it without its line end.
        if (!record.terminated)
            return stop(record.line, "cut off: the last row has no line end");
        if (record.fields.size() != header.fields.size())
            return stop(record.line, std::to_string(record.fields.size()) + " fields, the header has "
                                         + std::to_string(header.fields.size()));
        std::variant<TrialRow, std::string> row = readRow(record, at);
        if (auto *reason = std::get_if<std::string>(&row))
            return stop(record.line, *reason);
        const std::string subject(withoutByteOrderMark(record.fields[at[Subject]]));
        if (log.rows.empty()) {
            log.subject = subject;
        } else if (subject != log.subject) {
            return stop(record.line, "subject " + quotedExcerpt(subject) + " differs from the rows before");
        }
        // Blocks follow one another: the row after a block's end starts the next block.
        const TrialRow &current = std::get<TrialRow>(row);
        const int expectedBlock = log.rows.empty() ? 1 : log.rows.back().block + (log.rows.back().indifferencePoint ? 1 : 0);
        if (current.block != expectedBlock)
            return stop(record.line, "block " + std::to_string(current.block) + " where block "
                                         + std::to_string(expectedBlock) + " was due");
        log.rows.push_back(current);
    }
    return log;
}

} // namespace kpx
