// SHA-256 on the processor's SHA extensions where it has them; else from the system: CNG
// (bcrypt.dll) where it is, else CryptoAPI's AES provider, both looked up at run time, so that
// the program still starts on Windows XP SP3.
#pragma once
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

class Md5;

enum class Sha256Source { Best, Processor, Cng, CryptoApi };

// One digest in progress. Any one thread may use it at a time.
class Sha256 {
  public:
    explicit Sha256(Sha256Source source = Sha256Source::Best);
    ~Sha256();
    Sha256(const Sha256&) = delete;
    Sha256& operator=(const Sha256&) = delete;

    // Whether the system gave a digest to work with; false also after a failed Add. Asked by
    // the thread that adds, like every other call.
    bool Ready() const { return ready_; }
    void Add(const void* bytes, size_t size);
    // Adds the bytes to this digest and to beside in one pass. On the processor's path the two
    // take each block in turn, so that the MD5 runs while the SHA instructions wait for each
    // other; beside gets the bytes even when this digest has failed.
    void Add(const void* bytes, size_t size, Md5& beside);
    // Adds bytes to this digest and otherBytes to other, in one pass where both are the
    // processor's: each digest's rounds wait on its own instructions and the processor runs
    // the other's meanwhile. Where both stand at the same place over the same bytes (a join's
    // piece 1 and its whole file, a kept piece and the source's bytes of it), the bytes are
    // hashed once and the place copied.
    void AddBeside(const void* bytes, size_t size, Sha256& other, const void* otherBytes,
                   size_t otherSize);
    // The 64 lowercase hex digits of everything added; nothing when the system failed.
    // The digest is used up: a fresh one is needed for further bytes.
    std::optional<std::string> Finish();
    // The digits of everything added so far, while the digest goes on; nothing when the
    // system failed.
    std::optional<std::string> Peek() const;

    // Where the program's own digest stands (the processor's path), as text to go on from
    // later; nothing for the system's digests, whose state cannot be taken out.
    std::optional<std::string> SavedState() const;
    // Goes on from a state SavedState gave, as if its bytes had been added; false, and nothing
    // changed, when the text is not such a state or this digest is not the program's own.
    bool ResumeFrom(const std::string& state);
    // The bytes taken so far, those of a state gone on from included.
    uint64_t Length() const { return length_; }

  private:
    void Release();
    void AddToOwn(const unsigned char* at, size_t size);
    bool FinishOwn(unsigned char (&digest)[32]) const;
    // Whether Add takes the bytes into the program's own state with nothing scripted.
    bool Weavable() const;
    bool SamePlaceAs(const Sha256& other) const;
    // Adds the bytes from at that are alike with those from otherAt, from the first on; the
    // bytes taken (all, or none past the block that first differs).
    size_t TakeAlike(const unsigned char* at, const unsigned char* otherAt, size_t size);
    // Adds bytes up to the next block's start; the bytes taken.
    size_t FillBlock(const unsigned char* at, size_t size);

    Sha256Source source_;
    bool ready_ = false;
    void* provider_ = nullptr; // CNG algorithm handle, or CryptoAPI provider
    void* hash_ = nullptr;     // CNG hash handle, or CryptoAPI hash
    std::string object_;       // the hash object CNG works in
    // The program's own digest, on the processor's SHA extensions.
    uint32_t state_[8] = {};
    unsigned char block_[64] = {}; // a block begun, of blockUsed_ bytes
    size_t blockUsed_ = 0;
    uint64_t length_ = 0;
    std::optional<uint64_t> failAfter_; // scripted by tests
};

// Lets tests script a failing digest: every digest made from now on fails once it is given
// more than limit bytes; nothing makes them as usual again.
void FailSha256After(std::optional<uint64_t> limit);
// Lets tests take the path of a processor without the SHA extensions where it has them: every
// digest made from now on with Best comes from the system while prefer holds.
void PreferSystemSha256(bool prefer);

// Whether the processor or the system has the given SHA-256 at all.
bool HasSha256(Sha256Source source = Sha256Source::Best);

// The digits of bytes in one call.
std::optional<std::string> Sha256Of(const void* bytes, size_t size,
                                    Sha256Source source = Sha256Source::Best);
