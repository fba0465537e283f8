#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace etalon::platform {

// One entry of a window menu: a command item, a separator or a popup with
// entries of its own. Texts are shown exactly as given, blanks included.
struct MenuEntry {
    enum class Kind { Item, Separator, Popup };
    Kind kind = Kind::Item;
    uint16_t id = 0;
    std::string text;
    std::vector<MenuEntry> entries;
    // Shown in the item's shortcut column ("F5"); the key itself reaches the
    // window procedure as any key does.
    std::string shortcut;

    static MenuEntry item(uint16_t id, std::string text, std::string shortcut = {}) {
        return {Kind::Item, id, std::move(text), {}, std::move(shortcut)};
    }
    static MenuEntry separator() { return {Kind::Separator, 0, {}, {}, {}}; }
    static MenuEntry popup(std::string text, std::vector<MenuEntry> entries) {
        return {Kind::Popup, 0, std::move(text), std::move(entries), {}};
    }
};

}  // namespace etalon::platform
