// The CSV recording reader: the first byte picks the column and span, the
// rest is the file.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <string>

#include "fuzz/recording_fuzz_request.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    static const std::string path =
        "/tmp/etalon-fuzz-recording-" + std::to_string(getpid()) + ".csv";
    {
        std::ofstream file(path, std::ios::binary | std::ios::trunc);
        file.write(reinterpret_cast<const char*>(data + 1), static_cast<std::streamsize>(size - 1));
    }
    const etalon::io::RecordingRequest request = etalon::fuzz::recordingRequest(data[0], path);
    etalon::io::Recording read;
    const std::string problem = etalon::io::readRecording(request, read);
    std::remove(path.c_str());  // libFuzzer's forked jobs would each leave one behind
    etalon::fuzz::checkRead(request, problem, read);
    return 0;
}
