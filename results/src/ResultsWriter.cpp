#include "results/ResultsWriter.h"

#include "results/NumberForm.h"

#include "platform/FileNames.h"
#include "i18n/Tr.h"

#include <cstdio>
#include <string_view>

namespace kpx {

namespace {

constexpr std::string_view LineEnd = "\r\n";

template <typename T>
std::string resultsFile(const std::string &SubjectId, const OneBased<T, DelayCount> &values, char decimalSeparator)
{
    std::string text = SubjectId;
    text += LineEnd;
    for (int k = 1; k <= DelayCount; ++k) {
        text += numberForm(static_cast<double>(values[k]), decimalSeparator);
        text += LineEnd;
    }
    return text;
}

} // namespace

std::optional<std::string> unusableSubjectId(const std::string &SubjectId, char directorySeparator)
{
    const std::string notText = i18n::tr(KPX_TR("the subject ID is not valid UTF-8 text"));
    std::size_t i = 0;
    while (i < SubjectId.size()) {
        const auto lead = static_cast<unsigned char>(SubjectId[i]);
        std::size_t length = 1;
        char32_t code = lead;
        if (lead >= 0x80) {
            if (lead >= 0xC2 && lead <= 0xDF)
                length = 2;
            else if (lead >= 0xE0 && lead <= 0xEF)
                length = 3;
            else if (lead >= 0xF0 && lead <= 0xF4)
                length = 4;
            else
                return notText;
            if (i + length > SubjectId.size())
                return notText;
            code = lead & (0x7F >> length);
            for (std::size_t k = 1; k < length; ++k) {
                const auto next = static_cast<unsigned char>(SubjectId[i + k]);
                if ((next & 0xC0) != 0x80)
                    return notText;
                code = (code << 6) | (next & 0x3F);
            }
            // Overlong forms, surrogates and values beyond Unicode are not text either.
            if ((length == 3 && code < 0x800) || (length == 4 && (code < 0x10000 || code > 0x10FFFF))
                || (code >= 0xD800 && code <= 0xDFFF))
                return notText;
        }
        if (code == 0)
            return std::string(i18n::tr(KPX_TR("the subject ID contains a NUL character, which a file name cannot hold")));
        if (code == static_cast<unsigned char>(directorySeparator))
            return i18n::arg(i18n::tr(KPX_TR("the subject ID contains '%1', which a file name cannot hold")),
                             {std::string_view(&directorySeparator, 1)});
        if (code == '\n' || code == '\r' || code == 0x85 || code == 0x2028 || code == 0x2029)
            return std::string(
                i18n::tr(KPX_TR("the subject ID contains a line break, which would split the first line of the results files")));
        if (code < 0x20 || (code >= 0x7F && code <= 0x9F)) {
            char number[8];
            std::snprintf(number, sizeof number, "%04X", static_cast<unsigned>(code));
            return i18n::arg(i18n::tr(KPX_TR("the subject ID contains the control character U+%1, which the results files cannot hold")),
                             {number});
        }
        i += length;
    }
    // What only this system refuses (on Windows: reserved characters and device names).
    return fileNameRefusal(SubjectId);
}

RunResults resultsOf(const RunState &state)
{
    return {state.IndifferencePoints, state.TrialCounts};
}

ResultsPaths resultsPathsFor(const std::string &SubjectId, const std::string &OutputDirectory,
                             const ResultsFormat &format)
{
    const std::string stem = OutputDirectory + format.directorySeparator + SubjectId;
    return {stem + std::string(IndifferenceSuffix), stem + std::string(TrialCountSuffix)};
}

std::optional<WriteFailure> WriteResults(const std::string &SubjectId, const std::string &OutputDirectory,
                                         const RunResults &results, const ResultsFormat &format, Files &files)
{
    const ResultsPaths paths = resultsPathsFor(SubjectId, OutputDirectory, format);
    // An empty directory would put the files at the top of the file system, where nobody looks.
    if (OutputDirectory.empty())
        return WriteFailure{paths.indifferencePoints, NoDirectoryReason};
    if (auto reason = unusableSubjectId(SubjectId, format.directorySeparator))
        return WriteFailure{paths.indifferencePoints, *reason};

    return writeFilesTogether(
        {{paths.indifferencePoints, resultsFile(SubjectId, results.IndifferencePoints, format.decimalSeparator)},
         {paths.trialCounts, resultsFile(SubjectId, results.TrialCounts, format.decimalSeparator)}},
        files);
}

} // namespace kpx
