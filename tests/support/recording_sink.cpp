#include "support/recording_sink.h"

namespace etalon::test {

int RecordingSink::show(std::string_view text, std::string_view caption, etalon::MessageIcon icon) {
    messages.push_back({std::string(text), std::string(caption), icon});
    return etalon::kMessageOk;
}

}  // namespace etalon::test
