#include "platform/text_file.h"
#include "support/files.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace vorlan::platform {
namespace {

using testing::ScratchDir;
using testing::write_file;

constexpr std::size_t megabyte = std::size_t{1} << 20; // the reader's buffer

struct Piece {
    std::string text;
    bool has_line_end;
    bool begins_line;
};

std::vector<Piece> pieces_of(const std::string &content) {
    ScratchDir dir;
    write_file("in.txt", content);
    TextReader reader;
    EXPECT_TRUE(reader.open("in.txt"));
    std::vector<Piece> pieces;
    while (const auto line = reader.next()) {
        pieces.push_back({std::string(line->text), line->has_line_end, line->begins_line});
    }
    EXPECT_FALSE(reader.failed());
    return pieces;
}

// The lines put back together, each line end written as "|".
std::string rejoined(const std::vector<Piece> &pieces) {
    std::string joined;
    for (const auto &piece : pieces) {
        joined += piece.text;
        if (piece.has_line_end) {
            joined += '|';
        }
    }
    return joined;
}

TEST(TextReader, LineEndsFallingOnTheEdgeOfABufferLoad) {
    for (const std::size_t length : {megabyte - 2, megabyte - 1, megabyte, megabyte + 1}) {
        SCOPED_TRACE(length);
        const std::string line(length, 'x');
        const struct {
            std::string content;
            std::string expected;
        } table[] = {
            {line + "\r\nnext\n", line + "|next|"},
            {line + "\nnext", line + "|next"},
            {line + "\r", line + "\r"},      // a lone CR at the end is data
            {line + "\rx\n", line + "\rx|"}, // and so is one inside a line
            {line + "\r\r\n", line + "\r|"},
        };
        for (const auto &row : table) {
            EXPECT_EQ(rejoined(pieces_of(row.content)), row.expected);
        }
    }
}

TEST(TextReader, ALongLineComesInPiecesThatOnlyTheFirstBegins) {
    const std::string line = std::string(100, 'a') + std::string(3 * megabyte, 'b');
    const auto pieces = pieces_of("short\n" + line + "\r\nafter");
    ASSERT_GE(pieces.size(), 5u);
    EXPECT_TRUE(pieces[1].begins_line);
    // A prefix test on the first piece sees the line's beginning, not a sliver.
    EXPECT_GE(pieces[1].text.size(), std::size_t{64} << 10);
    std::string whole;
    for (std::size_t i = 1; i + 1 < pieces.size(); ++i) {
        whole += pieces[i].text;
        EXPECT_EQ(pieces[i].begins_line, i == 1) << i;
        EXPECT_EQ(pieces[i].has_line_end, i + 2 == pieces.size()) << i;
    }
    EXPECT_EQ(whole, line);
    EXPECT_EQ(pieces.back().text, "after");
    EXPECT_TRUE(pieces.back().begins_line);
    EXPECT_FALSE(pieces.back().has_line_end);
}

TEST(TextReader, EveryShortLineBeginsAndEnds) {
    const auto pieces = pieces_of("a\r\n\nb\n");
    ASSERT_EQ(pieces.size(), 3u);
    for (const auto &piece : pieces) {
        EXPECT_TRUE(piece.begins_line);
        EXPECT_TRUE(piece.has_line_end);
    }
    EXPECT_EQ(rejoined(pieces), "a||b|");
}

TEST(TextWriter, WritesOfEverySizeArriveInOrder) {
    ScratchDir dir;
    TextWriter writer;
    ASSERT_TRUE(writer.write_into(std::fopen("out.txt", "wb")));
    std::string expected;
    for (const std::size_t size :
         {std::size_t{3}, megabyte - 1, std::size_t{2}, 2 * megabyte, std::size_t{0}, megabyte}) {
        const std::string text(size, static_cast<char>('a' + expected.size() % 26));
        writer.write_text(text);
        expected += text;
    }
    writer.write_line("end");
    ASSERT_TRUE(writer.close());
    EXPECT_EQ(testing::read_file("out.txt"), expected + "end\r\n");
}

} // namespace
} // namespace vorlan::platform
