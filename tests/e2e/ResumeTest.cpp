// A split killed in the middle (TerminateProcess, as a power cut ends it) and started again on
// the same file with the same pieces: the program offers to go on, and the set it completes is
// byte-exact, its check file passes sha256sum and it joins.
#include <windows.h>

#include <gtest/gtest.h>

#include "Driver.h"
#include "SplitPage.h"
#include "TestFiles.h"
#include "engine/checkfile/CheckFile.h"
#include "engine/join/Join.h"
#include "engine/pieces/PieceSet.h"
#include "engine/split/Resume.h"

namespace {
const std::string Name = "data.bin";

int64_t ListedLines(const std::string& checkPath) {
    return static_cast<int64_t>(ParseCheckFile(ReadWholeFile(checkPath)).entries.size());
}

TEST(Resume, AKilledSplitIsContinuedToAByteExactSetThatChecksAndJoins) {
    TempFolder temp;
    const std::string bytes = PatternBytes(48 << 20, 5);
    WriteWholeFile(temp / Name, bytes);
    const std::string set = temp / "set\\";
    const std::string count = "192"; // pieces of 256 KiB
    const std::string checkPath = set + CheckFileName(Name);
    {
        VarnokProcess varnok;
        SplitControls split(varnok);
        ASSERT_TRUE(split.PrepareByCount(temp / Name, set, count));
        VarnokProcess::Click(split.split);
        // Piece 6 is made once pieces 1 to 5 are written and listed.
        const ULONGLONG deadline = GetTickCount64() + 30000;
        while (!FileExists(PiecePath(set, Name, 6)) && GetTickCount64() < deadline) Sleep(1);
        SuspendThread(varnok.Thread());
        TerminateProcess(varnok.Process(), 1);
        WaitForSingleObject(varnok.Process(), 5000);
    }
    const int64_t kept = ListedLines(checkPath);
    ASSERT_GE(kept, 5);
    ASSERT_LT(kept, 192) << "the split ended before it was killed";
    ASSERT_FALSE(FileExists(PiecePath(set, Name, 192)));

    VarnokProcess varnok;
    SplitControls split(varnok);
    ASSERT_TRUE(split.PrepareByCount(temp / Name, set, count));
    VarnokProcess::Click(split.split);
    const ShownBox question = varnok.WaitForBox();
    EXPECT_EQ(question.caption, "Varnok");
    EXPECT_EQ(question.text, ResumeQuestion(Name, kept));
    varnok.Answer(question, IDYES);
    const ShownBox done = varnok.WaitForBox(60000);
    EXPECT_EQ(done.text, "Разделение файла " + Name + " завершенно");
    varnok.Answer(done, IDOK);

    EXPECT_EQ(PieceSizes(set, Name).size(), 192u);
    EXPECT_TRUE(JoinedPieces(set, Name) == bytes) << "the set is not the file, byte for byte";
    RecordingHooks reference;
    SplitFile(SplitRequestFor(temp / Name, temp / "whole\\", SplitMethod::ByCount, 192), reference);
    EXPECT_EQ(ReadWholeFile(checkPath), ReadWholeFile(temp / "whole\\" + CheckFileName(Name)))
        << "the check file of an uninterrupted split, line for line";
    const auto checked = RunUnixShell("sha256sum -c --ignore-missing " + CheckFileName(Name), set);
    ASSERT_TRUE(checked.has_value());
    EXPECT_EQ(checked->exitCode, 0) << checked->output;

    CreateDirectoryA((temp / "out").c_str(), nullptr);
    RecordingHooks joined;
    JoinPieces(PiecePath(set, Name, 1), temp / "out\\", joined);
    EXPECT_TRUE(ReadWholeFile(temp / "out\\" + Name) == bytes) << "the joined file differs";
}
} // namespace
