// SHA-256 by the processor's SHA extensions or the system's (CNG, else CryptoAPI), its digits and
// its saved state.
#include "engine/digest/Sha256.h"

#include <windows.h>

#include <bcrypt.h>
#include <wincrypt.h>

#include <algorithm>
#include <cstdint>
#include <cstring>

#include "engine/digest/Md5.h"
#include "engine/system/RunTimeLookup.h"
#include "engine/digest/ShaInstructions.h"

namespace {

constexpr size_t kDigestBytes = 32;
// The largest run handed to the system in one call (its counts are 32-bit).
constexpr size_t kLargestRun = 1u << 30;

// CNG's entry points, from bcrypt.dll (Windows Vista and later).
struct CngCalls {
    using Open = LONG(WINAPI*)(void**, const wchar_t*, const wchar_t*, ULONG);
    using GetProperty = LONG(WINAPI*)(void*, const wchar_t*, UCHAR*, ULONG, ULONG*, ULONG);
    using CreateHash = LONG(WINAPI*)(void*, void**, UCHAR*, ULONG, UCHAR*, ULONG, ULONG);
    using HashData = LONG(WINAPI*)(void*, UCHAR*, ULONG, ULONG);
    using FinishHash = LONG(WINAPI*)(void*, UCHAR*, ULONG, ULONG);
    using DuplicateHash = LONG(WINAPI*)(void*, void**, UCHAR*, ULONG, ULONG);
    using DestroyHash = LONG(WINAPI*)(void*);
    using Close = LONG(WINAPI*)(void*, ULONG);

    Open open = nullptr;
    GetProperty getProperty = nullptr;
    CreateHash createHash = nullptr;
    HashData hashData = nullptr;
    FinishHash finishHash = nullptr;
    DuplicateHash duplicateHash = nullptr;
    DestroyHash destroyHash = nullptr;
    Close close = nullptr;

    bool Complete() const {
        return open && getProperty && createHash && hashData && finishHash && duplicateHash &&
               destroyHash && close;
    }
};

// CryptoAPI's entry points, from advapi32.dll (SHA-256 through the AES provider, XP SP3 on).
struct CryptoApiCalls {
    using Acquire = BOOL(WINAPI*)(HCRYPTPROV*, LPCSTR, LPCSTR, DWORD, DWORD);
    using CreateHash = BOOL(WINAPI*)(HCRYPTPROV, ALG_ID, HCRYPTKEY, DWORD, HCRYPTHASH*);
    using HashData = BOOL(WINAPI*)(HCRYPTHASH, const BYTE*, DWORD, DWORD);
    using GetHashParam = BOOL(WINAPI*)(HCRYPTHASH, DWORD, BYTE*, DWORD*, DWORD);
    using DuplicateHash = BOOL(WINAPI*)(HCRYPTHASH, DWORD*, DWORD, HCRYPTHASH*);
    using DestroyHash = BOOL(WINAPI*)(HCRYPTHASH);
    using Release = BOOL(WINAPI*)(HCRYPTPROV, DWORD);

    Acquire acquire = nullptr;
    CreateHash createHash = nullptr;
    HashData hashData = nullptr;
    GetHashParam getHashParam = nullptr;
    DuplicateHash duplicateHash = nullptr;
    DestroyHash destroyHash = nullptr;
    Release release = nullptr;

    bool Complete() const {
        return acquire && createHash && hashData && getHashParam && duplicateHash && destroyHash &&
               release;
    }
};

// Looked up once; the libraries stay loaded for the life of the process.
const CngCalls& Cng() {
    static const CngCalls calls = [] {
        CngCalls c;
        HMODULE bcrypt = LoadLibraryA("bcrypt.dll");
        c.open = LookUpFunction<CngCalls::Open>(bcrypt, "BCryptOpenAlgorithmProvider");
        c.getProperty = LookUpFunction<CngCalls::GetProperty>(bcrypt, "BCryptGetProperty");
        c.createHash = LookUpFunction<CngCalls::CreateHash>(bcrypt, "BCryptCreateHash");
        c.hashData = LookUpFunction<CngCalls::HashData>(bcrypt, "BCryptHashData");
        c.finishHash = LookUpFunction<CngCalls::FinishHash>(bcrypt, "BCryptFinishHash");
        c.duplicateHash = LookUpFunction<CngCalls::DuplicateHash>(bcrypt, "BCryptDuplicateHash");
        c.destroyHash = LookUpFunction<CngCalls::DestroyHash>(bcrypt, "BCryptDestroyHash");
        c.close = LookUpFunction<CngCalls::Close>(bcrypt, "BCryptCloseAlgorithmProvider");
        return c;
    }();
    return calls;
}

const CryptoApiCalls& CryptoApi() {
    static const CryptoApiCalls calls = [] {
        CryptoApiCalls c;
        HMODULE advapi = LoadLibraryA("advapi32.dll");
        c.acquire = LookUpFunction<CryptoApiCalls::Acquire>(advapi, "CryptAcquireContextA");
        c.createHash = LookUpFunction<CryptoApiCalls::CreateHash>(advapi, "CryptCreateHash");
        c.hashData = LookUpFunction<CryptoApiCalls::HashData>(advapi, "CryptHashData");
        c.getHashParam = LookUpFunction<CryptoApiCalls::GetHashParam>(advapi, "CryptGetHashParam");
        c.duplicateHash =
            LookUpFunction<CryptoApiCalls::DuplicateHash>(advapi, "CryptDuplicateHash");
        c.destroyHash = LookUpFunction<CryptoApiCalls::DestroyHash>(advapi, "CryptDestroyHash");
        c.release = LookUpFunction<CryptoApiCalls::Release>(advapi, "CryptReleaseContext");
        return c;
    }();
    return calls;
}

// Set only by tests, before the threads that hash are started.
bool systemPreferred = false;

Sha256Source Resolve(Sha256Source source) {
    if (source != Sha256Source::Best) return source;
    if (HasShaInstructions() && !systemPreferred) return Sha256Source::Processor;
    return Cng().Complete() ? Sha256Source::Cng : Sha256Source::CryptoApi;
}

constexpr uint32_t kInitialState[8] = {0x6a09e667, 0xbb67ae85, 0x3c6ef372, 0xa54ff53a,
                                       0x510e527f, 0x9b05688c, 0x1f83d9ab, 0x5be0cd19};

HCRYPTPROV AsProvider(void* handle) { return reinterpret_cast<HCRYPTPROV>(handle); }
HCRYPTHASH AsHash(void* handle) { return reinterpret_cast<HCRYPTHASH>(handle); }

std::string HexDigits(const unsigned char* bytes, size_t size) {
    static const char digits[] = "0123456789abcdef";
    std::string text;
    for (size_t i = 0; i < size; ++i) {
        text += digits[bytes[i] >> 4];
        text += digits[bytes[i] & 15];
    }
    return text;
}

bool FinishCng(void* hash, unsigned char (&digest)[kDigestBytes]) {
    return Cng().finishHash(hash, digest, kDigestBytes, 0) >= 0;
}

bool FinishCryptoApi(void* hash, unsigned char (&digest)[kDigestBytes]) {
    DWORD size = kDigestBytes;
    return CryptoApi().getHashParam(AsHash(hash), HP_HASHVAL, digest, &size, 0) &&
           size == kDigestBytes;
}

} // namespace

namespace {
// Read by every digest made; set only by tests, before the threads that hash are started.
std::optional<uint64_t> scriptedFailure;
} // namespace

void FailSha256After(std::optional<uint64_t> limit) { scriptedFailure = limit; }

void PreferSystemSha256(bool prefer) { systemPreferred = prefer; }

Sha256::Sha256(Sha256Source source) : source_(Resolve(source)), failAfter_(scriptedFailure) {
    if (source_ == Sha256Source::Processor) {
        ready_ = HasShaInstructions();
        std::memcpy(state_, kInitialState, sizeof state_);
        return;
    }
    if (source_ == Sha256Source::Cng) {
        const CngCalls& cng = Cng();
        if (!cng.Complete() || cng.open(&provider_, BCRYPT_SHA256_ALGORITHM, nullptr, 0) < 0) {
            provider_ = nullptr;
            return;
        }
        // Windows Vista wants the caller to provide the memory the hash works in.
        ULONG objectSize = 0, got = 0;
        if (cng.getProperty(provider_, BCRYPT_OBJECT_LENGTH, reinterpret_cast<UCHAR*>(&objectSize),
                            sizeof objectSize, &got, 0) < 0)
            return;
        object_.assign(objectSize, '\0');
        ready_ = cng.createHash(provider_, &hash_, reinterpret_cast<UCHAR*>(object_.data()),
                                objectSize, nullptr, 0, 0) >= 0;
        if (!ready_) hash_ = nullptr;
        return;
    }
    const CryptoApiCalls& api = CryptoApi();
    HCRYPTPROV provider = 0;
    if (!api.Complete() ||
        !api.acquire(&provider, nullptr, nullptr, PROV_RSA_AES, CRYPT_VERIFYCONTEXT))
        return;
    provider_ = reinterpret_cast<void*>(provider);
    HCRYPTHASH hash = 0;
    ready_ = api.createHash(provider, CALG_SHA_256, 0, 0, &hash) != FALSE;
    hash_ = ready_ ? reinterpret_cast<void*>(hash) : nullptr;
}

Sha256::~Sha256() { Release(); }

void Sha256::Release() {
    if (source_ == Sha256Source::Cng) {
        if (hash_) Cng().destroyHash(hash_);
        if (provider_) Cng().close(provider_, 0);
    } else if (source_ == Sha256Source::CryptoApi) {
        if (hash_) CryptoApi().destroyHash(AsHash(hash_));
        if (provider_) CryptoApi().release(AsProvider(provider_), 0);
    }
    hash_ = provider_ = nullptr;
    ready_ = false;
}

void Sha256::AddToOwn(const unsigned char* at, size_t size) {
    if (blockUsed_ > 0) {
        const size_t taken = std::min(size, sizeof block_ - blockUsed_);
        std::memcpy(block_ + blockUsed_, at, taken);
        blockUsed_ += taken;
        at += taken;
        size -= taken;
        if (blockUsed_ < sizeof block_) return;
        CompressWithShaInstructions(state_, block_, 1);
        blockUsed_ = 0;
    }
    const size_t whole = size / 64;
    if (whole > 0) CompressWithShaInstructions(state_, at, whole);
    std::memcpy(block_, at + whole * 64, size % 64);
    blockUsed_ = size % 64;
}

// The padding goes onto copies, so that the digest itself can go on.
bool Sha256::FinishOwn(unsigned char (&digest)[kDigestBytes]) const {
    uint32_t state[8];
    std::memcpy(state, state_, sizeof state);
    unsigned char tail[128] = {};
    std::memcpy(tail, block_, blockUsed_);
    tail[blockUsed_] = 0x80;
    const size_t tailSize = blockUsed_ < 56 ? 64 : 128;
    const uint64_t bits = length_ * 8;
    for (int i = 0; i < 8; ++i)
        tail[tailSize - 1 - i] = static_cast<unsigned char>(bits >> (8 * i));
    CompressWithShaInstructions(state, tail, tailSize / 64);
    for (int i = 0; i < 8; ++i)
        for (int b = 0; b < 4; ++b)
            digest[4 * i + b] = static_cast<unsigned char>(state[i] >> (24 - 8 * b));
    return true;
}

void Sha256::Add(const void* bytes, size_t size) {
    auto* at = static_cast<const unsigned char*>(bytes);
    if (failAfter_ && length_ + size > *failAfter_) ready_ = false;
    if (!ready_) return;
    if (source_ == Sha256Source::Processor) {
        AddToOwn(at, size);
        length_ += size;
        return;
    }
    length_ += size;
    while (ready_ && size > 0) {
        const size_t run = std::min(size, kLargestRun);
        const ULONG count = static_cast<ULONG>(run);
        if (source_ == Sha256Source::Cng)
            ready_ = Cng().hashData(hash_, const_cast<UCHAR*>(at), count, 0) >= 0;
        else
            ready_ = CryptoApi().hashData(AsHash(hash_), at, count, 0) != FALSE;
        at += run;
        size -= run;
    }
}

void Sha256::Add(const void* bytes, size_t size, Md5& beside) {
    auto* at = static_cast<const unsigned char*>(bytes);
    // In one pass only where both digests stand at the same place in a block (they began at
    // the same byte), for whole blocks to go to both at once.
    if (source_ != Sha256Source::Processor || beside.Length() % 64 != blockUsed_ ||
        (failAfter_ && length_ + size > *failAfter_)) {
        Add(at, size);
        beside.Add(at, size);
        return;
    }
    if (!ready_) {
        beside.Add(at, size);
        return;
    }
    const size_t lead = blockUsed_ > 0 ? std::min(size, sizeof block_ - blockUsed_) : 0;
    AddToOwn(at, lead);
    beside.Add(at, lead);
    const size_t whole = (size - lead) / 64, rest = (size - lead) % 64;
    // Both stand at a block's start here, or nothing is left.
    CompressWithShaInstructionsAndMd5(state_, beside.state_, at + lead, whole);
    beside.length_ += whole * 64;
    AddToOwn(at + lead + whole * 64, rest);
    beside.Add(at + lead + whole * 64, rest);
    length_ += size;
}

bool Sha256::Weavable() const {
    return ready_ && source_ == Sha256Source::Processor && !failAfter_;
}

bool Sha256::SamePlaceAs(const Sha256& other) const {
    return length_ == other.length_ && blockUsed_ == other.blockUsed_ &&
           std::memcmp(state_, other.state_, sizeof state_) == 0 &&
           std::memcmp(block_, other.block_, blockUsed_) == 0;
}

// Whole blocks from a block's start are compared while they are hashed.
size_t Sha256::TakeAlike(const unsigned char* at, const unsigned char* otherAt, size_t size) {
    if (at != otherAt && blockUsed_ > 0 && !SameBytesWithVectors(at, otherAt, size)) return 0;
    if (at == otherAt || blockUsed_ > 0) {
        Add(at, size);
        return size;
    }
    const size_t blocks = CompressWithShaInstructionsWhileAlike(state_, at, otherAt, size / 64);
    const size_t alike = 64 * blocks, rest = size - alike;
    length_ += alike;
    if (blocks < size / 64 || !SameBytesWithVectors(at + alike, otherAt + alike, rest))
        return alike;
    Add(at + alike, rest);
    return size;
}

size_t Sha256::FillBlock(const unsigned char* at, size_t size) {
    const size_t lead = blockUsed_ > 0 ? std::min(size, sizeof block_ - blockUsed_) : 0;
    AddToOwn(at, lead);
    length_ += lead;
    return lead;
}

void Sha256::AddBeside(const void* bytes, size_t size, Sha256& other, const void* otherBytes,
                       size_t otherSize) {
    auto* at = static_cast<const unsigned char*>(bytes);
    auto* otherAt = static_cast<const unsigned char*>(otherBytes);
    if (!Weavable() || !other.Weavable()) {
        Add(at, size);
        other.Add(otherAt, otherSize);
        return;
    }
    if (size == otherSize && SamePlaceAs(other)) {
        // Twins, at the same place: the bytes alike from here are hashed once for both.
        const size_t alike = TakeAlike(at, otherAt, size);
        at += alike;
        otherAt += alike;
        size -= alike;
        otherSize -= alike;
        std::memcpy(other.state_, state_, sizeof state_);
        std::memcpy(other.block_, block_, blockUsed_);
        other.blockUsed_ = blockUsed_;
        other.length_ = length_;
        if (size == 0) return;
    }
    // Each fills the block it has begun; from there both take whole blocks of their own.
    const size_t lead = FillBlock(at, size), otherLead = other.FillBlock(otherAt, otherSize);
    at += lead;
    size -= lead;
    otherAt += otherLead;
    otherSize -= otherLead;
    const size_t both = std::min(size, otherSize) / 64;
    CompressTwoWithShaInstructions(state_, at, other.state_, otherAt, both);
    length_ += both * 64;
    other.length_ += both * 64;
    Add(at + both * 64, size - both * 64);
    other.Add(otherAt + both * 64, otherSize - both * 64);
}

std::optional<std::string> Sha256::Finish() {
    if (!ready_) return std::nullopt;
    unsigned char digest[kDigestBytes] = {};
    bool done = false;
    if (source_ == Sha256Source::Processor)
        done = FinishOwn(digest);
    else
        done = source_ == Sha256Source::Cng ? FinishCng(hash_, digest)
                                            : FinishCryptoApi(hash_, digest);
    Release();
    if (!done) return std::nullopt;
    return HexDigits(digest, kDigestBytes);
}

std::optional<std::string> Sha256::Peek() const {
    if (!ready_) return std::nullopt;
    unsigned char digest[kDigestBytes] = {};
    bool done = false;
    // The digest of a copy of the state: the original goes on untouched.
    if (source_ == Sha256Source::Processor) {
        done = FinishOwn(digest);
    } else if (source_ == Sha256Source::Cng) {
        std::string object(object_.size(), '\0');
        void* copy = nullptr;
        if (Cng().duplicateHash(hash_, &copy, reinterpret_cast<UCHAR*>(object.data()),
                                static_cast<ULONG>(object.size()), 0) >= 0) {
            done = FinishCng(copy, digest);
            Cng().destroyHash(copy);
        }
    } else {
        HCRYPTHASH copy = 0;
        if (CryptoApi().duplicateHash(AsHash(hash_), nullptr, 0, &copy)) {
            done = FinishCryptoApi(reinterpret_cast<void*>(copy), digest);
            CryptoApi().destroyHash(copy);
        }
    }
    if (!done) return std::nullopt;
    return HexDigits(digest, kDigestBytes);
}

// The state is "<bytes so far>-<the eight words>-<the bytes of the block begun>", in hex but
// for the decimal count.
std::optional<std::string> Sha256::SavedState() const {
    if (!ready_ || source_ != Sha256Source::Processor) return std::nullopt;
    unsigned char words[32];
    for (int i = 0; i < 8; ++i)
        for (int b = 0; b < 4; ++b)
            words[4 * i + b] = static_cast<unsigned char>(state_[i] >> (24 - 8 * b));
    return std::to_string(length_) + "-" + HexDigits(words, sizeof words) + "-" +
           HexDigits(block_, blockUsed_);
}

bool Sha256::ResumeFrom(const std::string& state) {
    if (!ready_ || source_ != Sha256Source::Processor || length_ != 0) return false;
    const size_t first = state.find('-'), second = state.find('-', first + 1);
    if (first == 0 || first > 20 || second != first + 65) return false;
    uint64_t length = 0;
    for (size_t i = 0; i < first; ++i) {
        if (state[i] < '0' || state[i] > '9') return false;
        length = length * 10 + static_cast<uint64_t>(state[i] - '0');
    }
    const std::string block = state.substr(second + 1);
    if (block.size() % 2 != 0 || block.size() / 2 != length % 64) return false;
    unsigned char bytes[32 + 64] = {};
    const std::string hex = state.substr(first + 1, 64) + block;
    for (size_t i = 0; i < hex.size(); ++i) {
        const char c = hex[i];
        const int value = c >= '0' && c <= '9' ? c - '0' : c >= 'a' && c <= 'f' ? c - 'a' + 10 : -1;
        if (value < 0) return false;
        bytes[i / 2] = static_cast<unsigned char>(bytes[i / 2] << 4 | value);
    }
    for (int i = 0; i < 8; ++i)
        state_[i] = static_cast<uint32_t>(bytes[4 * i]) << 24 |
                    static_cast<uint32_t>(bytes[4 * i + 1]) << 16 |
                    static_cast<uint32_t>(bytes[4 * i + 2]) << 8 | bytes[4 * i + 3];
    blockUsed_ = block.size() / 2;
    std::memcpy(block_, bytes + 32, blockUsed_);
    length_ = length;
    return true;
}

bool HasSha256(Sha256Source source) { return Sha256(source).Ready(); }

std::optional<std::string> Sha256Of(const void* bytes, size_t size, Sha256Source source) {
    Sha256 digest(source);
    digest.Add(bytes, size);
    return digest.Finish();
}
