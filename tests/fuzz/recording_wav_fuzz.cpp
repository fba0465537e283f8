// The WAV recording reader over the input's bytes (libsndfile's virtual
// I/O): the first byte picks the channel and span, the rest is the file.
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

#include "fuzz/recording_fuzz_request.h"
#include "io/recording_readers.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    const etalon::io::RecordingRequest request =
        etalon::fuzz::recordingRequest(data[0], "fuzz.wav");
    etalon::io::Recording read;
    const std::string problem = etalon::io::readWavRecordingFromMemory(
        request, std::span<const uint8_t>(data + 1, size - 1), read);
    etalon::fuzz::checkRead(request, problem, read);
    return 0;
}
