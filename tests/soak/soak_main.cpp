// Runs N random settings through the whole core, and recordings and alphabets
// through the readers, and checks what each step promises. Usage: soak_runner N [SEED] [FIRST]
// [BOUND]; settings FIRST .. FIRST+N-1 of the run started from SEED, so a long run can go in
// chunks.
#include <algorithm>
#include <array>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <string>

#include "pulses/alphabet.h"
#include "soak/soak_files.h"
#include "soak/soak_setting.h"
#include "support/recording_sink.h"

#if defined(__SANITIZE_ADDRESS__)
extern "C" void __sanitizer_set_death_callback(void (*callback)(void));
#endif

namespace {

// Inner steps one setting may take; at about 10^8 simple steps a second
// under the sanitizers, a setting stays within a few tenths of a second.
constexpr uint64_t kDefaultBound = 20'000'000;

std::string current;  // the setting being run, for the report of a crash

void reportCrash() {
    std::fprintf(stderr, "soak: crashed in %s\n", current.c_str());
}
void reportAbort(int) {
    reportCrash();
    std::_Exit(3);
}

uint64_t numberArgument(const char* text, const char* name) {
    char* end = nullptr;
    const unsigned long long value = std::strtoull(text, &end, 0);
    if (end == text || *end != '\0') {
        std::fprintf(stderr, "soak: %s must be a whole number, not \"%s\"\n", name, text);
        std::exit(2);
    }
    return value;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2 || argc > 5) {
        std::fprintf(stderr, "usage: %s N [SEED] [FIRST] [BOUND]\n", argv[0]);
        return 2;
    }
    const uint64_t count = numberArgument(argv[1], "N");
    const uint64_t seed = argc > 2 ? numberArgument(argv[2], "SEED") : std::random_device{}();
    const uint64_t first = argc > 3 ? numberArgument(argv[3], "FIRST") : 0;
    const uint64_t bound = argc > 4 ? numberArgument(argv[4], "BOUND") : kDefaultBound;
    std::printf("soak: seed %llu, settings %llu..%llu, at most %llu steps each\n",
                static_cast<unsigned long long>(seed), static_cast<unsigned long long>(first),
                static_cast<unsigned long long>(first + count - 1),
                static_cast<unsigned long long>(bound));
    std::fflush(stdout);
#if defined(__SANITIZE_ADDRESS__)
    __sanitizer_set_death_callback(reportCrash);
#endif
    // Undefined behaviour ends in abort() with UBSAN_OPTIONS=abort_on_error=1.
    std::signal(SIGABRT, reportAbort);

    etalon::test::RecordingSink sink;
    std::array<etalon::PulseHeader, etalon::kEtalonsNumber> alphabet{};
    int16_t alphabetStream = etalon::RandomStreams{}.wAlphabetNoiseSeed;
    etalon::makeAlphabet(sink, etalon::kPulseAmplitude, etalon::kEtalonsNumber,
                         etalon::kEtalonLength, alphabet, alphabetStream);

    // The recordings and alphabets of the file settings are written here.
    char folderTemplate[] = "/tmp/etalon-soak-XXXXXX";
    if (!mkdtemp(folderTemplate)) {
        std::perror("soak: a folder for the files");
        return 2;
    }
    const std::string folder = folderTemplate;

    const auto start = std::chrono::steady_clock::now();
    uint64_t failed = 0, made = 0, restored = 0, simulated = 0, filtered = 0, readBack = 0;
    for (uint64_t i = first; i < first + count; ++i) {
        etalon::soak::SoakSetting s = etalon::soak::drawSetting(seed, i);
        etalon::soak::capWork(s, bound);
        etalon::soak::FileSetting f = etalon::soak::drawFileSetting(seed, i);
        etalon::soak::capWork(f, bound);
        current = "setting " + std::to_string(i) + ": " + etalon::soak::describe(s) + "\n  " +
                  etalon::soak::describe(f);
        auto outcome = etalon::soak::runSetting(s, alphabet);
        etalon::soak::runFileSetting(f, folder, bound, outcome);
        made += outcome.made;
        restored += outcome.restored;
        simulated += outcome.simulated;
        filtered += outcome.filtered;
        readBack += outcome.readBack;
        const auto& findings = outcome.findings;
        if (!findings.empty()) {
            ++failed;
            std::printf("FINDING %s\n", current.c_str());
            for (const auto& f : findings)
                std::printf("  %s\n", f.c_str());
        }
        if ((i - first + 1) % 1000 == 0) {
            const double seconds =
                std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
            std::printf("soak: %llu settings, %.0f s\n",
                        static_cast<unsigned long long>(i - first + 1), seconds);
            std::fflush(stdout);
        }
    }
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::printf("soak: %llu settings in %.1f s (%.1f a second), %llu with findings\n",
                static_cast<unsigned long long>(count), seconds, count / std::max(seconds, 1e-9),
                static_cast<unsigned long long>(failed));
    std::printf(
        "soak: %llu made a series, %llu restored chains, %llu ran a grid, %llu read files back, "
        "%llu took pulses with the matched filter\n",
        static_cast<unsigned long long>(made), static_cast<unsigned long long>(restored),
        static_cast<unsigned long long>(simulated), static_cast<unsigned long long>(readBack),
        static_cast<unsigned long long>(filtered));
    std::error_code ignored;
    std::filesystem::remove_all(folder, ignored);
    // Settings that all stop early would prove nothing.
    const bool deepEnough = made * 4 >= count && restored * 8 >= count && simulated * 20 >= count &&
                            readBack * 8 >= count && filtered * 8 >= count;
    if (!deepEnough) std::printf("soak: too few settings got through every step\n");
    return failed == 0 && deepEnough ? 0 : 1;
}
