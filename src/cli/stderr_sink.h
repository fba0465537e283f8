#pragma once

#include <ostream>

#include "base/message_sink.h"

namespace etalon::cli {

// Prints every report to stderr and counts them: a report means the step failed.
class StderrSink final : public MessageSink {
  public:
    explicit StderrSink(std::ostream& err) : err_(err) {}
    int show(std::string_view text, std::string_view caption, MessageIcon icon) override;
    int reports() const { return reports_; }

  private:
    std::ostream& err_;
    int reports_ = 0;
};

}  // namespace etalon::cli
