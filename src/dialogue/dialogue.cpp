#include "dialogue/dialogue.h"

#include "platform/console.h"
#include "text/format.h"

#include <array>
#include <string_view>

namespace vorlan::dialogue {
namespace {

using platform::flush;
using platform::write;

constexpr std::size_t box_width = 79;

constexpr std::array<std::string_view, 13> box_texts = {
    "This program should be run only after you have successfully installed",
    "the following components:",
    "",
    "  1.  Java SDK",
    "  2.  Apache Web Server",
    "  3.  Apache Tomcat",
    "",
    "It will copy the necessary web files, servlets, and jsps to your computer.",
    "",
    "DO NOT PROCEED UNTIL YOU HAVE INSTALLED THE ABOVE COMPONENTS.",
    "If your Tomcat environment has already been configured by this program,",
    "it will only copy the Java files to your computer and will not reconfigure",
    "Tomcat again.",
};

void write_box_edge() {
    write(std::string(box_width, '*') + "\n");
}

void write_box_text(std::string_view text) {
    // "* " + text, padded so that the closing asterisk stands in the last column.
    std::string line = "* ";
    line += text;
    line.resize(box_width - 1, ' ');
    write(line + "*\n");
}

void write_box() {
    write_box_edge();
    write("************                      IMPORTANT                       *************\n");
    write_box_edge();
    for (const auto text : box_texts) {
        write_box_text(text);
    }
    write_box_edge();
}

} // namespace

std::string read_answer() {
    std::string answer;
    platform::read_line(answer);
    return answer;
}

void show_banner() {
    write("\nThis program will install Vorlan V1.5 on your computer ");
    flush();
    write("and will configure your Apache Web Server and Apache Tomcat ");
    write("\nenvironments.\n\n");
    write_box();
    flush();
}

bool ask_confirmation() {
    write("\nYou will be required to enter the directory paths for the above components.\n");
    write("Do you wish to continue [Y/N]?");
    flush();
    const std::string answer = read_answer();
    if (!answer.empty() && answer.front() != 'y' && answer.front() != 'Y') {
        write("User has chosen to abort the installation...\n");
        flush();
        return false;
    }
    return true;
}

std::string ask_directory(const DirectoryQuestion &question) {
    write("\n");
    write(question.intro);
    write("\n");
    write(text::format(question.prompt_format, {question.default_directory}));
    flush();
    std::string answer = read_answer();
    return answer.empty() ? question.default_directory : answer;
}

void completion_prompt() {
    write("Installation completed. Press Cntrl-C to continue.");
    flush();
    std::string ignored;
    platform::read_line(ignored);
}

} // namespace vorlan::dialogue
