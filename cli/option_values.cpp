#include "option_values.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <regex>

#include "json_text.h"

namespace tez::cli {
namespace {

// More significant digits than any bound has: outside the range whatever they say.
constexpr std::size_t kWidestDigits = 15;

std::string RangeText(std::int64_t lowest, std::int64_t highest, const std::string& unit) {
    // "-24..24": a dash between two numbers that may be negative would read as a sign.
    return (unit.empty() ? "" : " " + unit) + " is outside " + std::to_string(lowest) +
           (lowest < 0 ? ".." : "-") + std::to_string(highest);
}

}  // namespace

CLI::Validator WholeNumberIn(std::int64_t lowest, std::int64_t highest, const std::string& unit) {
    return CLI::Validator(
        [=](std::string& text) -> std::string {
            const bool negative = !text.empty() && text.front() == '-';
            const std::string digits =
                text.substr(negative || (!text.empty() && text.front() == '+') ? 1 : 0);
            if (digits.empty() || digits.find_first_not_of("0123456789") != std::string::npos) {
                return PrintableName(text) + " is not a whole number" +
                       (unit.empty() ? "" : " of " + unit);
            }
            const std::size_t first = std::min(digits.find_first_not_of('0'), digits.size() - 1);
            const std::string significant = digits.substr(first);
            const std::int64_t magnitude =
                significant.size() > kWidestDigits ? INT64_MAX : std::stoll(significant);
            const std::int64_t value = negative ? -magnitude : magnitude;
            if (significant.size() > kWidestDigits || value < lowest || value > highest) {
                return PrintableName(text) + RangeText(lowest, highest, unit);
            }
            text = (negative && magnitude != 0 ? "-" : "") + significant;
            return {};
        },
        "");
}

CLI::Validator NumberIn(double lowest, double highest, const std::string& range) {
    return CLI::Validator(
        [=](const std::string& text) -> std::string {
            static const std::regex kDecimal(
                R"([-+]?([0-9]+\.?[0-9]*|\.[0-9]+)([eE][-+]?[0-9]+)?)");
            if (!std::regex_match(text, kDecimal)) {
                return "'" + PrintableName(text) + "' is not a number";
            }
            const double value = std::strtod(text.c_str(), nullptr);
            if (!(value >= lowest && value <= highest)) {
                return PrintableName(text) + " is outside " + range;
            }
            return {};
        },
        "");
}

void RefuseEmptyValues(CLI::App& app) {
    for (CLI::Option* option : app.get_options()) {
        if (option->get_positional() || option->get_type_size_max() == 0) {
            continue;
        }
        option->transform(CLI::Validator(
            [](const std::string& text) -> std::string {
                return text.empty() ? "the value is empty" : "";
            },
            ""));
    }
    for (CLI::App* command : app.get_subcommands({})) {
        RefuseEmptyValues(*command);
    }
}

}  // namespace tez::cli
