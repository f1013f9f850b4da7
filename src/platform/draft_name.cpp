#include "platform/draft_name.h"

#include <chrono>
#include <random>

namespace vorlan::platform {
namespace {

constexpr std::string_view name_characters =
    "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
constexpr std::size_t random_part_length = 6;

} // namespace

// Seeded anew for each name; the clock tells apart two names asked for in
// turn.
std::string new_draft_name(std::uint64_t process) {
    std::mt19937_64 generator{
        std::random_device{}() ^ process ^
        static_cast<std::uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count())};
    std::uniform_int_distribution<std::size_t> pick(0, name_characters.size() - 1);
    std::string name(draft_prefix);
    for (std::size_t i = 0; i < random_part_length; ++i) {
        name.push_back(name_characters[pick(generator)]);
    }
    return name;
}

bool is_draft_name(std::string_view name) {
    return name.size() == draft_prefix.size() + random_part_length &&
           name.starts_with(draft_prefix) &&
           name.substr(draft_prefix.size()).find_first_not_of(name_characters) ==
               std::string_view::npos;
}

} // namespace vorlan::platform
