// Makes piece sets with recovery files for the outside repair tool: `varnok_par2_sets FOLDER`
// (a Windows path) splits generated files into one subfolder per case, one line per case on
// the standard output: the subfolder's name and the pieces its recovery file rebuilds.
// par2-check.sh then has `par2` verify and repair them. `varnok_par2_sets join PIECE FOLDER`
// joins a set as the join page does and prints what it says (CP1251), one message a line;
// exit code 0 when the join completed.
#include <windows.h>

#include <cstdio>
#include <memory>
#include <string>

#include "TestFiles.h"
#include "engine/join/Join.h"
#include "engine/split/Split.h"

namespace {

int failures = 0;

// Splits a file of size bytes named name into folder\caseName\.
void Make(const std::string& folder, const std::string& caseName, const std::string& name,
          size_t size, SplitMethod method, int64_t number, const SplitSystem& system = {},
          int64_t slices = 1) {
    const std::string target = folder + caseName + "\\";
    const std::string sourceFolder = folder + caseName + ".in\\";
    MakeFolder(target);
    MakeFolder(sourceFolder);
    WriteWholeFile(sourceFolder + name, PatternBytes(size, static_cast<uint32_t>(size)));
    SplitRequest request = SplitRequestFor(sourceFolder + name, target, method, number);
    request.recovery = true;
    request.recoverySlices = slices;
    RecordingHooks hooks;
    SplitFile(request, hooks, system);
    RemoveTree(sourceFolder);
    const std::vector<std::string> messages = hooks.Of("message");
    // A disk set's completion adds the line of its volumes.
    const std::string done = "Разделение файла " + name + " завершенно";
    if (messages.size() != 1 || messages[0].rfind(done, 0) != 0) {
        std::fprintf(stderr, "%s: the split said:\n", caseName.c_str());
        for (const std::string& m : messages) std::fprintf(stderr, "  %s\n", m.c_str());
        ++failures;
    }
    std::printf("%s %d\n", caseName.c_str(), static_cast<int>(slices));
}

// Disks with these free bytes in turn, besides the room their check file keeps; the pieces
// all land in the one folder.
SplitSystem Disks(const std::vector<uint64_t>& figures) {
    auto next = std::make_shared<size_t>(0);
    SplitSystem system =
        ScriptedSystem([figures, next](const std::string&) -> std::optional<uint64_t> {
            const uint64_t figure = *next < figures.size() ? figures[(*next)++] : 0;
            return figure + kTestCluster;
        });
    system.fileSystem = [](const std::string&) { return std::string("NTFS"); };
    return system;
}

} // namespace

int main(int argc, char** argv) {
    if (argc == 4 && std::string(argv[1]) == "join") {
        RecordingHooks hooks;
        JoinPieces(argv[2], argv[3], hooks);
        const std::vector<std::string> messages = hooks.Of("message");
        for (const std::string& m : messages) std::printf("%s\n", m.c_str());
        const bool done =
            messages.size() == 1 && messages[0].find(" завершенно") != std::string::npos;
        return done ? 0 : 1;
    }
    if (argc != 2) return 2;
    std::string folder = argv[1];
    if (folder.back() != '\\') folder += '\\';
    // Pieces of 30000 bytes and a shorter last one.
    Make(folder, "by-size", "film.avi", 100000, SplitMethod::BySize, 30000);
    // Pieces of 14286 bytes, not a multiple of 4, and a last one of 14287.
    Make(folder, "by-count", "data.tar.gz", 100003, SplitMethod::ByCount, 7);
    // A piece name that is not ASCII: UTF-8 in the packets, as the file system names it.
    Make(folder, "cyrillic", "отчёт.doc", 50001, SplitMethod::ByCount, 3);
    // A set of one piece.
    Make(folder, "one-piece", "one.bin", 20000, SplitMethod::BySize, 20000);
    // The recovery packet's digest goes along with the last piece, whose first 16 KiB give
    // the set's ID: a last piece shorter than that, read through buffers smaller than it...
    {
        CopyBufferScope buffer(4096);
        Make(folder, "short-last", "clip.mov", 70000, SplitMethod::BySize, 30000);
    }
    // ... and a last piece longer than the others, through buffers of 1000 bytes.
    {
        CopyBufferScope buffer(1000);
        Make(folder, "small-buffers", "big.iso", 120005, SplitMethod::ByCount, 3);
    }
    // Onto disks of 30000 bytes each and a large last one, which takes the index and the
    // volume too.
    Make(folder, "disks", "film.mkv", 100000, SplitMethod::OntoDisks, 0,
         Disks({30000, 30000, 30000, 1u << 30, 1u << 30}));
    // The last disk full with its piece: the index and the volume go onto one more disk.
    Make(folder, "disks-one-more", "film.mkv", 99999, SplitMethod::OntoDisks, 0,
         Disks({40000, 40000, 19999, 1u << 30, 100, 1u << 30}));
    // A disk set with three volumes, each disk's files gathered into one folder.
    Make(folder, "disks-3", "film.mkv", 100000, SplitMethod::OntoDisks, 0,
         Disks({30000, 30000, 30000, 1u << 30, 1u << 30}), 3);
    // Sets that survive the loss of two and three pieces, by size and by count.
    Make(folder, "by-size-2", "film.avi", 100000, SplitMethod::BySize, 30000, {}, 2);
    Make(folder, "by-count-3", "data.tar.gz", 100003, SplitMethod::ByCount, 7, {}, 3);
    Make(folder, "cyrillic-2", "отчёт.doc", 50001, SplitMethod::ByCount, 5, {}, 2);
    // Slices wider than the window the slices are made in: two windows, the second short.
    Make(folder, "two-windows-2", "disk.img", 18000001, SplitMethod::ByCount, 2, {}, 2);
    // Read through buffers smaller than a piece.
    {
        CopyBufferScope buffer(1000);
        Make(folder, "by-size-3-small-buffers", "big.iso", 90001, SplitMethod::BySize, 20001, {},
             3);
    }
    return failures == 0 ? 0 : 1;
}
