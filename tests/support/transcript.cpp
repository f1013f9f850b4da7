#include "support/transcript.h"

namespace e2e {
namespace {

// Neighbouring stretches of one writer act as one.
std::vector<Segment> merged(const std::vector<Segment> &segments) {
    std::vector<Segment> result;
    for (const auto &segment : segments) {
        if (!result.empty() && result.back().writer == segment.writer) {
            result.back().text += segment.text;
        } else {
            result.push_back(segment);
        }
    }
    return result;
}

std::string shown(std::string_view text) {
    return "\n----\n" + std::string(text) + "\n----\n";
}

::testing::AssertionResult missing(std::string_view stretch, std::size_t from,
                                   std::string_view out) {
    return ::testing::AssertionFailure()
           << "the installer's stretch" << shown(stretch) << "is not where expected (from byte "
           << from << ") in the output" << shown(out);
}

// Each installer stretch must follow the previous one directly, or after any
// text where an interpreter stretch lies between them; the last one must end
// the output unless an interpreter stretch comes after it.
::testing::AssertionResult match_installer_stretches(std::string_view out,
                                                     const std::vector<Segment> &pieces) {
    std::size_t position = 0;
    bool after_interpreter = false;
    for (std::size_t i = 0; i < pieces.size(); ++i) {
        const auto &piece = pieces[i];
        if (piece.writer == Writer::interpreter) {
            after_interpreter = true;
            continue;
        }
        const bool last = i + 1 == pieces.size();
        std::size_t found = std::string_view::npos;
        if (!after_interpreter) {
            found = out.substr(position).starts_with(piece.text) ? position : found;
        } else if (last) {
            const bool fits = out.size() >= position + piece.text.size();
            found = fits && out.ends_with(piece.text) ? out.size() - piece.text.size() : found;
        } else {
            found = out.find(piece.text, position);
        }
        if (found == std::string_view::npos) {
            return missing(piece.text, position, out);
        }
        position = found + piece.text.size();
        after_interpreter = false;
    }
    if (!after_interpreter && position != out.size()) {
        return ::testing::AssertionFailure()
               << "the output goes on after the installer's last stretch:"
               << shown(out.substr(position));
    }
    return ::testing::AssertionSuccess();
}

} // namespace

Transcript &Transcript::operator+=(const Transcript &more) {
    segments_.insert(segments_.end(), more.segments_.begin(), more.segments_.end());
    return *this;
}

std::string Transcript::whole_text() const {
    std::string text;
    for (const auto &segment : segments_) {
        text += segment.text;
    }
    return text;
}

::testing::AssertionResult matches(std::string_view out, const Transcript &expected,
                                   Comparison how) {
    if (how == Comparison::installer_only) {
        return match_installer_stretches(out, merged(expected.segments()));
    }
    const auto whole = expected.whole_text();
    if (out == whole) {
        return ::testing::AssertionSuccess();
    }
    return ::testing::AssertionFailure()
           << "expected the output" << shown(whole) << "but got" << shown(out);
}

} // namespace e2e
