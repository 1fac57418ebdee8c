// The file a join gathers the pieces in before it takes the output's name: each piece appended
// in turn and, for a checked set, held against its line on the way, the whole file against
// the whole-file line at the end.
#pragma once
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "engine/Hooks.h"
#include "engine/checkfile/SetCheck.h"
#include "engine/digest/HashFeed.h"
#include "engine/system/FileServices.h"

// What appending one piece came to: its bytes all there (and matching its line when
// checked), a piece found cut short or damaged (fault says so, for the join to rebuild it or
// tell), a failure told already, or a stop.
enum class Appended { Whole, Faulty, Told, Stopped };
struct PieceAppend {
    Appended outcome = Appended::Told;
    int64_t written = 0; // the bytes the gathering file took
    std::string fault;
};

class Gathering {
  public:
    // The gathering file of the output at outputPath, of the set baseName.
    Gathering(JoinHooks& hooks, const std::string& outputPath, const std::string& baseName);
    // A gathering file that never took the output's name goes, whatever ended the join.
    ~Gathering();
    Gathering(const Gathering&) = delete;
    Gathering& operator=(const Gathering&) = delete;

    // Opens the gathering file empty; false after telling the user.
    bool Open();
    // Holds every piece against check's lines from now on, each piece's digest and the whole
    // file's taken beside the copy; false after telling the user. check must outlive this.
    bool StartChecking(const SetCheck& check);
    // Appends piece n, opened from path, with pace as for CopyStreamBytes.
    PieceAppend Append(FileStream& piece, const std::string& path, int64_t n, const CopyPace& pace);
    // Goes back to byte start, where a piece found faulty began.
    bool Rewind(int64_t start);
    // After a rewind the whole file's digest begins anew over the pieces before it, read once
    // more from earlier, and the piece lane begins anew for the piece at next; false after a
    // message or a stop.
    bool RestartDigests(const std::vector<std::string>& earlier, const std::string& next);
    // Closes the gathering file, still the join's, so that its pieces can be read in place
    // (a rebuild mixes them in); false after telling the user.
    bool Pause();
    // Opens it again to go on at byte at, the bytes after it cut off; with digestAgain the whole
    // file's digest begins anew over the bytes before at, read back (a piece found faulty had
    // gone into it) and the piece lane anew. false after a message or a stop.
    bool Resume(int64_t at, bool digestAgain);
    const std::string& Path() const { return gatherPath_; }
    // The gathered bytes on the disk and, when checked, the whole file's digits those of
    // whole; false after telling the user.
    bool Complete(const std::string& whole);
    // Gives the gathering file the output's name, replacing a file there; false after telling
    // the user, the gathering file removed.
    bool GiveOutputItsName();
    // Closes and removes the gathering file.
    void Discard();

  private:
    bool ShowDigestFailed(const std::string& path);
    void ShowWriteFailed();

    JoinHooks& hooks_;
    const std::string outputPath_, gatherPath_, baseName_;
    FileStream output_;
    std::unique_ptr<HashFeed> feed_; // a checked join's
    const SetCheck* check_ = nullptr;
    bool owned_ = false; // the gathering file is there and has not taken the output's name
};
