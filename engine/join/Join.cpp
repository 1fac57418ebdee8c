// The join of a set in one folder as the user sees it: the set counted and found complete (or
// one piece short, which the recovery file rebuilds), its pieces gathered in order and
// checked, a faulty one rebuilt in its place, and the file given its name.
#include "engine/join/Join.h"

#include <memory>
#include <new>
#include <vector>

#include "engine/join/Gathering.h"
#include "engine/join/JoinOutput.h"
#include "engine/join/SetInFolder.h"
#include "engine/pieces/PieceSet.h"
#include "engine/recovery/Rebuild.h"
#include "engine/system/FileServices.h"

namespace {

// One join in a folder in progress.
class Joiner {
  public:
    Joiner(JoinHooks& hooks, const std::string& pieceFolder, const std::string& targetFolder,
           const std::string& baseName)
        : hooks_(hooks), pieceFolder_(pieceFolder), baseName_(baseName),
          outputPath_(targetFolder + baseName), set_(hooks, pieceFolder, baseName),
          rebuild_(hooks, pieceFolder, baseName, outputPath_),
          gathering_(hooks, outputPath_, baseName) {}

    void Run() {
        const std::optional<int64_t> count = set_.Count();
        if (!count || !set_.IsComplete(*count, rebuild_)) return;
        const std::vector<std::string> paths = PiecePaths(pieceFolder_, baseName_, *count);
        hooks_.ShowPieceList(paths);
        if (!OutputReplaceable(outputPath_, hooks_)) return;
        const std::optional<SetCheck>& check = set_.Check();
        if (!set_.Missing().empty() &&
            !rebuild_.Rebuild(set_.Missing(), *check, set_.MissingText()))
            return;
        if (!Gather(paths)) {
            gathering_.Discard();
            return;
        }
        // Told in texts made before the output takes its name, so that nothing after it can fail.
        const std::string completed = RestoringText(outputPath_) + " завершенно";
        const std::string told =
            check ? completed + "\r\n" + CheckedLine(*check) + rebuild_.DoneLine() : completed;
        if (!gathering_.GiveOutputItsName()) return;
        // Gone before the user is told: the folder then holds the output alone.
        rebuild_.RemoveWorkFiles();
        hooks_.ShowMessage(told);
        hooks_.SetStatus(completed);
    }

  private:
    // Tells how far the join has got and lets the window run; false when asked to stop.
    bool YieldToWindow(int64_t done) {
        return hooks_.YieldWithProgress({done, total_, done, total_});
    }

    // The bytes piece n will give: a rebuilt piece's as the recovery file describes it, the
    // others' as the folder listed them.
    int64_t SizeOf(int64_t n) const {
        return rebuild_.IsRebuilt(n) ? rebuild_.RebuiltSize(n) : set_.FoundSize(n);
    }

    // Appends every piece in number order to the gathering file; false after a message or a
    // stop.
    bool Gather(const std::vector<std::string>& paths) {
        for (size_t i = 0; i < paths.size(); ++i) {
            sizes_.push_back(SizeOf(static_cast<int64_t>(i) + 1));
            total_ += sizes_.back();
        }
        if (!gathering_.Open()) return false;
        if (set_.Check() && !gathering_.StartChecking(*set_.Check())) return false;
        int64_t done = 0;
        for (size_t i = 0; i < paths.size(); ++i) {
            const int64_t n = static_cast<int64_t>(i) + 1;
            const std::string& path = rebuild_.PathFor(n, paths[i]);
            hooks_.SetStatus(RestoringText(outputPath_) + " из части " + path);
            if (!YieldToWindow(done)) return false;
            const int64_t start = done;
            FileStream piece = OpenReadStream(path);
            const PieceAppend appended = gathering_.Append(
                piece, path, n, [&](int64_t written) { return YieldToWindow(start + written); });
            done += appended.written;
            if (appended.outcome == Appended::Whole) continue;
            // Told already, or stopped; else the piece is cut short or damaged.
            if (appended.outcome != Appended::Faulty) return false;
            if (!RebuildInPlace(n, start, done, appended.fault)) return false;
            if (!gathering_.RestartDigests(RebuiltPaths(paths, n), paths[i])) return false;
            --i; // the rebuilt piece is appended in its place and checked
        }
        return gathering_.Complete(set_.Check() ? set_.Check()->whole : std::string());
    }

    // The files to read as pieces 1 .. n - 1.
    std::vector<std::string> RebuiltPaths(const std::vector<std::string>& paths, int64_t n) const {
        std::vector<std::string> earlier;
        for (int64_t k = 1; k < n; ++k)
            earlier.push_back(rebuild_.PathFor(k, paths[static_cast<size_t>(k - 1)]));
        return earlier;
    }

    // Piece n was found cut short or damaged (fault says how) while appended from start on:
    // it is rebuilt from the recovery file when the set has one, and the gathering goes back
    // to the piece's start. false after telling the user.
    bool RebuildInPlace(int64_t n, int64_t start, int64_t& done, const std::string& fault) {
        const std::optional<SetCheck>& check = set_.Check();
        if (rebuild_.IsRebuilt(n)) {
            hooks_.ShowMessage(rebuild_.MismatchText(n, *check));
            return false;
        }
        if (!check || !rebuild_.Possible()) {
            hooks_.ShowMessage(check && rebuild_.AnyRebuilt() ? rebuild_.SecondFaultText(n)
                                                              : fault);
            return false;
        }
        if (!rebuild_.Rebuild({n}, *check, fault)) return false;
        // The total counted the faulty pieces; the rebuilt ones take their places.
        for (size_t at = 0; at < sizes_.size(); ++at) {
            const int64_t size = rebuild_.RebuiltSize(static_cast<int64_t>(at) + 1);
            if (size == 0) continue;
            total_ += size - sizes_[at];
            sizes_[at] = size;
        }
        done = start;
        return gathering_.Rewind(start);
    }

    JoinHooks& hooks_;
    const std::string pieceFolder_, baseName_, outputPath_;
    SetInFolder set_;
    PieceRebuild rebuild_;
    Gathering gathering_;
    std::vector<int64_t> sizes_; // piece n's at n - 1, as counted into total_
    int64_t total_ = 0;
};

// The join of the set in the chosen piece's folder.
void JoinInFolder(const std::string& chosenPiecePath, const std::string& targetFolder,
                  JoinHooks& hooks) {
    if (!MakeOutputFolder(targetFolder, hooks)) return;
    const std::string name = FileNamePart(chosenPiecePath);
    const std::optional<std::string> baseName = SetNameOf(name);
    if (!baseName)
        hooks.ShowMessage(
            "Данный фаил не был создан программой Varnok\r  или он возможно был переименован.");
    Joiner(hooks, FolderPart(chosenPiecePath), targetFolder, baseName.value_or(name)).Run();
}

void JoinAny(const std::string& chosenPiecePath, const std::string& targetFolder, JoinHooks& hooks,
             const JoinSystem& system) {
    if (JoinsFromDisks(chosenPiecePath, system))
        JoinFromDisks(chosenPiecePath, targetFolder, hooks, system);
    else
        JoinInFolder(chosenPiecePath, targetFolder, hooks);
}

// More memory than the 32-bit process can have ends the join, not the program; what the join
// made goes with the objects that made it.
template <typename Join> void JoinWithinMemory(JoinHooks& hooks, Join join) {
    try {
        join();
    } catch (const std::bad_alloc&) {
        hooks.ShowMessage("Недостаточно памяти для соединения частей. Соединение прервано, файл "
                          "не записан.");
    }
}

} // namespace

void JoinPieces(const std::string& chosenPiecePath, const std::string& targetFolder,
                JoinHooks& hooks) {
    JoinWithinMemory(hooks, [&] { JoinAny(chosenPiecePath, targetFolder, hooks, JoinSystem()); });
}

void JoinPieces(const std::string& chosenPiecePath, const std::string& targetFolder,
                JoinHooks& hooks, const JoinSystem& system) {
    JoinWithinMemory(hooks, [&] { JoinAny(chosenPiecePath, targetFolder, hooks, system); });
}
