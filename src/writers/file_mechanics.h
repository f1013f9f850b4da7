#pragma once
// The two ways a configuration file is written: a filtered rewrite through a
// scratch file beside it, and a file created once and never overwritten.

#include "platform/text_file.h"
#include "settings/stage.h"

#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace vorlan::writers {

struct RewriteJob {
    std::string target;
    std::string scratch;
    std::vector<std::string_view> prefixes;
    std::vector<std::string> head_lines;
    std::vector<std::string> tail_lines;
};

enum class RewriteResult {
    done,
    target_missing,
    target_unreadable,
    scratch_unwritable,
    replace_failed
};

// A line beginning with one of the prefixes (byte for byte) is left out, every
// other line is kept whole, its line end written as CR LF. Prefixes longer
// than the first piece of a long line (platform::text_buffer_size) would
// never match.
void copy_filtered(platform::TextReader &from, platform::TextWriter &to,
                   std::span<const std::string_view> prefixes);

RewriteResult rewrite_filtered(const RewriteJob &job);

// Runs the job and reports a failure; `not_found_format` names the missing
// target. Every failure stops the run.
settings::StageResult run_rewrite_stage(const RewriteJob &job, const char *not_found_format);

// Creates the file with its lines unless a file of that name exists, which is
// left as it is with a warning. A file that cannot be written stops the run.
settings::StageResult write_once(const std::string &path, const std::vector<std::string> &lines);

// Writes the file with its lines, replacing whatever stood at its name. A
// file that cannot be written stops the run.
settings::StageResult write_file(const std::string &path, const std::vector<std::string> &lines);

// Prints "cannot write file" for a file the run needed and could not write.
settings::StageResult report_unwritable(const std::string &path);

} // namespace vorlan::writers
