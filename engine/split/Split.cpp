// The split as the user sees it: the source and the target folder checked, the pieces
// planned, a resume offered, the source opened, the pieces written, the set finished, and the
// user told.
#include "engine/split/Split.h"

#include <new>

#include "engine/pieces/SplitLimits.h"
#include "engine/split/ResumeCheck.h"
#include "engine/split/SplitBySizeOrCount.h"
#include "engine/split/SplitOntoDisks.h"
#include "engine/split/SplitRun.h"

namespace {

// What the split says of a count or a size that it cannot take.
struct Refusals {
    const char* tooSmall;
    const char* tooLarge;
};
constexpr Refusals kCountRefusals{"Количество частей меньше или равно 1",
                                  "Количество частей слишком велико"};
constexpr Refusals kSizeRefusals{"Размер части менее 1 байта", "Размер части слишком велик"};

// The source is there and the target folder is there or made; false after telling the user.
bool ReadyToSplit(SplitRun& run) {
    const SplitRequest& request = run.Request();
    if (!IsExistingFile(request.sourcePath)) {
        run.Hooks().ShowMessage("Файл " + run.Name() + " не найден.");
        return false;
    }
    if (!IsExistingFolder(request.targetFolder) && !run.System().makeFolder(request.targetFolder)) {
        run.Hooks().ShowMessage("Невозможно создание папки для частей файла!");
        return false;
    }
    if (!IsExistingFile(request.sourcePath)) {
        run.Hooks().ShowMessage("File " + run.Name() + " not found.");
        return false;
    }
    return true;
}

// The pieces of a split by size or by count, by the one rule the figures use too; nothing
// after telling the user why the number cannot be split.
std::optional<PiecePlan> PlanPieces(SplitRun& run) {
    const SplitRequest& request = run.Request();
    const int64_t fileSize = run.FileSize();
    const bool byCount = request.method == SplitMethod::ByCount;
    const Refusals& refusals = byCount ? kCountRefusals : kSizeRefusals;
    switch (byCount ? JudgeCount(request.count, fileSize)
                    : JudgeSize(request.sizeValue, request.unitMultiplier, fileSize)) {
    case SplitNumber::Splittable:
        return byCount
                   ? PlanByCount(fileSize, request.count)
                   : PlanBySize(fileSize, PieceBytes(request.sizeValue, request.unitMultiplier));
    case SplitNumber::OnePiece:
    case SplitNumber::TooSmall:
        run.Hooks().ShowMessage(refusals.tooSmall);
        return std::nullopt;
    case SplitNumber::TooLarge:
        run.Hooks().ShowMessage(refusals.tooLarge);
        return std::nullopt;
    case SplitNumber::LargerThanFile:
        run.Hooks().ShowMessage("Размер части больше размера файла " + run.Name());
        return std::nullopt;
    }
    return std::nullopt;
}

// A split by size or by count: a whole set or no piece of it.
bool SplitBySizeOrCount(SplitRun& run) {
    const std::optional<PiecePlan> plan = PlanPieces(run);
    if (!plan) return false;
    KeptPieces kept;
    if (!OfferResume(run, *plan, kept)) return false;
    PiecesBeside pieces(run, *plan);
    FileStream source;
    if (!pieces.Prepare() || !pieces.OpenSource(source)) return false;
    int64_t done = 0;
    if (!CheckKeptPieces(run, *plan, source, kept, done)) return false;
    return pieces.Write(source, kept, done) && pieces.Finish();
}

void TellDone(SplitRun& run) {
    const std::string completed = "Разделение файла " + run.Name() + " завершенно";
    const std::string line = run.Recovery().DoneLine();
    run.Hooks().ShowMessage(line.empty() ? completed : completed + "\r\n" + line);
    run.Hooks().SetStatus(completed);
}

void SplitWithin(const SplitRequest& request, SplitHooks& hooks, const SplitSystem& system) {
    SplitRun run(request, hooks, system);
    if (!ReadyToSplit(run)) return;
    run.MeasureSource();
    run.Digests().Start();
    const bool done = run.Request().method == SplitMethod::OntoDisks ? SplitOntoDisks(run)
                                                                     : SplitBySizeOrCount(run);
    if (done) TellDone(run);
}

// More memory than the 32-bit process can have ends the split, not the program: the pieces
// written by then stay with their lines, as after any split cut short, to be resumed.
template <typename Split>
void SplitWithinMemory(const SplitRequest& request, SplitHooks& hooks, Split split) {
    try {
        split();
    } catch (const std::bad_alloc&) {
        hooks.ShowMessage("Недостаточно памяти для разделения файла " +
                          FileNamePart(request.sourcePath) + ". Разделение прервано.");
    }
}

} // namespace

void SplitFile(const SplitRequest& request, SplitHooks& hooks, const SplitSystem& system) {
    SplitWithinMemory(request, hooks, [&] { SplitWithin(request, hooks, system); });
}

void SplitFile(const SplitRequest& request, SplitHooks& hooks, const FreeSpaceQuery& freeSpace) {
    SplitWithinMemory(request, hooks, [&] {
        SplitSystem system;
        system.freeSpace = freeSpace;
        SplitWithin(request, hooks, system);
    });
}

void SplitFile(const SplitRequest& request, SplitHooks& hooks) {
    SplitWithinMemory(request, hooks, [&] { SplitWithin(request, hooks, SplitSystem()); });
}
