#include "engine/Split.h"

#include <algorithm>
#include <limits>

#include "engine/FileServices.h"
#include "engine/PieceSet.h"

namespace {

constexpr int64_t kLargestNumber = std::numeric_limits<int32_t>::max();

// One split in progress: the request, the hooks and the source's name.
class Splitter {
  public:
    Splitter(const SplitRequest& request, SplitHooks& hooks, const FreeSpaceQuery& freeSpace)
        : request_(request), hooks_(hooks), freeSpace_(freeSpace),
          name_(FileNamePart(request.sourcePath)) {}

    void Run() {
        if (!IsExistingFile(request_.sourcePath)) {
            hooks_.ShowMessage("Файл " + name_ + " не найден.");
            return;
        }
        if (!IsExistingFolder(request_.targetFolder) && !MakeFolder(request_.targetFolder)) {
            hooks_.ShowMessage("Невозможно создание папки для частей файла!");
            return;
        }
        if (!IsExistingFile(request_.sourcePath)) {
            hooks_.ShowMessage("File " + name_ + " not found.");
            return;
        }
        bool done = false;
        switch (request_.method) {
        case SplitMethod::ByCount:
            done = ByCount();
            break;
        case SplitMethod::BySize:
            done = BySize();
            break;
        case SplitMethod::OntoDisks:
            done = OntoDisks();
            break;
        }
        if (!done) return;
        const std::string completed = "Разделение файла " + name_ + " завершенно";
        hooks_.ShowMessage(completed);
        hooks_.SetStatus(completed);
    }

  private:
    int64_t SourceSize() const { return static_cast<int64_t>(LookupFileSize(request_.sourcePath)); }

    bool OpenSource(FileStream& source) {
        source = OpenReadStream(request_.sourcePath);
        if (source.IsOpen()) return true;
        hooks_.ShowMessage("Невозможно открыть файл " + name_ + " для чтения!");
        return false;
    }

    // Opens a piece (or the whole-file copy) for writing; failText tells the user otherwise.
    bool OpenTarget(FileStream& target, const std::string& path, const std::string& failText) {
        target = OpenWriteStream(path);
        if (target.IsOpen()) return true;
        hooks_.ShowMessage(failText);
        return false;
    }

    bool OpenPiece(FileStream& piece, const std::string& path) {
        return OpenTarget(piece, path, "Невозможно создание части " + path + "!");
    }

    // Copies size bytes into the open target and reports one that did not get them all.
    // Pieces for removable disks are flushed, since the user takes the disk out right after.
    bool Fill(FileStream& target, FileStream& source, int64_t size, const std::string& failText,
              bool flush) {
        CopyResult copied = CopyStreamBytes(target, source, size);
        if (copied.written == size && (!flush || target.Flush())) return true;
        hooks_.ShowMessage(copied.sourceShort ? "Невозможно прочитать файл " + name_ + " полностью!"
                                              : failText);
        return false;
    }

    bool FillPiece(FileStream& piece, FileStream& source, int64_t size, const std::string& path,
                   bool flush) {
        return Fill(piece, source, size, "Невозможно записать часть " + path + " полностью!",
                    flush);
    }

    bool ByCount() {
        const int64_t count = request_.count;
        const int64_t fileSize = SourceSize();
        if (count <= 1) {
            hooks_.ShowMessage("Количество частей меньше или равно 1");
            return false;
        }
        if (count > kLargestNumber) {
            hooks_.ShowMessage("Количество частей слишком велико");
            return false;
        }
        if (count > fileSize) {
            hooks_.ShowMessage("Размер части больше размера файла " + name_);
            return false;
        }
        const PiecePlan plan = PlanByCount(fileSize, count);
        hooks_.KeepResponsive();
        FileStream source;
        if (!OpenSource(source)) return false;
        for (int64_t n = 1; n <= plan.count; ++n) {
            hooks_.KeepResponsive();
            const std::string path = PiecePath(request_.targetFolder, name_, n);
            FileStream piece;
            if (!OpenPiece(piece, path)) return false;
            hooks_.SetStatus("Разделение файла " + name_ + " to " + PieceName(name_, n));
            if (!FillPiece(piece, source, plan.SizeOf(n), path, false)) return false;
        }
        hooks_.KeepResponsive();
        return true;
    }

    bool BySize() {
        const int64_t fileSize = SourceSize();
        if (request_.sizeValue > kLargestNumber) {
            hooks_.ShowMessage("Размер части слишком велик");
            return false;
        }
        // A value below 1 is refused before the product: a large negative one times the unit
        // would wrap round to a positive size.
        const int64_t pieceSize =
            request_.sizeValue < 1 ? 0 : request_.sizeValue * request_.unitMultiplier;
        if (pieceSize < 1) {
            hooks_.ShowMessage("Размер части менее 1 байта");
            return false;
        }
        if (pieceSize > fileSize) {
            hooks_.ShowMessage("Размер части больше размера файла " + name_);
            return false;
        }
        const PiecePlan plan = PlanBySize(fileSize, pieceSize);
        FileStream source;
        if (!OpenSource(source)) return false;
        for (int64_t n = 1; n <= plan.count; ++n) {
            const std::string path = PiecePath(request_.targetFolder, name_, n);
            FileStream piece;
            if (!OpenPiece(piece, path)) return false;
            hooks_.KeepResponsive();
            hooks_.SetStatus("Разделение файла " + name_ + " в " + PieceName(name_, n));
            if (!FillPiece(piece, source, plan.SizeOf(n), path, false)) return false;
        }
        return true;
    }

    // A failed measurement counts as a disk without free space.
    uint64_t MeasureFreeSpace(const std::string& root) const {
        return freeSpace_(root).value_or(0);
    }

    bool OntoDisks() {
        const int64_t fileSize = SourceSize();
        const std::string letter = request_.targetFolder.substr(0, 1);
        const std::string root = letter + ":\\";
        const std::string insertDisk =
            "Вставте другой диск " + letter + " для записи части " + name_ + " и нажмите Ок.";
        if (!hooks_.AskOkCancel(insertDisk)) return false;
        uint64_t freeBytes = MeasureFreeSpace(root);
        if (freeBytes >= static_cast<uint64_t>(fileSize)) return CopyWholeFile(letter, fileSize);

        FileStream source;
        if (!OpenSource(source)) return false;
        int64_t written = 0;
        for (int64_t n = 1; written < fileSize; ++n) {
            if (n != 1) {
                if (!hooks_.AskOkCancel(insertDisk)) return false;
                freeBytes = MeasureFreeSpace(root);
            }
            while (freeBytes == 0) {
                if (!hooks_.AskOkCancel("Свободное место на диске " + letter + ":\\" +
                                        " отсутствует." + "\n\r" +
                                        "Вставте другой диск и нажмите Ок."))
                    return false;
                freeBytes = MeasureFreeSpace(root);
            }
            hooks_.KeepResponsive();
            // A fresh disk may lack the folder that was made on the first one.
            if (!IsExistingFolder(request_.targetFolder)) MakeFolder(request_.targetFolder);
            const std::string path = PiecePath(request_.targetFolder, name_, n);
            const int64_t size = static_cast<int64_t>(
                std::min<uint64_t>(freeBytes, static_cast<uint64_t>(fileSize - written)));
            FileStream piece;
            if (!OpenPiece(piece, path)) return false;
            if (!FillPiece(piece, source, size, path, true)) return false;
            written += size;
        }
        return true;
    }

    bool CopyWholeFile(const std::string& letter, int64_t fileSize) {
        if (!hooks_.AskOkCancel("Свободное место на диске " + letter + ":\\" +
                                " ольше размера файла" + "\n\r" + "Копировать файл" + name_ +
                                " без разделения?"))
            return false;
        FileStream source;
        if (!OpenSource(source)) return false;
        const std::string path = request_.targetFolder + name_;
        FileStream copy;
        if (!OpenTarget(copy, path, "Невозможно создание файла " + path + "!")) return false;
        return Fill(copy, source, fileSize, "Невозможно записать файл " + path + " полностью!",
                    true);
    }

    const SplitRequest& request_;
    SplitHooks& hooks_;
    const FreeSpaceQuery& freeSpace_;
    const std::string name_;
};

} // namespace

void SplitFile(const SplitRequest& request, SplitHooks& hooks, const FreeSpaceQuery& freeSpace) {
    Splitter(request, hooks, freeSpace).Run();
}

void SplitFile(const SplitRequest& request, SplitHooks& hooks) {
    SplitFile(request, hooks, FreeSpaceQuery(FreeDiskBytes));
}
