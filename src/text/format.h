#pragma once
// Every text the installer writes comes from a format fixed in the program:
// "%s" takes the next argument, "%%" gives one percent sign. An argument is
// never read as a format, so a percent sign typed in an answer stays as typed.

#include <initializer_list>
#include <string>
#include <string_view>

namespace vorlan::text {

std::string format(std::string_view pattern, std::initializer_list<std::string_view> arguments);

} // namespace vorlan::text
