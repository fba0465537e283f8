#include "cli/number_list.h"

namespace etalon::cli {

std::vector<std::string> splitItems(std::string_view text, char separator) {
    std::vector<std::string> items;
    std::size_t start = 0;
    while (start <= text.size()) {
        std::size_t end = text.find(separator, start);
        if (end == std::string_view::npos) end = text.size();
        std::string item(text.substr(start, end - start));
        item.erase(0, item.find_first_not_of(' '));
        item.erase(item.find_last_not_of(' ') + 1);
        items.push_back(std::move(item));
        start = end + 1;
    }
    return items;
}

}  // namespace etalon::cli
