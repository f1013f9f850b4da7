#include "writers/registry_script.h"

#include "text/format.h"

namespace vorlan::writers {

using settings::StageResult;

using text::format;

std::string double_char(std::string_view text, char doubled) {
    std::string result;
    result.reserve(text.size());
    for (const char c : text) {
        if (c == doubled) {
            result += c;
        }
        result += c;
    }
    return result;
}

std::vector<std::string> registry_script_lines(const settings::InstallSettings &s) {
    // REGEDIT4 strings escape the backslash; the count stays 5 although only
    // options 2 to 4 are ours.
    return {
        "REGEDIT4",
        "",
        "[HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Services\\Apache Tomcat\\Parameters]",
        "\"JVM Option Count\"=dword:00000005",
        format("\"JVM Option Number 2\"=\"-Xbootclasspath/a:%s\\\\lib\\\\pja.jar\"",
               {double_char(s.pja_home, '\\')}),
        format("\"JVM Option Number 3\"=\"-Djava.awt.fonts=%s\"", {double_char(s.fonts_dir, '\\')}),
        format("\"JVM Option Number 4\"=\"-Duser.home=%s\\\\jre\"",
               {double_char(s.java_home, '\\')}),
        "",
    };
}

StageResult write_registry_script(const settings::InstallSettings &s) {
    return write_file(s.reg_script, registry_script_lines(s));
}

} // namespace vorlan::writers
