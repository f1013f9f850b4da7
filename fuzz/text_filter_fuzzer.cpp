// The line reader, the line writer and the prefix filter together: the output
// is the input less the lines that begin with a prefix, every other byte kept,
// CR LF or a bare LF read as one line end and written as CR LF, a lone CR,
// NUL and Ctrl-Z kept as data, and a last line without a line end left so.
//
// The reader takes the file in loads of 1 MiB, so some inputs are put behind
// a long first line that moves a load boundary into the fuzzed bytes.
#include "check.h"
#include "platform/text_file.h"
#include "support/files.h"
#include "writers/file_mechanics.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

namespace {

using namespace vorlan;

constexpr std::size_t load_size = std::size_t{1} << 20;

bool begins_with_any(std::string_view line, const std::vector<std::string> &prefixes) {
    return std::any_of(prefixes.begin(), prefixes.end(),
                       [&](const std::string &prefix) { return line.starts_with(prefix); });
}

// The rule itself, one line at a time over the whole text.
std::string expected_output(std::string_view input, const std::vector<std::string> &prefixes) {
    std::string output;
    while (!input.empty()) {
        const std::size_t newline = input.find('\n');
        const bool ended = newline != std::string_view::npos;
        std::string_view line = input.substr(0, ended ? newline : input.size());
        input.remove_prefix(ended ? newline + 1 : input.size());
        if (ended && line.ends_with('\r')) {
            line.remove_suffix(1);
        }
        if (!begins_with_any(line, prefixes)) {
            output.append(line);
            output.append(ended ? "\r\n" : "");
        }
    }
    return output;
}

std::string filtered_by_the_program(const std::vector<std::string> &prefixes) {
    const std::vector<std::string_view> views(prefixes.begin(), prefixes.end());
    // Kept from run to run, as their 1 MiB buffers would cost more than the run.
    static platform::TextReader reader;
    static platform::TextWriter writer;
    fuzz::check(reader.open("in.txt"), "the input opens");
    fuzz::check(writer.write_into(std::fopen("out.txt", "wb")), "the output can be created");
    writers::copy_filtered(reader, writer, views);
    fuzz::check(!reader.failed(), "the input reads without error");
    fuzz::check(writer.close(), "the output is written");
    return testing::read_file("out.txt");
}

std::string padding(FuzzedDataProvider &data) {
    // Rarely, as the long line costs a thousand times the rest of a run.
    const auto choice = data.ConsumeIntegralInRange<std::size_t>(0, 63);
    const std::size_t loads = choice < 62 ? 0 : choice - 61;
    if (loads == 0) {
        return {};
    }
    const auto short_of_boundary = data.ConsumeIntegralInRange<std::size_t>(0, 300);
    const char filler = data.ConsumeBool() ? 'I' : 'x'; // "I" may begin "Include"
    return std::string(loads * load_size - short_of_boundary, filler);
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***) {
    static const testing::TemporaryFolder scratch("fuzz");
    std::filesystem::current_path(scratch.root());
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *bytes, std::size_t size) {
    FuzzedDataProvider data(bytes, size);
    std::vector<std::string> prefixes(data.ConsumeIntegralInRange<std::size_t>(0, 3));
    for (auto &prefix : prefixes) {
        prefix = data.ConsumeRandomLengthString(12);
    }
    const std::string input = padding(data) + data.ConsumeRemainingBytesAsString();
    testing::write_file("in.txt", input);
    const std::string output = filtered_by_the_program(prefixes);
    fuzz::check(output == expected_output(input, prefixes),
                "the output is the input less the matching lines");
    return 0;
}
