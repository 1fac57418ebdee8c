// A set written onto three disks, joined from the window straight from a removable drive: Wine
// maps a free drive letter to a folder and reports it removable, and the test swaps what the
// folder holds at each prompt, as a user swaps disks.
#include <windows.h>

#include <shlobj.h>
#include <winioctl.h>

#include <gtest/gtest.h>

#include <cstring>

#include "DiskSets.h"
#include "Driver.h"
#include "SplitPage.h"
#include "TestFiles.h"

namespace {

// Wine's mount manager request that defines a drive letter over a Unix folder, with the type
// the letter reports (the one its configuration tool sends).
struct WineUnixDrive {
    ULONG size;
    ULONG type;
    ULONG fsType;
    DWORD serial;
    ULONGLONG unixDevice;
    WCHAR letter;
    USHORT mountPointOffset;
    USHORT deviceOffset;
    USHORT labelOffset;
};
constexpr DWORD kDefineUnixDrive =
    CTL_CODE('m', 32, METHOD_BUFFERED, FILE_READ_ACCESS | FILE_WRITE_ACCESS);

// The Unix path of a Windows path, from Wine's kernel32; empty when unknown.
std::string UnixPathOf(const std::string& windowsPath) {
    using Lookup = char*(__cdecl*)(const wchar_t*);
    const auto lookup = reinterpret_cast<Lookup>(reinterpret_cast<void*>(
        GetProcAddress(GetModuleHandleA("kernel32.dll"), "wine_get_unix_file_name")));
    if (!lookup) return {};
    const std::wstring wide(windowsPath.begin(), windowsPath.end());
    char* unix = lookup(wide.c_str());
    if (!unix) return {};
    std::string path = unix;
    HeapFree(GetProcessHeap(), 0, unix);
    return path;
}

// A free drive letter over a folder, reported removable, for the life of the object.
class RemovableLetter {
  public:
    explicit RemovableLetter(const std::string& folder) {
        const std::string unixPath = UnixPathOf(folder);
        const DWORD used = GetLogicalDrives();
        for (char c = 'R'; c <= 'Y' && letter_ == 0; ++c)
            if (!(used & (1u << (c - 'A')))) letter_ = c;
        if (unixPath.empty() || letter_ == 0) return;
        made_ = Define(unixPath) && GetDriveTypeA(Root().c_str()) == DRIVE_REMOVABLE;
    }
    ~RemovableLetter() {
        if (letter_ != 0) Define({});
    }
    RemovableLetter(const RemovableLetter&) = delete;
    RemovableLetter& operator=(const RemovableLetter&) = delete;

    bool Made() const { return made_; }
    std::string Letter() const { return std::string(1, letter_); }
    std::string Root() const { return Letter() + ":\\"; }

  private:
    // An empty path takes the letter away again.
    bool Define(const std::string& unixPath) {
        HANDLE manager =
            CreateFileW(L"\\\\.\\MountPointManager", GENERIC_READ | GENERIC_WRITE,
                        FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
        if (manager == INVALID_HANDLE_VALUE) return false;
        std::vector<char> request(sizeof(WineUnixDrive) + unixPath.size() + 1, '\0');
        WineUnixDrive drive{};
        drive.size = static_cast<ULONG>(request.size());
        drive.type = DRIVE_REMOVABLE;
        drive.letter = static_cast<WCHAR>(letter_ - 'A' + 'a');
        drive.mountPointOffset = unixPath.empty() ? 0 : sizeof(WineUnixDrive);
        std::memcpy(request.data(), &drive, sizeof drive);
        std::memcpy(request.data() + sizeof drive, unixPath.c_str(), unixPath.size());
        DWORD returned = 0;
        const BOOL done =
            DeviceIoControl(manager, kDefineUnixDrive, request.data(),
                            static_cast<DWORD>(request.size()), nullptr, 0, &returned, nullptr);
        CloseHandle(manager);
        return done != 0;
    }

    char letter_ = 0;
    bool made_ = false;
};

// Waits for the box, checks its text and, as the user, puts disk into the drive before Yes.
void AnswerWithDisk(VarnokProcess& varnok, DiskDrive& drive, const std::string& text, size_t disk) {
    const ShownBox box = varnok.WaitForBox();
    EXPECT_EQ(box.caption, "Varnok");
    EXPECT_EQ(box.text, text);
    drive.Insert(disk);
    varnok.Answer(box, IDYES);
}

// The question for the disk with piece n; pastTheEnd while the count is not known after a lost
// disk.
std::string AskForPiece(const std::string& letter, int n, bool pastTheEnd = false) {
    return "Вставте диск " + letter + " с частью film.avi_" + std::to_string(n) + ".brf" +
           (pastTheEnd ? " или, если такой части в наборе нет (потерян последний диск), диск с "
                         "томами восстановления"
                       : "") +
           ".\r\n«Да» — диск вставлен, «Нет» — этого диска нет (часть будет восстановлена по "
           "томам восстановления, если их хватит), «Отмена» — прервать соединение.";
}

} // namespace

TEST(DiskJoin, ASetOnThreeDisksIsJoinedFromTheDriveAsEachDiskIsAskedFor) {
    TempFolder temp;
    DiskDrive drive(temp.Path());
    const std::string bytes = PatternBytes(30000, 61);
    ASSERT_EQ(drive.WriteSet("film.avi", bytes, {12000, 12000, 12000}), 3u);
    RemovableLetter mapped(drive.Root());
    ASSERT_TRUE(mapped.Made()) << "Wine gave no removable drive letter";
    const std::string letter = mapped.Letter();
    auto ask = [&](int n) { return AskForPiece(letter, n); };

    // The user starts from the piece of disk 2: piece 1 is asked for first.
    drive.Insert(2);
    VarnokProcess varnok;
    const std::string out = temp / "out\\";
    ASSERT_TRUE(StartJoin(varnok, mapped.Root() + "film.avi_2.brf", out));
    AnswerWithDisk(varnok, drive, ask(1), 1);
    AnswerWithDisk(varnok, drive, ask(2), 2);
    // Disk 1 again by mistake: the prompt names the piece it lacks.
    AnswerWithDisk(varnok, drive, ask(3), 1);
    AnswerWithDisk(varnok, drive, "На диске " + letter + " нет части film.avi_3.brf.\r\n" + ask(3),
                   3);
    const ShownBox done = varnok.WaitForBox();
    const std::string completed = "Востановление файла " + out + "film.avi завершенно";
    EXPECT_EQ(done.text, completed +
                             "\r\nВсе части проверены по film.avi.sha256.\r\nНабор частей собран "
                             "с 3 дисков.");
    varnok.Answer(done, IDOK);
    EXPECT_TRUE(WaitUntil([&] { return varnok.StatusText(1) == completed; }));
    EXPECT_TRUE(ReadWholeFile(out + "film.avi") == bytes);
    JoinControls join(varnok);
    EXPECT_EQ(VarnokProcess::ListItems(join.list),
              (std::vector<std::string>{mapped.Root() + "film.avi_1.brf",
                                        mapped.Root() + "film.avi_2.brf",
                                        mapped.Root() + "film.avi_3.brf"}));

    // Joined again and cancelled at the second prompt: the file joined before stays whole.
    VarnokProcess::Click(join.join);
    AnswerWithDisk(varnok, drive, ask(1), 1);
    const ShownBox second = varnok.WaitForBox();
    EXPECT_EQ(second.text, ask(2));
    varnok.Answer(second, IDCANCEL);
    EXPECT_TRUE(WaitUntil([&] {
        return varnok.StatusText(1) == "Востановление файла " + out + "film.avi прервано";
    }));
    EXPECT_FALSE(varnok.HasBoxOpen());
    EXPECT_TRUE(ReadWholeFile(out + "film.avi") == bytes);
    EXPECT_EQ(FolderEntries(out), std::vector<std::string>{"film.avi"}) << "no gathering file";
}

// A set on three disks with its recovery volume on the last: the user answers "Нет" for disk 2
// in the window's box, and the piece is rebuilt from the volume.
TEST(DiskJoin, ADiskAnsweredNoInTheBoxIsRebuiltFromTheVolumeOnTheLastDisk) {
    TempFolder temp;
    DiskDrive drive(temp.Path());
    const std::string bytes = PatternBytes(30000, 63);
    ASSERT_EQ(drive.WriteVolumeSet("film.avi", bytes, 12000, 1, 1), 3u);
    RemovableLetter mapped(drive.Root());
    ASSERT_TRUE(mapped.Made()) << "Wine gave no removable drive letter";
    const std::string letter = mapped.Letter();

    drive.Insert(1);
    VarnokProcess varnok;
    const std::string out = temp / "out\\";
    ASSERT_TRUE(StartJoin(varnok, mapped.Root() + "film.avi_1.brf", out));
    const ShownBox second = varnok.WaitForBox();
    EXPECT_EQ(second.text, AskForPiece(letter, 2));
    varnok.Answer(second, IDNO);
    AnswerWithDisk(varnok, drive, AskForPiece(letter, 3, true), 3);
    const ShownBox done = varnok.WaitForBox(20000);
    const std::string completed = "Востановление файла " + out + "film.avi завершенно";
    EXPECT_EQ(done.text, completed +
                             "\r\nВсе части проверены по film.avi.sha256.\r\nНабор частей собран "
                             "с 2 дисков.\r\nЧасть 2 восстановлена по томам восстановления.");
    varnok.Answer(done, IDOK);
    EXPECT_TRUE(WaitUntil([&] { return varnok.StatusText(1) == completed; }));
    EXPECT_TRUE(ReadWholeFile(out + "film.avi") == bytes);
    EXPECT_EQ(FolderEntries(out), std::vector<std::string>{"film.avi"}) << "no work file is left";
}

namespace {

// The user's documents folder as the program finds it, ending in "\".
std::string DocumentsFolder() {
    char path[MAX_PATH] = {};
    if (FAILED(SHGetFolderPathA(nullptr, CSIDL_PERSONAL, nullptr, 0, path))) return {};
    const std::string folder = path;
    return folder.empty() || folder.back() == '\\' ? folder : folder + "\\";
}

} // namespace

// A whole set on a stick, one piece lost and the recovery file beside it: a piece dropped from
// the stick gets an output folder off the stick (the documents at first, then the folder of the
// last join), and the join rebuilds the lost piece without asking for any disk.
TEST(DiskJoin, APieceOnAStickGetsAFolderOffTheStickAndAWholeSetThereIsRebuiltWhereItIs) {
    TempFolder temp;
    DiskDrive drive(temp.Path());
    const std::string bytes = PatternBytes(30000, 62);
    WriteWholeFile(temp / "film.avi", bytes);
    SplitRequest request =
        SplitRequestFor(temp / "film.avi", drive.Root(), SplitMethod::BySize, 12000);
    request.recovery = true;
    RecordingHooks split;
    SplitFile(request, split);
    ASSERT_TRUE(RemoveFile(drive.Root() + "film.avi_2.brf"));
    RemovableLetter mapped(drive.Root());
    ASSERT_TRUE(mapped.Made()) << "Wine gave no removable drive letter";
    const std::string piece = mapped.Root() + "film.avi_1.brf";
    const std::string documents = DocumentsFolder();
    ASSERT_FALSE(documents.empty());

    VarnokProcess varnok;
    varnok.ChooseMenuItem(varnok.ReadMenu().ids[2]); // "Соединить" under "&Файл"
    JoinControls join(varnok);
    varnok.Drop(varnok.Page(1), {piece});
    EXPECT_TRUE(WaitUntil([&] { return VarnokProcess::Text(join.piece) == piece; }));
    EXPECT_EQ(VarnokProcess::Text(join.folder), documents) << "the first in this run";

    const std::string out = temp / "out\\";
    VarnokProcess::Type(join.folder, out);
    VarnokProcess::Click(join.join);
    const ShownBox done = varnok.WaitForBox(20000);
    const std::string completed = "Востановление файла " + out + "film.avi завершенно";
    EXPECT_EQ(done.text, completed + "\r\nВсе части проверены по film.avi.sha256.\r\nЧасть 2 "
                                     "восстановлена по film.avi.par2.");
    varnok.Answer(done, IDOK);
    EXPECT_TRUE(ReadWholeFile(out + "film.avi") == bytes);
    EXPECT_FALSE(FileExists(drive.Root() + "film.avi_2.brf")) << "the set is left as it was";

    // Dropped again: the folder of that join.
    VarnokProcess::Type(join.folder, "");
    varnok.Drop(varnok.Page(1), {piece});
    EXPECT_TRUE(WaitUntil([&] { return VarnokProcess::Text(join.folder) == out; }))
        << VarnokProcess::Text(join.folder);
    EXPECT_FALSE(varnok.HasBoxOpen());
}
