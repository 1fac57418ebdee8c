// The tests' files: a temporary folder, patterned bytes, whole files written and read back.
#include "TestFiles.h"

#include <windows.h>

#include <algorithm>
#include <cstdlib>

#include "engine/pieces/PieceSet.h"
#include "engine/system/Text.h"

TempFolder::TempFolder() {
    static unsigned counter = 0;
    char temp[MAX_PATH + 1];
    GetTempPathA(sizeof temp, temp);
    std::string base = temp;
    if (!base.empty() && base.back() != '\\') base += '\\';
    for (;;) {
        path_ = base + "varnok_" + DecimalText(GetCurrentProcessId()) + "_" +
                DecimalText(++counter) + "\\";
        if (CreateDirectoryA(path_.c_str(), nullptr)) break;
    }
}

TempFolder::~TempFolder() { RemoveTree(path_); }

std::string PatternBytes(size_t size, uint32_t seed) {
    std::string bytes(size, '\0');
    uint32_t state = seed * 2654435761u + 12345u;
    for (size_t i = 0; i < size; ++i) {
        state = state * 1103515245u + 12345u;
        bytes[i] = static_cast<char>(state >> 24);
    }
    return bytes;
}

void WriteWholeFile(const std::string& path, const std::string& bytes) {
    HANDLE h = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) return;
    DWORD done = 0;
    if (!bytes.empty())
        WriteFile(h, bytes.data(), static_cast<DWORD>(bytes.size()), &done, nullptr);
    CloseHandle(h);
}

std::string ReadWholeFile(const std::string& path) {
    HANDLE h = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                           OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) return {};
    std::string bytes(GetFileSize(h, nullptr), '\0');
    DWORD done = 0;
    if (!bytes.empty()) ReadFile(h, bytes.data(), static_cast<DWORD>(bytes.size()), &done, nullptr);
    bytes.resize(done);
    CloseHandle(h);
    return bytes;
}

bool FileExists(const std::string& path) {
    DWORD attributes = GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

void RemoveTree(const std::string& path) {
    std::string folder = path;
    if (!folder.empty() && folder.back() != '\\') folder += '\\';
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((folder + "*").c_str(), &found);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            std::string name = found.cFileName;
            if (name == "." || name == "..") continue;
            if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                RemoveTree(folder + name);
            else
                DeleteFileA((folder + name).c_str());
        } while (FindNextFileA(search, &found));
        FindClose(search);
    }
    RemoveDirectoryA(folder.c_str());
}

std::vector<std::string> FolderEntries(const std::string& folder) {
    std::vector<std::string> names;
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((folder + "*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return names;
    do {
        std::string name = found.cFileName;
        if (name != "." && name != "..") names.push_back(name);
    } while (FindNextFileA(search, &found));
    FindClose(search);
    std::sort(names.begin(), names.end());
    return names;
}

size_t RecoveryWorkFilesInTemp() {
    char temp[MAX_PATH + 1];
    GetTempPathA(sizeof temp, temp);
    size_t count = 0;
    for (const std::string& name : FolderEntries(temp))
        if (name.rfind("vnk", 0) == 0) ++count;
    return count;
}

LockedFile::LockedFile(const std::string& path)
    : handle_(CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS,
                          FILE_ATTRIBUTE_NORMAL, nullptr)) {}

LockedFile::~LockedFile() {
    if (IsOpen()) CloseHandle(handle_);
}

bool LockedFile::IsOpen() const { return handle_ != INVALID_HANDLE_VALUE; }

std::string UnixPathOnZ(const std::string& unixPath) {
    std::string path = "Z:" + unixPath;
    std::replace(path.begin(), path.end(), '/', '\\');
    return path;
}

SplitRequest SplitRequestFor(const std::string& source, const std::string& folder,
                             SplitMethod method, int64_t number, int64_t multiplier) {
    SplitRequest request;
    request.sourcePath = source;
    request.targetFolder = folder;
    request.method = method;
    request.count = number;
    request.sizeValue = number;
    request.unitMultiplier = multiplier;
    return request;
}

std::vector<int64_t> PieceSizes(const std::string& folder, const std::string& name) {
    std::vector<int64_t> sizes;
    for (int64_t n = 1; FileExists(PiecePath(folder, name, n)); ++n)
        sizes.push_back(static_cast<int64_t>(ReadWholeFile(PiecePath(folder, name, n)).size()));
    return sizes;
}

std::string JoinedPieces(const std::string& folder, const std::string& name) {
    std::string joined;
    for (int64_t n = 1; FileExists(PiecePath(folder, name, n)); ++n)
        joined += ReadWholeFile(PiecePath(folder, name, n));
    return joined;
}

std::string FirstLines(const std::string& text, int64_t lines) {
    size_t end = 0;
    for (int64_t i = 0; i < lines; ++i) end = text.find('\n', end) + 1;
    return text.substr(0, end);
}

void WriteEndedSplit(const std::string& from, const std::string& ended, const std::string& name,
                     int64_t count) {
    for (int64_t n = 1; n <= count; ++n)
        WriteWholeFile(PiecePath(ended, name, n), ReadWholeFile(PiecePath(from, name, n)));
    WriteWholeFile(ended + name + ".sha256",
                   FirstLines(ReadWholeFile(from + name + ".sha256"), count));
}

namespace {

// Runs a Unix program under Wine in the given folder. Wine hands the program over to the
// system and does not wait for it.
bool StartUnixProgram(const std::string& commandLine, const std::string& folder) {
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    std::string command = commandLine;
    if (!CreateProcessA(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr,
                        folder.c_str(), &startup, &process))
        return false;
    CloseHandle(process.hProcess);
    CloseHandle(process.hThread);
    return true;
}

bool HasEntry(const std::string& folder, const std::string& name) {
    const std::vector<std::string> names = FolderEntries(folder);
    return std::find(names.begin(), names.end(), name) != names.end();
}

// Waits up to ten seconds for the entry to appear or to go.
bool AwaitEntry(const std::string& folder, const std::string& name, bool present) {
    for (int i = 0; i < 1000; ++i) {
        if (HasEntry(folder, name) == present) return true;
        Sleep(10);
    }
    return false;
}

} // namespace

std::optional<UnixRun> RunUnixShell(const std::string& command, const std::string& folder) {
    static int serial = 0;
    const std::string unixWork =
        "/tmp/varnok-run-" + std::to_string(GetCurrentProcessId()) + "-" + std::to_string(++serial);
    const std::string work = UnixPathOnZ(unixWork) + "\\";
    if (!CreateDirectoryA(work.c_str(), nullptr)) return std::nullopt;
    // Wine does not wait for a Unix program: the script tells its end by a file it renames.
    WriteWholeFile(work + "run.sh", "(" + command + ") >" + unixWork + "/out 2>&1\necho $? >" +
                                        unixWork + "/rc.part\nmv " + unixWork + "/rc.part " +
                                        unixWork + "/rc\n");
    std::optional<UnixRun> run;
    if (StartUnixProgram(UnixPathOnZ("/bin/sh") + " " + unixWork + "/run.sh", folder)) {
        for (int i = 0; i < 6000 && !run; ++i) {
            if (FileExists(work + "rc"))
                run = UnixRun{std::atoi(ReadWholeFile(work + "rc").c_str()),
                              ReadWholeFile(work + "out")};
            else
                Sleep(10);
        }
    }
    RemoveTree(work);
    return run;
}

FullDeviceLink::FullDeviceLink(const std::string& folder, const std::string& name)
    : folder_(folder), name_(name) {
    made_ = StartUnixProgram(UnixPathOnZ("/bin/ln") + " -s /dev/full \"" + name + "\"", folder) &&
            AwaitEntry(folder, name, true);
}

FullDeviceLink::~FullDeviceLink() {
    StartUnixProgram(UnixPathOnZ("/bin/rm") + " -f \"" + name_ + "\"", folder_);
    AwaitEntry(folder_, name_, false);
}

bool RecordingHooks::AskOkCancel(const std::string& text) {
    calls.push_back("ask: " + text);
    if (answers.empty()) return true;
    bool answer = answers.front();
    answers.pop_front();
    return answer;
}

Reply RecordingHooks::AskYesNoCancel(const std::string& text) {
    calls.push_back("choose: " + text);
    if (replies.empty()) return Reply::Cancel;
    const Reply reply = replies.front();
    replies.pop_front();
    return reply;
}

void RecordingHooks::ShowPieceList(const std::vector<std::string>& paths) {
    std::string line = "list:";
    for (const std::string& path : paths) line += " " + path;
    calls.push_back(line);
}

std::vector<std::string> RecordingHooks::Of(const std::string& kind) const {
    std::vector<std::string> result;
    const std::string prefix = kind + ": ";
    for (const std::string& call : calls)
        if (call.compare(0, prefix.size(), prefix) == 0)
            result.push_back(call.substr(prefix.size()));
    return result;
}

SplitSystem ScriptedSystem(const FreeSpaceQuery& freeSpace) {
    SplitSystem system;
    system.freeSpace = freeSpace;
    system.clusterSize = [](const std::string&) { return std::optional<uint32_t>(kTestCluster); };
    return system;
}
