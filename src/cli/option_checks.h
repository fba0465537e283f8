#pragma once

#include <CLI/CLI.hpp>
#include <cstdint>
#include <string>
#include <vector>

#include "cli/number_list.h"

namespace etalon::cli {

// A whole-number option within [low, high]. The help names the value and its
// range in words; a value outside is refused naming the option and the range.
template <class T>
CLI::Option* addWhole(CLI::App& command, const std::string& name, T& value,
                      const std::string& valueName, int64_t low, int64_t high,
                      const std::string& help, bool showDefault = true) {
    const std::string range = std::to_string(low) + ".." + std::to_string(high);
    CLI::Validator check(
        [low, high, range](std::string& text) -> std::string {
            int64_t number = 0;
            if (!parseWhole(text, number)) return "'" + text + "' is not a whole number";
            if (number < low || number > high) return text + " is outside " + range;
            return {};
        },
        "");
    CLI::Option* option =
        command.add_option(name, value, help + "; " + range)->type_name(valueName)->check(check);
    if (showDefault) option->capture_default_str();
    return option;
}

// An option that takes one of a few values, listed in its help.
template <class T, class V>
CLI::Option* addChoice(CLI::App& command, const std::string& name, T& value,
                       const std::string& valueName, std::vector<V> choices,
                       const std::string& help) {
    return command.add_option(name, value, help)
        ->type_name(valueName)
        ->check(CLI::IsMember(choices).description(""))
        ->capture_default_str();
}

// A comma-separated list option. An empty text is refused: left as it is, it
// would silently mean what leaving the option out means (`whenLeftOut`).
inline CLI::Option* addList(CLI::App& command, const std::string& name, std::string& value,
                            const std::string& valueName, const std::string& help,
                            const std::string& whenLeftOut) {
    CLI::Validator notEmpty(
        [whenLeftOut](std::string& text) -> std::string {
            if (text.find_first_not_of(' ') != std::string::npos) return {};
            return "the list is empty; leave the option out for " + whenLeftOut;
        },
        "");
    return command.add_option(name, value, help)->type_name(valueName)->check(notEmpty);
}

}  // namespace etalon::cli
