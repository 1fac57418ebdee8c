// Files, folders and recording hooks for the engine's tests. Everything lives in the
// temporary folder and is removed afterwards.
#pragma once
#include <cstdint>
#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "engine/system/FileServices.h"
#include "engine/Hooks.h"
#include "engine/split/Split.h"

// A fresh folder under the temporary folder, removed with everything in it on destruction.
class TempFolder {
  public:
    TempFolder();
    ~TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    // The folder's path, ending in "\".
    const std::string& Path() const { return path_; }
    std::string operator/(const std::string& name) const { return path_ + name; }

  private:
    std::string path_;
};

// Bytes that differ from position to position and from seed to seed.
std::string PatternBytes(size_t size, uint32_t seed);
void WriteWholeFile(const std::string& path, const std::string& bytes);
// The file's bytes; empty when it cannot be read.
std::string ReadWholeFile(const std::string& path);
bool FileExists(const std::string& path);
void RemoveTree(const std::string& path);
// The names in a folder (no "." or ".."), sorted as text.
std::vector<std::string> FolderEntries(const std::string& folder);
// The files the split made for recovery files in the system's temporary folder ("vnk*").
size_t RecoveryWorkFilesInTemp();
// A handle held open without sharing, so that no one else may open the file meanwhile.
class LockedFile {
  public:
    explicit LockedFile(const std::string& path);
    ~LockedFile();
    LockedFile(const LockedFile&) = delete;
    LockedFile& operator=(const LockedFile&) = delete;
    bool IsOpen() const;

  private:
    void* handle_;
};

// Sets the copy buffer's size for one test and restores it afterwards.
struct CopyBufferScope {
    explicit CopyBufferScope(uint32_t bytes) : saved(CopyBufferSize()) { SetCopyBufferSize(bytes); }
    ~CopyBufferScope() { SetCopyBufferSize(saved); }
    uint32_t saved;
};

// The Windows path of a Unix path, through the Z: drive that Wine maps to "/".
std::string UnixPathOnZ(const std::string& unixPath);

// What a Unix command printed, and its exit code.
struct UnixRun {
    int exitCode = -1;
    std::string output;
};
// Runs a shell command (UTF-8, as the system's tools take names) with /bin/sh in the folder,
// through Wine, and waits up to a minute for it to end; nothing when it did not.
std::optional<UnixRun> RunUnixShell(const std::string& command, const std::string& folder);

// A split request as the split page fills it: number is the count box's or the size box's.
SplitRequest SplitRequestFor(const std::string& source, const std::string& folder,
                             SplitMethod method, int64_t number, int64_t multiplier = 1);
// The clusters of every scripted disk: a small set's check file keeps one of them free.
constexpr uint32_t kTestCluster = 512;
// Disks whose free space is scripted, with clusters of kTestCluster bytes.
SplitSystem ScriptedSystem(const FreeSpaceQuery& freeSpace);
// The sizes of the pieces name_1.brf, name_2.brf, ... in the folder, in number order.
std::vector<int64_t> PieceSizes(const std::string& folder, const std::string& name);
// The pieces' bytes one after another, in number order.
std::string JoinedPieces(const std::string& folder, const std::string& name);
// The first lines of a check file's text.
std::string FirstLines(const std::string& text, int64_t lines);
// What a split that ended after piece count leaves: pieces 1 .. count of the set name in from,
// copied into the folder ended, and from's check file cut to their lines beside them.
void WriteEndedSplit(const std::string& from, const std::string& ended, const std::string& name,
                     int64_t count);

// A symbolic link to /dev/full, a device that takes no byte: every write fails as on a full
// disk. Wine can neither make nor delete such a link, so the system's own tools do it.
class FullDeviceLink {
  public:
    FullDeviceLink(const std::string& folder, const std::string& name);
    ~FullDeviceLink();
    FullDeviceLink(const FullDeviceLink&) = delete;
    FullDeviceLink& operator=(const FullDeviceLink&) = delete;
    bool Made() const { return made_; }

  private:
    std::string folder_, name_;
    bool made_ = false;
};

// Records every hook call as one line, in order; answers AskOkCancel from a queue (OK when
// empty) and AskYesNoCancel from another (Cancel when empty: no test resumes unasked).
struct RecordingHooks : SplitHooks, JoinHooks {
    std::vector<std::string> calls;
    std::deque<bool> answers;
    std::deque<Reply> replies;

    void ShowMessage(const std::string& text) override { calls.push_back("message: " + text); }
    void SetStatus(const std::string& text) override { calls.push_back("status: " + text); }
    void KeepResponsive() override { calls.push_back("keep"); }
    bool AskOkCancel(const std::string& text) override;
    Reply AskYesNoCancel(const std::string& text) override;
    void ShowPieceList(const std::vector<std::string>& paths) override;

    // The calls of one kind ("message", "status", "ask", "choose", "list"), without their
    // prefix.
    std::vector<std::string> Of(const std::string& kind) const;
};

// Records the progress reports too, and asks to stop at one yield (counted from 1).
struct ProgressHooks : RecordingHooks {
    std::vector<EngineHooks::ProgressFigures> figures;
    int stopAtYield = 0;
    int yields = 0;
    std::function<void()> onKeep;
    void KeepResponsive() override {
        RecordingHooks::KeepResponsive();
        if (onKeep) onKeep();
    }
    void ReportProgress(const EngineHooks::ProgressFigures& f) override { figures.push_back(f); }
    bool StopRequested() override { return ++yields == stopAtYield; }
};

// Has a copy call its pace after every buffer, for one test.
struct PaceEveryBuffer {
    PaceEveryBuffer() : saved(CopyPaceInterval()) { SetCopyPaceInterval(0); }
    ~PaceEveryBuffer() { SetCopyPaceInterval(saved); }
    uint32_t saved;
};
