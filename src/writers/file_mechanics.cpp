#include "writers/file_mechanics.h"

#include "platform/command.h"
#include "platform/console.h"
#include "platform/held_file.h"
#include "platform/publish.h"
#include "text/format.h"

namespace vorlan::writers {

using settings::StageResult;
namespace {

using text::format;

bool begins_with_any(std::string_view line, std::span<const std::string_view> prefixes) {
    for (const auto prefix : prefixes) {
        // The first byte settles it for almost every line, without a memcmp.
        if (prefix.empty() ||
            (!line.empty() && line.front() == prefix.front() && line.starts_with(prefix))) {
            return true;
        }
    }
    return false;
}

void write_lines(platform::TextWriter &to, const std::vector<std::string> &lines) {
    for (const auto &line : lines) {
        to.write_line(line);
    }
}

bool opens_for_reading(const std::string &path) {
    platform::TextReader reader;
    return reader.open(path);
}

void print_and_flush(const std::string &message) {
    platform::write(message);
    platform::write("\n");
    platform::flush();
}

StageResult warn_exists(const std::string &path) {
    print_and_flush(format("***WARNING*** file %s exists.  Continuing. . .", {path}));
    return StageResult::go_on;
}

StageResult publish_file(const std::string &path, const std::vector<std::string> &lines,
                         platform::PublishMode mode) {
    platform::TextWriter file;
    if (!file.create_draft(path)) {
        return report_unwritable(path);
    }
    write_lines(file, lines);
    switch (file.publish(mode)) {
    case platform::Publication::published:
        return StageResult::go_on;
    case platform::Publication::name_taken: // another run was quicker
        return warn_exists(path);
    case platform::Publication::failed:
        break;
    }
    return report_unwritable(path);
}

// A program that holds the target for a moment makes the copy fail; it is
// not started while the target is seen held, for it would complain each time.
bool copied_over(const RewriteJob &job) {
    const auto copy = format("copy \"%s\" \"%s\" > NUL", {job.scratch, job.target});
    const auto attempt = [&] {
        if (platform::held_by_another_program(job.target)) {
            return platform::Attempt::held;
        }
        if (platform::run_command(copy) == 0) {
            return platform::Attempt::done;
        }
        return platform::held_by_another_program(job.target) ? platform::Attempt::held
                                                             : platform::Attempt::failed;
    };
    return platform::try_while_held(attempt, job.target) == platform::Attempt::done;
}

} // namespace

void copy_filtered(platform::TextReader &from, platform::TextWriter &to,
                   std::span<const std::string_view> prefixes) {
    bool keeping = true;
    while (const auto line = from.next()) {
        if (line->begins_line) {
            keeping = !begins_with_any(line->text, prefixes);
        }
        if (!keeping) {
            continue;
        }
        to.write_text(line->text);
        if (line->has_line_end) {
            to.write_text(platform::line_end);
        }
    }
}

RewriteResult rewrite_filtered(const RewriteJob &job) {
    // Held until the copy over the target has ended: a second run rewriting
    // the same file would refill the scratch file while it is being copied.
    platform::RewriteScratch scratch_file(job.scratch);
    // The scratch file comes first, before the target is looked at.
    platform::TextWriter scratch;
    const bool scratch_created = scratch.write_into(scratch_file.rewrite());
    platform::TextReader target;
    if (!target.open(job.target)) {
        scratch.close();
        return target.held() ? RewriteResult::target_unreadable : RewriteResult::target_missing;
    }
    if (!scratch_created) {
        return RewriteResult::scratch_unwritable;
    }
    write_lines(scratch, job.head_lines);
    copy_filtered(target, scratch, job.prefixes);
    write_lines(scratch, job.tail_lines);
    // Replacing the target now would lose what was not read or written.
    if (target.failed()) {
        scratch.close();
        return RewriteResult::target_unreadable;
    }
    target.close(); // the copy must find the target open nowhere
    if (!scratch.close()) {
        return RewriteResult::scratch_unwritable;
    }
    return copied_over(job) ? RewriteResult::done : RewriteResult::replace_failed;
}

StageResult run_rewrite_stage(const RewriteJob &job, const char *not_found_format) {
    switch (rewrite_filtered(job)) {
    case RewriteResult::done:
        return StageResult::go_on;
    case RewriteResult::target_missing:
        print_and_flush(format(not_found_format, {job.target}));
        return StageResult::stop;
    case RewriteResult::target_unreadable:
        print_and_flush(format("***ERROR*** cannot read file %s", {job.target}));
        return StageResult::stop;
    case RewriteResult::scratch_unwritable:
        return report_unwritable(job.scratch);
    case RewriteResult::replace_failed:
        print_and_flush(format("***ERROR*** cannot replace file %s; its new content is in %s",
                               {job.target, job.scratch}));
        return StageResult::stop;
    }
    return StageResult::stop;
}

StageResult write_once(const std::string &path, const std::vector<std::string> &lines) {
    // Looked at first, so that an existing file costs nothing.
    if (opens_for_reading(path)) {
        return warn_exists(path);
    }
    return publish_file(path, lines, platform::PublishMode::create_new);
}

StageResult write_file(const std::string &path, const std::vector<std::string> &lines) {
    return publish_file(path, lines, platform::PublishMode::replace);
}

StageResult report_unwritable(const std::string &path) {
    print_and_flush(format("***ERROR*** cannot write file %s", {path}));
    return StageResult::stop;
}

} // namespace vorlan::writers
