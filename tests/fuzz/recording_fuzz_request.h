#pragma once

// What the recording targets share: the first input byte picks the request
// (column or channel, span, scale), and what a read must give back.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "io/recording.h"

namespace etalon::fuzz {

inline io::RecordingRequest recordingRequest(uint8_t choice, std::string path) {
    static const char* const kColumns[] = {"", "1", "2", "value"};
    io::RecordingRequest request;
    request.path = std::move(path);
    request.column = kColumns[choice & 3];
    request.channel = (choice & 3) + 1;
    switch ((choice >> 2) & 3) {
        case 1:
            request.first = 1;
            request.count = 3;
            break;
        case 2:
            request.count = 1;
            break;
        case 3:
            request.first = 5;
            break;
    }
    if (choice & 16) request.scale = 0.5;
    return request;
}

// A refusal names the file; an accepted span is the one asked for.
inline void checkRead(const io::RecordingRequest& request, const std::string& problem,
                      const io::Recording& read) {
    if (!problem.empty()) {
        if (problem.rfind(request.path, 0) != 0) std::abort();
        return;
    }
    const std::size_t n = read.samples.size();
    if (n == 0 || n > io::kMostRecordingSamples || read.first != request.first ||
        read.fileSamples < request.first + n || (request.count && n != *request.count))
        std::abort();
}

}  // namespace etalon::fuzz
