#pragma once

#include <string_view>

namespace vorlan::writers {

// Marks every file and section this installer wrote.
inline constexpr std::string_view configured_marker = "#configured by Vorlan 1.5";

} // namespace vorlan::writers
