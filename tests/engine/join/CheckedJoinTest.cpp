// The join of a set with its check file: every fault the file reveals refuses the set and
// names the piece, with the older output untouched and no gathering file left.
#include <gtest/gtest.h>

#include "TestFiles.h"
#include "engine/join/Join.h"
#include "engine/pieces/PieceSet.h"
#include "engine/digest/Sha256.h"
#include "engine/split/Split.h"

namespace {

using Texts = std::vector<std::string>;

struct CheckedJoin : ::testing::Test {
    TempFolder pieces, target;
    const std::string bytes = PatternBytes(10000, 31);

    void SetUp() override {
        WriteWholeFile(pieces / "film.avi", bytes);
        RecordingHooks split;
        SplitFile(SplitRequestFor(pieces / "film.avi", pieces.Path(), SplitMethod::BySize, 2500),
                  split);
        ASSERT_EQ(split.Of("message"), Texts{"Разделение файла film.avi завершенно"});
        RemoveFile(pieces / "film.avi");
        WriteWholeFile(target / "film.avi", "the old file");
    }

    std::string Piece(int64_t n) const { return PiecePath(pieces.Path(), "film.avi", n); }
    std::string CheckPath() const { return pieces / "film.avi.sha256"; }

    // Joins and expects exactly the one refusal, with the old output as it was.
    void ExpectRefused(const std::string& text) {
        RecordingHooks hooks;
        JoinPieces(Piece(1), target.Path(), hooks);
        EXPECT_EQ(hooks.Of("message"), Texts{text});
        EXPECT_TRUE(hooks.Of("status").empty() ||
                    hooks.Of("status").back().find(" завершенно") == std::string::npos);
        EXPECT_EQ(ReadWholeFile(target / "film.avi"), "the old file");
        EXPECT_EQ(FolderEntries(target.Path()), Texts{"film.avi"}) << "no gathering file";
    }

    std::string Damaged(int64_t n) const {
        return "Часть " + Piece(n) +
               " повреждена или изменена после разделения: её сумма SHA-256 не совпадает с "
               "указанной в film.avi.sha256. Соединение прервано.";
    }

    std::string Done() const {
        return "Востановление файла " + target.Path() + "film.avi завершенно";
    }
};

} // namespace

TEST_F(CheckedJoin, AWholeSetIsJoinedAndSaysItWasChecked) {
    RecordingHooks hooks;
    JoinPieces(Piece(3), target.Path(), hooks);
    EXPECT_EQ(hooks.Of("message"), Texts{Done() + "\r\nВсе части проверены по film.avi.sha256."});
    EXPECT_EQ(hooks.Of("status").back(), Done()) << "the status text stays as it was";
    EXPECT_TRUE(ReadWholeFile(target / "film.avi") == bytes);
}

TEST_F(CheckedJoin, MissingPiecesAreNamedAlsoAtTheEnd) {
    for (int64_t n : {2, 4}) {
        SCOPED_TRACE(n);
        const std::string kept = ReadWholeFile(Piece(n));
        RemoveFile(Piece(n));
        ExpectRefused("Часть " + Piece(n) + " не найдена!");
        WriteWholeFile(Piece(n), kept);
    }
    RemoveFile(Piece(3));
    RemoveFile(Piece(4));
    ExpectRefused("Части " + Piece(3) + ", " + Piece(4) + " не найдены!");
}

TEST_F(CheckedJoin, AChangedByteOrAShortPieceStopsTheJoinAndIsNamed) {
    // The first piece, whose bytes start the whole file's digest too, and one after it.
    for (int64_t n : {1, 2}) {
        SCOPED_TRACE(n);
        std::string piece = ReadWholeFile(Piece(n));
        const std::string original = piece;
        piece[1234] ^= 0x01;
        WriteWholeFile(Piece(n), piece);
        ExpectRefused(Damaged(n));
        WriteWholeFile(Piece(n), original);
    }
    WriteWholeFile(Piece(4), ReadWholeFile(Piece(4)).substr(0, 2499));
    ExpectRefused(Damaged(4));
    // A copy that appended bytes to a piece is caught the same way.
    WriteWholeFile(Piece(4), bytes.substr(7500) + "x");
    ExpectRefused(Damaged(4));
}

TEST_F(CheckedJoin, APieceBeyondTheSetIsNeverJoined) {
    WriteWholeFile(Piece(5), "not of this set");
    ExpectRefused("Часть " + Piece(5) +
                  " не входит в набор, указанный в film.avi.sha256. Уберите её из папки и "
                  "соедините снова.");
}

TEST_F(CheckedJoin, ACheckFileWithoutTheWholeFileLineTellsOfAnUnfinishedSplit) {
    const std::string text = ReadWholeFile(CheckPath());
    // Pieces 1 to 3 listed: the split stopped (or the last disk was not copied) after piece 3.
    WriteWholeFile(CheckPath(), text.substr(0, text.find("film.avi_4.brf")).substr(0, 3 * 82));
    ExpectRefused("Набор частей " + pieces.Path() +
                  "film.avi не полон: разделение не было завершено или скопированы не все "
                  "диски. В файле проверки film.avi.sha256 нет строки всего файла; последняя "
                  "указанная в нём часть: " +
                  Piece(3) + ".");
    WriteWholeFile(CheckPath(), "");
    ExpectRefused("Набор частей " + pieces.Path() +
                  "film.avi не полон: разделение не было завершено или скопированы не все "
                  "диски. В файле проверки film.avi.sha256 нет строки всего файла; в нём не "
                  "указано ни одной части.");
}

TEST_F(CheckedJoin, AGarbledOrForeignCheckFileIsToldAndNothingIsWritten) {
    const std::string text = ReadWholeFile(CheckPath());
    std::string garbled = text;
    garbled[82 + 10] = 'z'; // a digit of line 2
    WriteWholeFile(CheckPath(), garbled);
    ExpectRefused("Файл проверки " + CheckPath() +
                  " повреждён: строка 2 не в виде «сумма SHA-256, два пробела, имя файла».");
    std::string foreign = text;
    foreign.replace(foreign.find("film.avi_2.brf"), 14, "other.avi_2.brf");
    WriteWholeFile(CheckPath(), foreign);
    ExpectRefused("Файл проверки " + CheckPath() +
                  " относится к другому набору частей: в нём указан файл other.avi_2.brf.");
    // Pieces listed out of their order are no set of this file either.
    std::string swapped = text.substr(82, 82) + text.substr(0, 82) + text.substr(164);
    WriteWholeFile(CheckPath(), swapped);
    ExpectRefused("Файл проверки " + CheckPath() +
                  " относится к другому набору частей: в нём указан файл film.avi_2.brf.");
    {
        LockedFile held(CheckPath());
        ASSERT_TRUE(held.IsOpen());
        ExpectRefused("Невозможно прочитать файл проверки " + CheckPath() + "!");
    }
}

TEST_F(CheckedJoin, RecoveryFileLinesAfterTheWholeFileLineAreTakenAndNoOtherLine) {
    const std::string text = ReadWholeFile(CheckPath());
    const std::string digits(64, 'a');
    // A disk of the set lists the recovery files it holds after the whole file's line.
    WriteWholeFile(CheckPath(),
                   text + digits + "  film.avi.par2\r\n" + digits + "  FILM.AVI.vol07+1.par2\n");
    RecordingHooks hooks;
    JoinPieces(Piece(1), target.Path(), hooks);
    EXPECT_EQ(hooks.Of("message"), Texts{Done() + "\r\nВсе части проверены по film.avi.sha256."});
    EXPECT_EQ(ReadWholeFile(target / "film.avi"), bytes);
    WriteWholeFile(target / "film.avi", "the old file");
    // Before the whole file's line, or a name that is no recovery file of the set: refused.
    for (const std::string& name :
         {std::string("film.avi.vol7.par2"), std::string("film.avi.volA+1.par2"),
          std::string("other.avi.par2"), std::string("film.avi.par2.txt")}) {
        WriteWholeFile(CheckPath(), text + digits + "  " + name + "\r\n");
        ExpectRefused("Файл проверки " + CheckPath() +
                      " относится к другому набору частей: в нём указан файл " + name + ".");
    }
    const size_t whole = text.rfind("  film.avi\r\n");
    ASSERT_NE(whole, std::string::npos);
    const size_t lineStart = text.rfind('\n', whole) + 1;
    WriteWholeFile(CheckPath(), text.substr(0, lineStart) + digits + "  film.avi.par2\r\n" +
                                    text.substr(lineStart));
    ExpectRefused("Файл проверки " + CheckPath() +
                  " относится к другому набору частей: в нём указан файл film.avi.par2.");
}

TEST_F(CheckedJoin, WithoutACheckFileTheJoinIsAsItAlwaysWas) {
    RemoveFile(CheckPath());
    RemoveFile(Piece(4));
    // The set simply ends earlier: nothing can tell that piece 4 is missing.
    RecordingHooks hooks;
    JoinPieces(Piece(1), target.Path(), hooks);
    EXPECT_EQ(hooks.Of("message"), Texts{Done()});
    EXPECT_TRUE(ReadWholeFile(target / "film.avi") == bytes.substr(0, 7500));
    // And a changed byte is joined as it stands.
    std::string piece = ReadWholeFile(Piece(2));
    piece[0] ^= 0x40;
    WriteWholeFile(Piece(2), piece);
    RecordingHooks again;
    JoinPieces(Piece(1), target.Path(), again);
    EXPECT_EQ(again.Of("message"), Texts{Done()});
    EXPECT_EQ(ReadWholeFile(target / "film.avi").substr(2500, 2500), piece);
}

TEST_F(CheckedJoin, ADigestThatFailsIsToldAsSuchAndNotAsADamagedPiece) {
    // Each digest of the join fails past 1000 bytes: piece 1's already.
    struct Scope {
        Scope() { FailSha256After(1000); }
        ~Scope() { FailSha256After(std::nullopt); }
    } failing;
    ExpectRefused("Невозможно вычислить сумму SHA-256 файла " + Piece(1) + "!");
}

TEST_F(CheckedJoin, PiecesThatEachMatchButMakeAnotherFileAreNotWritten) {
    // Every piece line right, the whole-file line another file's: as when the lines of two
    // splits were put together.
    const std::string text = ReadWholeFile(CheckPath());
    const size_t whole = text.rfind("  film.avi\r\n") - 64;
    const std::string other = PatternBytes(10000, 32);
    const std::optional<std::string> digits = Sha256Of(other.data(), other.size());
    ASSERT_TRUE(digits);
    WriteWholeFile(CheckPath(), text.substr(0, whole) + *digits + text.substr(whole + 64));
    ExpectRefused("Соединённый файл film.avi не совпадает со своей строкой в film.avi.sha256: "
                  "файл не записан.");
    // With nothing under the output's name before, nothing is there after.
    RemoveFile(target / "film.avi");
    RecordingHooks hooks;
    JoinPieces(Piece(1), target.Path(), hooks);
    EXPECT_EQ(hooks.Of("message").size(), 1u);
    EXPECT_TRUE(FolderEntries(target.Path()).empty());
}
