// SHA-256 from the system: CNG (bcrypt.dll) where it is, else CryptoAPI's AES provider, both
// looked up at run time, so that the program still starts on Windows XP SP3.
#pragma once
#include <cstddef>
#include <optional>
#include <string>

enum class Sha256Source { Best, Cng, CryptoApi };

// One digest in progress. Any one thread may use it at a time.
class Sha256 {
  public:
    explicit Sha256(Sha256Source source = Sha256Source::Best);
    ~Sha256();
    Sha256(const Sha256&) = delete;
    Sha256& operator=(const Sha256&) = delete;

    // Whether the system gave a digest to work with; false also after a failed Add.
    bool Ready() const { return ready_; }
    void Add(const void* bytes, size_t size);
    // The 64 lowercase hex digits of everything added; nothing when the system failed.
    // The digest is used up: a fresh one is needed for further bytes.
    std::optional<std::string> Finish();
    // The digits of everything added so far, while the digest goes on; nothing when the
    // system failed.
    std::optional<std::string> Peek() const;

  private:
    void Release();

    Sha256Source source_;
    bool ready_ = false;
    void* provider_ = nullptr; // CNG algorithm handle, or CryptoAPI provider
    void* hash_ = nullptr;     // CNG hash handle, or CryptoAPI hash
    std::string object_;       // the hash object CNG works in
};

// Whether the system has the given SHA-256 at all.
bool HasSha256(Sha256Source source = Sha256Source::Best);

// The digits of bytes in one call.
std::optional<std::string> Sha256Of(const void* bytes, size_t size,
                                    Sha256Source source = Sha256Source::Best);
