#include "platform/posix/cmd/command_line.h"

#include "platform/posix/ascii.h"

#include <algorithm>

namespace vorlan::platform::posix {
namespace {

bool is_blank(char c) {
    return c == ' ' || c == '\t';
}

bool is_special(char c) {
    return c == '&' || c == '|' || c == '<' || c == '>';
}

class Tokenizer {
  public:
    explicit Tokenizer(std::string_view line) : line_(line) {}

    std::vector<Token> run() {
        while (position_ < line_.size()) {
            const char c = line_[position_];
            if (!in_quotes_ && is_blank(c)) {
                finish_word();
                ++position_;
            } else if (!in_quotes_ && is_special(c)) {
                finish_word();
                tokens_.push_back({Token::Kind::special, std::string(1, c), std::string(1, c)});
                ++position_;
            } else {
                take_word_character(c);
            }
        }
        finish_word();
        return std::move(tokens_);
    }

  private:
    void take_word_character(char c) {
        const std::size_t start = position_++;
        if (c == '^' && !in_quotes_ && position_ == line_.size()) {
            return; // it would ask for a continuation line, and there is none
        }
        if (c == '"') {
            in_quotes_ = !in_quotes_;
        } else if (c == '^' && !in_quotes_) {
            word_.text.push_back(line_[position_++]);
        } else {
            word_.text.push_back(c);
        }
        in_word_ = true;
        word_.typed.append(line_.substr(start, position_ - start));
    }

    void finish_word() {
        if (in_word_) {
            tokens_.push_back(std::move(word_));
        }
        word_ = Token{};
        in_word_ = false;
    }

    std::string_view line_;
    std::size_t position_ = 0;
    bool in_quotes_ = false;
    bool in_word_ = false;
    Token word_;
    std::vector<Token> tokens_;
};

bool is_special_token(const Token &token) {
    return token.kind == Token::Kind::special;
}

bool drop_trailing_null_redirection(std::vector<Token> &tokens) {
    const std::size_t count = tokens.size();
    if (count < 2 || tokens[count - 2].kind != Token::Kind::special ||
        tokens[count - 2].text != ">" || tokens[count - 1].kind != Token::Kind::word ||
        !ascii_iequal(tokens[count - 1].text, "NUL")) {
        return false;
    }
    tokens.resize(count - 2);
    return true;
}

bool is_switch(const Token &token) {
    return token.typed.starts_with('/');
}

bool is_accepted_switch(const Token &token, std::initializer_list<std::string_view> accepted) {
    return std::any_of(accepted.begin(), accepted.end(),
                       [&](std::string_view name) { return ascii_iequal(token.text, name); });
}

// The two paths and the switches of copy or xcopy, in any order.
void parse_copy_arguments(const std::vector<Token> &tokens, ParsedCommand &command,
                          std::initializer_list<std::string_view> accepted_switches,
                          std::string_view required_switch) {
    std::vector<const std::string *> paths;
    bool required_seen = required_switch.empty();
    for (std::size_t i = 1; i < tokens.size(); ++i) {
        if (!is_switch(tokens[i])) {
            paths.push_back(&tokens[i].text);
        } else if (!is_accepted_switch(tokens[i], accepted_switches)) {
            command.kind = ParsedCommand::Kind::bad_syntax;
            return;
        } else if (ascii_iequal(tokens[i].text, required_switch)) {
            required_seen = true;
        }
    }
    if (paths.size() != 2 || !required_seen) {
        command.kind = ParsedCommand::Kind::bad_syntax;
        return;
    }
    command.source = *paths[0];
    command.destination = *paths[1];
}

} // namespace

std::vector<Token> tokenize_command_line(std::string_view line) {
    return Tokenizer(line).run();
}

ParsedCommand parse_command_line(std::string_view line) {
    std::vector<Token> tokens = tokenize_command_line(line);
    ParsedCommand command;
    command.discard_output = drop_trailing_null_redirection(tokens);
    if (tokens.empty()) {
        return command;
    }
    command.name_as_typed = tokens.front().typed;
    const std::string &name = tokens.front().text;
    if (std::any_of(tokens.begin(), tokens.end(), is_special_token)) {
        // cmd would see another redirection or a second command here.
        command.kind = ParsedCommand::Kind::not_recognized;
        command.discard_output = false;
    } else if (ascii_iequal(name, "copy")) {
        command.kind = ParsedCommand::Kind::copy;
        parse_copy_arguments(tokens, command, {"/Y", "/B"}, "");
    } else if (ascii_iequal(name, "xcopy")) {
        command.kind = ParsedCommand::Kind::xcopy;
        parse_copy_arguments(tokens, command, {"/S", "/Y", "/I"}, "/S");
    } else {
        command.kind = ParsedCommand::Kind::not_recognized;
    }
    return command;
}

} // namespace vorlan::platform::posix
