// A split that ended without a goodbye (a killed program, a power cut) is picked up after the
// pieces its check file lists: the set then completes exactly as an uninterrupted split's,
// check file included; every set that cannot be trusted is split anew as before.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <iostream>

#include "TestFiles.h"
#include "engine/checkfile/CheckFile.h"
#include "engine/system/Utf8.h"
#include "engine/pieces/PieceSet.h"
#include "engine/split/Resume.h"
#include "engine/digest/Sha256.h"
#include "engine/digest/ShaInstructions.h"
#include "engine/split/Split.h"

namespace {

using Texts = std::vector<std::string>;
const std::string Name = "film.avi";

FILETIME LastWrite(const std::string& path) {
    FILETIME written{};
    HANDLE file = CreateFileA(path.c_str(), FILE_READ_ATTRIBUTES, FILE_SHARE_READ, nullptr,
                              OPEN_EXISTING, 0, nullptr);
    GetFileTime(file, nullptr, nullptr, &written);
    CloseHandle(file);
    return written;
}

// Dates the file back to 2001, so that any later write shows.
void DateBack(const std::string& path) {
    SYSTEMTIME old{2001, 1, 1, 1, 12, 0, 0, 0};
    FILETIME time{};
    SystemTimeToFileTime(&old, &time);
    HANDLE file =
        CreateFileA(path.c_str(), FILE_WRITE_ATTRIBUTES, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    SetFileTime(file, nullptr, nullptr, &time);
    CloseHandle(file);
}

bool SameTime(const FILETIME& a, const FILETIME& b) {
    return a.dwLowDateTime == b.dwLowDateTime && a.dwHighDateTime == b.dwHighDateTime;
}

// Every file of the folder with its bytes.
std::vector<std::pair<std::string, std::string>> Contents(const std::string& folder) {
    std::vector<std::pair<std::string, std::string>> all;
    for (const std::string& entry : FolderEntries(folder)) {
        all.emplace_back(entry, ReadWholeFile(folder + entry));
    }
    return all;
}

// Takes the system's SHA-256 for one scope, as a processor without the SHA extensions does.
struct SystemShaScope {
    explicit SystemShaScope(bool on) { PreferSystemSha256(on); }
    ~SystemShaScope() { PreferSystemSha256(false); }
};

// Asks to stop once a status holding the text has been shown.
struct StopAtStatus : ProgressHooks {
    std::string at;
    bool seen = false;
    void SetStatus(const std::string& text) override {
        RecordingHooks::SetStatus(text);
        seen = seen || (!at.empty() && text.find(at) != std::string::npos);
    }
    bool StopRequested() override { return seen; }
};

// One source, the set of an uninterrupted split of it, and a folder where an ended split
// left pieces 1 .. kept listed in the check file.
class ResumeTest : public ::testing::Test {
  protected:
    void SetUp() override { WriteWholeFile(source(), bytes); }

    std::string source() const { return temp / Name; }
    SplitRequest Request(const std::string& folder) const {
        SplitRequest request = method == SplitMethod::BySize
                                   ? SplitRequestFor(source(), folder, method, 1000)
                                   : SplitRequestFor(source(), folder, method, 7);
        request.recovery = recovery;
        return request;
    }
    // The uninterrupted split's folder.
    std::string Whole() {
        const std::string folder = temp / (recovery ? "whole with recovery\\" : "whole\\");
        if (!FileExists(folder + CheckFileName(Name))) {
            RecordingHooks hooks;
            SplitFile(Request(folder), hooks);
        }
        return folder;
    }
    // What an ended split leaves: pieces 1 .. kept and the check file listing them, and
    // partBytes of the piece it was writing.
    std::string Ended(int64_t kept, size_t partBytes) {
        const std::string whole = Whole();
        const std::string folder = temp / "ended\\";
        CreateDirectoryA(folder.c_str(), nullptr);
        for (int64_t n = 1; n <= kept; ++n) {
            WriteWholeFile(PiecePath(folder, Name, n), ReadWholeFile(PiecePath(whole, Name, n)));
            DateBack(PiecePath(folder, Name, n));
        }
        WriteWholeFile(folder + CheckFileName(Name),
                       FirstLines(ReadWholeFile(whole + CheckFileName(Name)), kept));
        if (partBytes > 0) {
            WriteWholeFile(PiecePath(folder, Name, kept + 1),
                           ReadWholeFile(PiecePath(whole, Name, kept + 1)).substr(0, partBytes));
        }
        return folder;
    }

    // The state file as it stood when a split began piece 4: what a killed split leaves.
    std::string StateWhenPiece4Begins() {
        struct Watch : RecordingHooks {
            std::string path, seen;
            void SetStatus(const std::string& text) override {
                RecordingHooks::SetStatus(text);
                if (text.find(PieceName(Name, 4)) != std::string::npos) seen = ReadWholeFile(path);
            }
        } watch;
        RemoveTree(temp / "run");
        watch.path = WholeStatePath(temp / "run\\", Name);
        SplitFile(Request(temp / "run\\"), watch);
        EXPECT_FALSE(FileExists(watch.path)) << "a complete set keeps no state";
        return watch.seen;
    }

    // Resumes an ended split of kept pieces beside that state file (none when empty).
    std::string ResumeWithState(const std::string& state, int64_t kept) {
        RemoveTree(temp / "ended");
        const std::string ended = Ended(kept, 100);
        if (!state.empty()) WriteWholeFile(WholeStatePath(ended, Name), state);
        RecordingHooks hooks;
        hooks.replies = {Reply::Yes};
        SplitFile(Request(ended), hooks);
        EXPECT_EQ(hooks.Of("message").back(), "Разделение файла " + Name + " завершенно");
        return ended;
    }

    TempFolder temp;
    const std::string bytes = PatternBytes(6500, 7);
    SplitMethod method = SplitMethod::BySize;
    bool recovery = false; // the splits write the recovery file too
};

TEST_F(ResumeTest, AnEndedSplitGoesOnToTheSameSetAsAnUninterruptedOne) {
    struct Case {
        SplitMethod method;
        int64_t kept;
        size_t partBytes;
    };
    // By size: pieces of 1000 bytes, the 7th of 500; by count: 7 pieces of 928 and one of 932.
    for (const Case& c : {Case{SplitMethod::BySize, 3, 400}, Case{SplitMethod::BySize, 3, 0},
                          Case{SplitMethod::BySize, 6, 999}, Case{SplitMethod::ByCount, 1, 10}}) {
        SCOPED_TRACE(testing::Message() << "kept " << c.kept << ", partial " << c.partBytes);
        method = c.method;
        RemoveTree(temp / "whole");
        RemoveTree(temp / "ended");
        const std::string whole = Whole();
        const std::string ended = Ended(c.kept, c.partBytes);
        std::vector<FILETIME> keptTimes;
        for (int64_t n = 1; n <= c.kept; ++n)
            keptTimes.push_back(LastWrite(PiecePath(ended, Name, n)));

        ProgressHooks hooks;
        hooks.replies = {Reply::Yes};
        SplitFile(Request(ended), hooks);
        EXPECT_EQ(hooks.Of("choose"), Texts{ResumeQuestion(Name, c.kept)});
        EXPECT_EQ(Contents(ended), Contents(whole)) << "pieces and check file, byte for byte";
        EXPECT_EQ(hooks.Of("message").back(), "Разделение файла " + Name + " завершенно");
        for (int64_t n = 1; n <= c.kept; ++n) {
            EXPECT_TRUE(SameTime(LastWrite(PiecePath(ended, Name, n)), keptTimes[n - 1]))
                << "kept piece " << n << " was written again";
        }
        // Each kept piece is checked once, with the status telling so, before the first write.
        Texts statuses = hooks.Of("status");
        for (int64_t n = 1; n <= c.kept; ++n)
            EXPECT_EQ(statuses[n - 1], CheckingKeptPieceText(Name, n));
        EXPECT_EQ(std::count_if(statuses.begin(), statuses.end(),
                                [](const std::string& s) { return s.rfind("Проверка", 0) == 0; }),
                  c.kept);
        // The progress runs once through the whole file, never back.
        ASSERT_FALSE(hooks.figures.empty());
        for (size_t i = 1; i < hooks.figures.size(); ++i)
            EXPECT_GE(hooks.figures[i].done, hooks.figures[i - 1].done);
        EXPECT_LE(hooks.figures.back().done, static_cast<int64_t>(bytes.size()));
        EXPECT_EQ(hooks.figures.back().total, static_cast<int64_t>(bytes.size()));
    }
}

// A split saves where the whole file's digest stands after each piece; an ended split's set
// with that state goes on from it (the kept bytes are hashed once, against their lines), and a
// state that is damaged, saved after other pieces or of other bytes is passed over for hashing
// them all. A processor without the SHA extensions saves no state: its resume hashes the kept
// bytes for the whole file too, to the same set.
TEST_F(ResumeTest, AnEndedSplitGoesOnFromTheStateItSavedAndOnlyFromThatOne) {
    std::string saved; // the processor's, which the system's path cannot use
    for (const bool processor : {true, false}) {
        if (processor && !HasShaInstructions()) {
            std::cout << "[ info ] this processor has no SHA extensions: their path is not run\n";
            continue;
        }
        SystemShaScope system(!processor);
        std::cout << (processor ? "[ info ] SHA-256 on the processor's SHA extensions\n"
                                : "[ info ] SHA-256 from the system, as on a processor without "
                                  "the SHA extensions\n");
        // With the recovery file too: it takes every piece's MD5 from the piece lane, which
        // then hashes the kept pieces and piece 1 as well.
        for (const bool withRecovery : {false, true}) {
            SCOPED_TRACE(testing::Message()
                         << "processor " << processor << ", recovery " << withRecovery);
            recovery = withRecovery;
            const std::string whole = Whole();
            const std::string seen = StateWhenPiece4Begins();
            EXPECT_EQ(seen.empty(), !processor) << "a state is saved on the processor's path only";
            if (processor) saved = seen;
            ASSERT_FALSE(saved.empty());
            EXPECT_EQ(Contents(ResumeWithState(saved, 3)), Contents(whole))
                << "the state is gone with the rest";
            std::string flipped = saved;
            flipped[flipped.find("state ") + 9] ^= 1;
            EXPECT_EQ(Contents(ResumeWithState(flipped, 3)), Contents(whole))
                << "a damaged state is not used";
            EXPECT_EQ(Contents(ResumeWithState(saved, 2)), Contents(whole))
                << "saved after another piece";
            EXPECT_EQ(Contents(ResumeWithState(std::string(), 3)), Contents(whole)) << "no state";
            EXPECT_EQ(FileExists(whole + Name + ".par2"), withRecovery);
        }
    }
}

// A state is used only for the kept pieces' own bytes: one of other bytes beside the right
// lines gives the whole file's line of those bytes, proof that the kept ones are not hashed
// again for it; one whose byte count is not the kept pieces' is passed over.
TEST_F(ResumeTest, AStateStandsForTheKeptBytesAndOnlyForAsManyAsTheyHold) {
    if (!HasShaInstructions()) {
        std::cout << "[ info ] SHA-256 from the system: no state is saved, nothing to check\n";
        return;
    }
    std::cout << "[ info ] SHA-256 on the processor's SHA extensions\n";
    const std::string whole = Whole();
    std::vector<std::string> keptDigits;
    for (int64_t n = 1; n <= 3; ++n) {
        const std::string piece = ReadWholeFile(PiecePath(whole, Name, n));
        keptDigits.push_back(*Sha256Of(piece.data(), piece.size()));
    }
    const StateBinding binding = *ListedDigits(keptDigits).Binding();
    const PiecePlan plan = PlanBySize(static_cast<int64_t>(bytes.size()), 1000);
    const auto resume = [&](const Sha256& at) {
        RemoveTree(temp / "ended");
        const std::string ended = Ended(3, 0);
        EXPECT_TRUE(SaveWholeState(WholeStatePath(ended, Name), binding, *at.SavedState()));
        const bool used = FindKeptPieces(ended, Name, plan).wholeState.has_value();
        RecordingHooks hooks;
        hooks.replies = {Reply::Yes};
        SplitFile(Request(ended), hooks);
        EXPECT_EQ(hooks.Of("message").back(), "Разделение файла " + Name + " завершенно");
        return std::pair{used, ReadWholeFile(ended + CheckFileName(Name))};
    };
    Sha256 other;
    other.Add(std::string(3000, 'x').data(), 3000);
    const auto [otherUsed, otherText] = resume(other);
    EXPECT_TRUE(otherUsed);
    other.Add(bytes.data() + 3000, bytes.size() - 3000);
    EXPECT_NE(otherText.find(*other.Finish() + "  " + Name), std::string::npos) << otherText;
    // The source's own first 2000 bytes: the lines are right, the byte count is not.
    Sha256 fewer;
    fewer.Add(bytes.data(), 2000);
    const auto [fewerUsed, fewerText] = resume(fewer);
    EXPECT_FALSE(fewerUsed);
    EXPECT_EQ(fewerText, ReadWholeFile(whole + CheckFileName(Name))) << "the whole file's line";
}

// A kept piece of its planned size whose bytes are not its line's (its tail zeroed, as a power
// cut leaves a piece whose line was written before its bytes) is written again from the
// source without a question. A resumed split stopped while it writes that piece or a later
// one keeps the earlier run's pieces and lines, and resumes again to the same set.
TEST_F(ResumeTest, AKeptPieceWhoseBytesAreNotItsLineIsWrittenAgainAndAStopKeepsTheEarlierRun) {
    PaceEveryBuffer pace;
    CopyBufferScope buffer(256);
    const std::string piece2 = "Разделение файла " + Name + " в " + PieceName(Name, 2);
    for (const bool withRecovery : {false, true}) {
        SCOPED_TRACE(withRecovery);
        recovery = withRecovery;
        const std::string whole = Whole();
        RemoveTree(temp / "ended");
        const std::string ended = Ended(3, 0);
        std::string zeroed = ReadWholeFile(PiecePath(whole, Name, 2));
        std::fill(zeroed.begin() + 600, zeroed.end(), '\0');
        WriteWholeFile(PiecePath(ended, Name, 2), zeroed);
        const FILETIME piece3Time = LastWrite(PiecePath(ended, Name, 3));
        const auto before = Contents(ended);

        StopAtStatus whileRewriting;
        whileRewriting.replies = {Reply::Yes};
        whileRewriting.at = piece2;
        SplitFile(Request(ended), whileRewriting);
        EXPECT_EQ(Contents(ended), before) << "the earlier run's piece stays until one is whole";

        StopAtStatus later;
        later.replies = {Reply::Yes};
        later.at = PieceName(Name, 5);
        SplitFile(Request(ended), later);
        EXPECT_TRUE(later.Of("ask").empty()) << "no question for the piece written again";
        EXPECT_TRUE(later.Of("message").empty());
        Texts entries = FolderEntries(ended);
        entries.erase(std::remove(entries.begin(), entries.end(), CheckFileName(Name) + ".~state"),
                      entries.end());
        EXPECT_EQ(entries, (Texts{CheckFileName(Name), PieceName(Name, 1), PieceName(Name, 2),
                                  PieceName(Name, 3)}));
        EXPECT_EQ(ReadWholeFile(ended + CheckFileName(Name)),
                  FirstLines(ReadWholeFile(whole + CheckFileName(Name)), 3));
        EXPECT_TRUE(ReadWholeFile(PiecePath(ended, Name, 2)) ==
                    ReadWholeFile(PiecePath(whole, Name, 2)));
        EXPECT_TRUE(SameTime(LastWrite(PiecePath(ended, Name, 3)), piece3Time));

        ProgressHooks again;
        again.replies = {Reply::Yes};
        SplitFile(Request(ended), again);
        EXPECT_EQ(again.Of("choose"), Texts{ResumeQuestion(Name, 3)});
        const Texts statuses = again.Of("status");
        EXPECT_EQ(std::count(statuses.begin(), statuses.end(), piece2), 0) << "whole by now";
        EXPECT_EQ(Contents(ended), Contents(whole)) << "check file and recovery file included";
        EXPECT_EQ(again.Of("message").back(), "Разделение файла " + Name + " завершенно");
    }
}

TEST_F(ResumeTest, StartingOverOrCancellingAtTheQuestion) {
    const std::string whole = Whole();
    {
        const std::string ended = Ended(3, 200);
        const FILETIME keptTime = LastWrite(PiecePath(ended, Name, 1));
        RecordingHooks hooks;
        hooks.replies = {Reply::No};
        SplitFile(Request(ended), hooks);
        EXPECT_EQ(Contents(ended), Contents(whole));
        EXPECT_FALSE(SameTime(LastWrite(PiecePath(ended, Name, 1)), keptTime))
            << "starting over writes piece 1 again";
        EXPECT_EQ(hooks.Of("status").front(),
                  "Разделение файла " + Name + " в " + PieceName(Name, 1))
            << "today's split, from piece 1";
    }
    RemoveTree(temp / "ended");
    const std::string ended = Ended(3, 200);
    const auto before = Contents(ended);
    RecordingHooks hooks;
    hooks.replies = {Reply::Cancel};
    SplitFile(Request(ended), hooks);
    EXPECT_EQ(Contents(ended), before) << "a cancel writes nothing";
    EXPECT_TRUE(hooks.Of("message").empty());
}

TEST_F(ResumeTest, SetsThatCannotBeTrustedAreSplitAnewWithoutAQuestion) {
    const std::string whole = Whole();
    struct Case {
        const char* what;
        std::function<void(const std::string& ended)> spoil;
        int64_t sizeValue;
    };
    const Case cases[] = {
        {"a listed piece of the wrong size",
         [](const std::string& e) { WriteWholeFile(PiecePath(e, Name, 2), "short"); }, 1000},
        {"a missing listed piece", [](const std::string& e) { RemoveFile(PiecePath(e, Name, 2)); },
         1000},
        {"another piece size asked", [](const std::string&) {}, 900},
        {"a complete set",
         [&](const std::string& e) {
             for (int64_t n = 4; n <= 7; ++n)
                 WriteWholeFile(PiecePath(e, Name, n), ReadWholeFile(PiecePath(whole, Name, n)));
             WriteWholeFile(e + CheckFileName(Name), ReadWholeFile(whole + CheckFileName(Name)));
         },
         1000},
        {"a check file of another shape",
         [](const std::string& e) {
             WriteWholeFile(e + CheckFileName(Name),
                            ReadWholeFile(e + CheckFileName(Name)) + "not a line\r\n");
         },
         1000},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        RemoveTree(temp / "ended");
        RemoveTree(temp / "fresh");
        const std::string ended = Ended(3, 0);
        c.spoil(ended);
        RecordingHooks hooks;
        SplitFile(SplitRequestFor(source(), ended, SplitMethod::BySize, c.sizeValue), hooks);
        EXPECT_TRUE(hooks.Of("choose").empty());
        RecordingHooks freshHooks;
        SplitFile(SplitRequestFor(source(), temp / "fresh\\", SplitMethod::BySize, c.sizeValue),
                  freshHooks);
        EXPECT_EQ(Contents(ended), Contents(temp / "fresh\\"));
        EXPECT_EQ(hooks.calls, freshHooks.calls) << "today's split, texts included";
    }
}

TEST_F(ResumeTest, ASourceChangedInAKeptPieceIsToldAndStartsOverOnlyWhenTheUserAgrees) {
    const std::string whole = Whole();
    const std::string ended = Ended(3, 0);
    // Byte 1500 lies in piece 2.
    std::string changed = bytes;
    changed[1500] ^= 0x55;
    WriteWholeFile(source(), changed);
    const auto before = Contents(ended);

    RecordingHooks refused;
    refused.replies = {Reply::Yes};
    refused.answers = {false};
    SplitFile(Request(ended), refused);
    EXPECT_EQ(refused.Of("ask"), Texts{KeptPieceDiffersQuestion(Name, 2)});
    EXPECT_NE(KeptPieceDiffersQuestion(Name, 2).find(PieceName(Name, 2)), std::string::npos);
    EXPECT_EQ(Contents(ended), before) << "nothing written without the user's consent";

    RecordingHooks agreed;
    agreed.replies = {Reply::Yes};
    agreed.answers = {true};
    SplitFile(Request(ended), agreed);
    RecordingHooks fresh;
    SplitFile(Request(temp / "fresh\\"), fresh);
    EXPECT_EQ(Contents(ended), Contents(temp / "fresh\\")) << "the changed source's set";
    EXPECT_EQ(JoinedPieces(ended, Name), changed);
}

TEST_F(ResumeTest, AStopWhileCheckingOrWritingLeavesTheEarlierRunsSetToResumeAgain) {
    const std::string whole = Whole();
    PaceEveryBuffer pace;
    CopyBufferScope buffer(256);
    {
        const std::string ended = Ended(3, 0);
        const auto before = Contents(ended);
        ProgressHooks hooks;
        hooks.replies = {Reply::Yes};
        hooks.stopAtYield = 3; // inside the reading of the kept pieces
        SplitFile(Request(ended), hooks);
        EXPECT_LT(hooks.figures.back().done, 3000);
        EXPECT_EQ(Contents(ended), before) << "nothing was written, nothing is taken";
    }
    RemoveTree(temp / "ended");
    const std::string ended = Ended(3, 0);
    ProgressHooks hooks;
    hooks.replies = {Reply::Yes};
    hooks.stopAtYield = 25; // while piece 5 is written
    SplitFile(Request(ended), hooks);
    EXPECT_GT(hooks.figures.back().done, 3000);
    // The earlier run's pieces and lines stay, and the state after them where one is saved.
    Texts left{CheckFileName(Name), PieceName(Name, 1), PieceName(Name, 2), PieceName(Name, 3)};
    if (HasShaInstructions()) left.insert(left.begin() + 1, CheckFileName(Name) + ".~state");
    EXPECT_EQ(FolderEntries(ended), left);
    EXPECT_EQ(ReadWholeFile(ended + CheckFileName(Name)),
              FirstLines(ReadWholeFile(whole + CheckFileName(Name)), 3));
    EXPECT_EQ(FindKeptPieces(ended, Name, PlanBySize(static_cast<int64_t>(bytes.size()), 1000))
                  .wholeState.has_value(),
              HasShaInstructions());
    RecordingHooks again;
    again.replies = {Reply::Yes};
    SplitFile(Request(ended), again);
    EXPECT_EQ(Contents(ended), Contents(whole));
}

TEST(ResumeJudging, OnlyASetListedInOrderWithItsPlannedSizesIsKept) {
    TempFolder temp;
    const PiecePlan plan = PlanBySize(2500, 1000);
    const std::string digits(64, 'a');
    WriteWholeFile(temp / "a_1.brf", std::string(1000, 'x'));
    WriteWholeFile(temp / "a_2.brf", std::string(1000, 'y'));
    const std::string lines = CheckLine(digits, "a_1.brf") + CheckLine(digits, "a_2.brf");
    WriteWholeFile(temp / "a.sha256", lines);
    EXPECT_EQ(FindKeptPieces(temp.Path(), "a", plan).Count(), 2);
    // Names in UTF-8, as another tool may write them, name the same pieces.
    WriteWholeFile(temp / "ф_1.brf", std::string(1000, 'x'));
    WriteWholeFile(temp / "ф.sha256", digits + "  " + Utf8FromCp1251("ф_1.brf") + "\n");
    EXPECT_EQ(FindKeptPieces(temp.Path(), "ф", plan).digests, Texts{digits});
    for (const std::string& text :
         {std::string(), CheckLine(digits, "a_2.brf") + CheckLine(digits, "a_1.brf"),
          lines + CheckLine(digits, "a"), CheckLine(digits, "b_1.brf"),
          lines + CheckLine(digits, "a_3.brf")}) {
        WriteWholeFile(temp / "a.sha256", text);
        EXPECT_EQ(FindKeptPieces(temp.Path(), "a", plan).Count(), 0) << text;
    }
    RemoveFile(temp / "a.sha256");
    EXPECT_EQ(FindKeptPieces(temp.Path(), "a", plan).Count(), 0) << "no check file";
}
} // namespace
