// Times one engine operation on files prepared by bench/run.sh and tells how much memory the
// process needed. The clock runs only around the engine call, so Wine's start-up is not counted.
//
//   varnok_bench split-size SOURCE FOLDER PIECE_BYTES
//   varnok_bench split-count SOURCE FOLDER COUNT
//   varnok_bench split-size-recovery|split-count-recovery SOURCE FOLDER NUMBER [SLICES]   (the
//     same, with the recovery file of SLICES recovery slices, 1 unless given)
//   varnok_bench split-size-ended SOURCE FOLDER PIECE_BYTES KEPT   (a split by size that ends
//     the process without a goodbye as piece KEPT + 1 begins, as a killed program does)
//   varnok_bench join CHOSEN_PIECE FOLDER
//   varnok_bench disk-set SOURCE DRIVE DISKS SLICES   (SOURCE split onto DISKS scripted disks of
//     one size with SLICES recovery volumes; each disk's files kept in a folder beside DRIVE)
//   varnok_bench disk-join DRIVE FOLDER LOST   (that set joined straight from the scripted drive,
//     piece disk LOST answered "No" and rebuilt from the volumes; 0: every disk present)
//   varnok_bench sha256 FILE DIGITS   (Varnok's SHA-256 alone, on one thread: the processor's SHA
//     extensions where it has them, else the system's)
//   varnok_bench sha256-system FILE DIGITS   (the system's SHA-256 alone, on one thread)
//   varnok_bench sha256-twice FILE DIGITS   (Varnok's on two threads at once, as a split's two
//     digests need it)
//   varnok_bench digests   (each way of hashing a buffer from memory, one core, in GB/s; prints
//     its own lines)
//   varnok_bench gf-muladd [BYTES [MANY_BYTES [COUNT]]]   (the recovery kernel on each path the
//     processor has, in GB/s: 1 GiB through a buffer of BYTES, 1 MiB unless given, and into COUNT
//     destinations of MANY_BYTES at once, 8 of 32 MiB unless given; prints its own lines)
// FOLDER and DRIVE end in a backslash.
//
// Prints one line: "seconds <s> peak_ws <bytes> start_ws <bytes>". VARNOK_BENCH_BUFFER, when set,
// gives the copy buffer's size in bytes, for tuning it; VARNOK_BENCH_PACE the milliseconds between
// two yields inside a copy (4294967295: none), to weigh what the yields and progress cost.
#include <windows.h>

#include <psapi.h>

#include <cstdint>
#include <cstdio>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "bench/DigestBench.h"
#include "bench/DiskBench.h"
#include "bench/GfBench.h"
#include "bench/QuietHooks.h"
#include "engine/system/FileServices.h"
#include "engine/join/Join.h"
#include "engine/pieces/PieceSet.h"
#include "engine/digest/Sha256.h"
#include "engine/split/Split.h"
#include "engine/system/Text.h"

namespace {

struct Memory {
    size_t workingSet = 0;
    size_t peakWorkingSet = 0;
};

Memory ProcessMemory() {
    PROCESS_MEMORY_COUNTERS counters{};
    counters.cb = sizeof counters;
    Memory memory;
    if (GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof counters)) {
        memory.workingSet = counters.WorkingSetSize;
        memory.peakWorkingSet = counters.PeakWorkingSetSize;
    }
    return memory;
}

// Reads the file through the copy's buffer size, as the copy does, and hashes it.
bool HashMatches(const std::string& path, const std::string& digits,
                 Sha256Source source = Sha256Source::Best) {
    FileStream file = OpenReadStream(path);
    std::string buffer(CopyBufferSize(), '\0');
    Sha256 digest(source);
    while (const uint32_t got = file.Read(buffer.data(), CopyBufferSize()))
        digest.Add(buffer.data(), got);
    return digest.Finish() == digits;
}

struct HashJob {
    std::string path, digits;
    bool matches = false;
};

DWORD WINAPI HashOnThread(void* parameter) {
    HashJob& job = *static_cast<HashJob*>(parameter);
    job.matches = HashMatches(job.path, job.digits);
    return 0;
}

// The processor time of every thread of the process so far, in the system and out of it.
double ProcessorSeconds() {
    FILETIME created, exited, kernel, user;
    if (!GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user)) return 0;
    const auto seconds = [](const FILETIME& time) {
        return static_cast<double>((static_cast<uint64_t>(time.dwHighDateTime) << 32) |
                                   time.dwLowDateTime) /
               1e7;
    };
    return seconds(kernel) + seconds(user);
}

double TimeSeconds(const std::function<void()>& work) {
    LARGE_INTEGER frequency, start, end;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&start);
    work();
    QueryPerformanceCounter(&end);
    return static_cast<double>(end.QuadPart - start.QuadPart) /
           static_cast<double>(frequency.QuadPart);
}

int Usage() {
    std::fprintf(stderr, "usage: varnok_bench split-size|split-count[-recovery] SOURCE "
                         "FOLDER\\ NUMBER [SLICES]\n"
                         "       varnok_bench split-size-ended SOURCE FOLDER\\ PIECE_BYTES KEPT\n"
                         "       varnok_bench join CHOSEN_PIECE FOLDER\\\n"
                         "       varnok_bench disk-set SOURCE DRIVE\\ DISKS SLICES\n"
                         "       varnok_bench disk-join DRIVE\\ FOLDER\\ LOST\n"
                         "       varnok_bench sha256|sha256-system|sha256-twice FILE DIGITS\n"
                         "       varnok_bench digests\n"
                         "       varnok_bench gf-muladd [BYTES [MANY_BYTES [COUNT]]]\n");
    return 2;
}

bool EndsWith(const std::string& text, const std::string& tail) {
    return text.size() >= tail.size() &&
           text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

// Times work, runs settle untimed (false: the outcome is wrong), and prints the figures when the
// operation completed; the process's exit code.
int MeasureAndReport(QuietHooks& hooks, const std::function<void()>& work,
                     const std::function<bool()>& settle) {
    const Memory before = ProcessMemory();
    const double seconds = TimeSeconds(work);
    const Memory after = ProcessMemory();
    const bool settled = !settle || settle();
    // A split and a join both end with a text that ends so (a checked join adds a line after
    // it), and show nothing else on success.
    const std::string& last = hooks.messages.empty() ? std::string() : hooks.messages.back();
    if (!settled || hooks.messages.size() != 1 ||
        (!EndsWith(last, " завершенно") && last.find(" завершенно\r\n") == std::string::npos)) {
        for (const std::string& message : hooks.messages)
            std::fprintf(stderr, "message: %s\n", message.c_str());
        std::fprintf(stderr, "the operation did not complete\n");
        return 1;
    }
    std::printf("seconds %.6f peak_ws %lu start_ws %lu cpu %.3f\n", seconds,
                static_cast<unsigned long>(after.peakWorkingSet),
                static_cast<unsigned long>(before.workingSet), ProcessorSeconds());
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    if (argc == 2 && std::string(argv[1]) == "digests") return RunDigestBench();
    if (argc >= 2 && std::string(argv[1]) == "gf-muladd") {
        const auto arg = [&](int i, int64_t otherwise) {
            const int64_t value = argc > i ? ParseDecimalWide(argv[i]) : otherwise;
            return value > 0 ? static_cast<size_t>(value) : size_t{0};
        };
        return RunGfBench(arg(2, 1 << 20), arg(3, 32 << 20), arg(4, 8));
    }
    if (argc < 4) return Usage();
    char buffer[32];
    DWORD length = GetEnvironmentVariableA("VARNOK_BENCH_BUFFER", buffer, sizeof buffer);
    if (length > 0 && length < sizeof buffer)
        SetCopyBufferSize(static_cast<uint32_t>(ParseDecimalWide(buffer)));
    length = GetEnvironmentVariableA("VARNOK_BENCH_PACE", buffer, sizeof buffer);
    if (length > 0 && length < sizeof buffer)
        SetCopyPaceInterval(static_cast<uint32_t>(ParseDecimalWide(buffer)));
    if (const std::optional<int> code =
            RunDiskMode(std::vector<std::string>(argv + 1, argv + argc), MeasureAndReport))
        return *code;
    const std::string mode = argv[1];
    QuietHooks hooks;
    std::function<void()> work;
    const bool recovery = mode == "split-size-recovery" || mode == "split-count-recovery";
    const bool ended = mode == "split-size-ended" && argc == 6;
    if (ended) {
        const std::string source = argv[2];
        hooks.endAt =
            PieceName(source.substr(source.find_last_of('\\') + 1), ParseDecimalWide(argv[5]) + 1);
    }
    if (((mode == "split-size" || mode == "split-count") && argc == 5) ||
        (recovery && (argc == 5 || argc == 6)) || ended) {
        SplitRequest request;
        request.sourcePath = argv[2];
        request.targetFolder = argv[3];
        request.recovery = recovery;
        request.recoverySlices = recovery && argc == 6 ? ParseDecimalWide(argv[5]) : 1;
        if (mode == "split-size" || mode == "split-size-recovery" || ended) {
            request.method = SplitMethod::BySize;
            request.sizeValue = ParseDecimalWide(argv[4]);
            request.unitMultiplier = 1;
        } else {
            request.method = SplitMethod::ByCount;
            request.count = ParseDecimalWide(argv[4]);
        }
        work = [&hooks, request] { SplitFile(request, hooks); };
    } else if ((mode == "sha256" || mode == "sha256-system") && argc == 4) {
        // Reads the file through the copy's buffer size, as the copy does, and hashes it.
        const std::string path = argv[2], digits = argv[3];
        const Sha256Source source = mode == "sha256" ? Sha256Source::Best : Sha256Source::Cng;
        work = [&hooks, path, digits, source] {
            // Told as a completion, so that a wrong digest is no measurement.
            if (HashMatches(path, digits, source)) hooks.ShowMessage("sha256 завершенно");
        };
    } else if (mode == "sha256-twice" && argc == 4) {
        const std::string path = argv[2], digits = argv[3];
        work = [&hooks, path, digits] {
            HashJob jobs[2] = {{path, digits}, {path, digits}};
            HANDLE threads[2] = {};
            for (int i = 0; i < 2; ++i)
                threads[i] = CreateThread(nullptr, 0, &HashOnThread, &jobs[i], 0, nullptr);
            bool started = true;
            for (HANDLE thread : threads) {
                if (!thread) {
                    started = false;
                    continue;
                }
                WaitForSingleObject(thread, INFINITE);
                CloseHandle(thread);
            }
            if (started && jobs[0].matches && jobs[1].matches)
                hooks.ShowMessage("sha256 завершенно");
        };
    } else if (mode == "join" && argc == 4) {
        const std::string chosen = argv[2], folder = argv[3];
        work = [&hooks, chosen, folder] { JoinPieces(chosen, folder, hooks); };
    } else {
        return Usage();
    }
    return MeasureAndReport(hooks, work, {});
}
