// The recovery slices made from a split's pieces, window by window, on two lanes.
#include "engine/recovery/RecoverySlices.h"

#include <windows.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <new>

#include "engine/digest/HashFeed.h"
#include "engine/recovery/Galois16.h"
#include "engine/recovery/Galois16Kernel.h"
#include "engine/recovery/Par2.h"
#include "engine/system/FileServices.h"

namespace {

// Every slice's window together: memory bound whatever the count of slices.
constexpr uint64_t kWindowsBytes = 32u << 20;
// A window no wider than this: each lane's windows then stay in the processor's cache while
// every piece is added in (1 GiB in 10 pieces, 4 slices: 4.1 s of processor time with 2 and
// 4 MiB windows, 4.9-6.1 s with 8 MiB), and each piece is read in runs of this size.
constexpr uint64_t kWidestWindow = 4u << 20;
// The two lanes that multiply and add, each for half of the slices.
constexpr int kLanes = 2;

// One read of a window: bytes of piece `piece`, at offset `at` in the window.
struct Step {
    uint32_t piece;
    uint32_t size;
    uint32_t at;
};

// The window's width: a multiple of 4 (the slice's words, and the slice size) that keeps every
// slice's window within the memory bound.
uint64_t WindowWidth(const SliceShape& shape) {
    const uint64_t each = std::max<uint64_t>(4, kWindowsBytes / shape.count / 4 * 4);
    return std::min({each, kWidestWindow, shape.sliceSize});
}

// The reads of the window at offset from, width bytes wide, in piece order; none is larger
// than a buffer.
std::vector<Step> StepsOf(const std::vector<uint64_t>& lengths, uint64_t from, uint64_t width,
                          uint32_t bufferSize) {
    std::vector<Step> steps;
    for (size_t i = 0; i < lengths.size(); ++i) {
        if (lengths[i] <= from) continue;
        const uint64_t bytes = std::min(width, lengths[i] - from);
        for (uint64_t at = 0; at < bytes; at += bufferSize)
            steps.push_back({static_cast<uint32_t>(i),
                             static_cast<uint32_t>(std::min<uint64_t>(bufferSize, bytes - at)),
                             static_cast<uint32_t>(at)});
    }
    return steps;
}

// The slices first .. first + count - 1, on a lane of the feed: each buffer is the next step's
// bytes, multiplied by the piece's constant raised to each exponent and added into that
// slice's window; after the window's last step the windows' bytes go into the packets'
// digests.
class ExponentLane : public FeedWork {
  public:
    ExponentLane(const SliceInputs& inputs, uint32_t first, uint32_t count, uint8_t* windows,
                 uint64_t width, const std::vector<Md5>& digests)
        : inputs_(inputs), first_(first), count_(count), windows_(windows), width_(width),
          digests_(digests.begin() + first, digests.begin() + first + count), dsts_(count),
          factors_(count) {}

    // The window to come, whose steps outlive it; its bytes are zero.
    void Start(const std::vector<Step>* steps, uint64_t bytes) {
        steps_ = steps;
        next_ = 0;
        bytes_ = bytes;
    }

    void Add(const char* bytes, uint32_t size, uint32_t) override {
        const Step& step = (*steps_)[next_++];
        const uint16_t constant = inputs_.constants[step.piece];
        for (uint32_t j = 0; j < count_; ++j) {
            dsts_[j] = windows_ + (first_ + j) * width_ + step.at;
            factors_[j] = Galois16::Power(constant, first_ + j);
        }
        MultiplyAddMany(dsts_.data(), factors_.data(), count_,
                        reinterpret_cast<const uint8_t*>(bytes), size);
        if (next_ < steps_->size()) return;
        for (uint32_t j = 0; j < count_; ++j)
            digests_[j].Add(windows_ + (first_ + j) * width_, static_cast<size_t>(bytes_));
    }

    uint32_t First() const { return first_; }
    const Md5& Digest(uint32_t j) const { return digests_[j]; }

  private:
    const SliceInputs& inputs_;
    const uint32_t first_, count_;
    uint8_t* const windows_;
    const uint64_t width_;
    std::vector<Md5> digests_;
    std::vector<uint8_t*> dsts_;
    std::vector<uint16_t> factors_;
    const std::vector<Step>* steps_ = nullptr;
    size_t next_ = 0;
    uint64_t bytes_ = 0;
};

class SliceMaker {
  public:
    SliceMaker(const SliceInputs& inputs, const SliceShape& shape, WorkFile& file,
               const std::function<bool(uint64_t)>& keepGoing)
        : inputs_(inputs), shape_(shape), file_(file), keepGoing_(keepGoing),
          width_(WindowWidth(shape)), feed_(kLanes, CopyBufferSize()) {}

    SlicesMade Make();

  private:
    SlicesMade Window(uint64_t from);
    bool ReadStep(const Step& step, uint64_t from);
    bool Paced();
    bool WriteHeads();

    const SliceInputs& inputs_;
    const SliceShape& shape_;
    WorkFile& file_;
    const std::function<bool(uint64_t)>& keepGoing_;
    const uint64_t width_;
    HashFeed feed_;
    FileStream source_;
    std::vector<uint64_t> starts_; // piece k's first byte in the source, at k - 1
    std::unique_ptr<uint8_t[]> windows_;
    std::unique_ptr<ExponentLane> lanes_[kLanes];
    uint64_t done_ = 0;
    DWORD paced_ = 0;
};

SlicesMade SliceMaker::Make() {
    if (!feed_.Ready() || shape_.count == 0) return SlicesMade::Failed;
    source_ = OpenReadStream(inputs_.sourcePath);
    if (!source_.IsOpen()) return SlicesMade::Failed;
    uint64_t start = 0;
    for (const uint64_t length : inputs_.lengths) {
        starts_.push_back(start);
        start += length;
    }
    windows_.reset(new (std::nothrow) uint8_t[shape_.count * width_]);
    if (!windows_) return SlicesMade::Failed;
    std::vector<Md5> digests;
    for (uint32_t e = 0; e < shape_.count; ++e)
        digests.push_back(RecoveryBodyDigest(shape_.setId, e));
    // Half the slices each, the first lane taking the odd one out.
    const uint32_t half = (shape_.count + 1) / 2;
    lanes_[0] = std::make_unique<ExponentLane>(inputs_, 0, half, windows_.get(), width_, digests);
    lanes_[1] = std::make_unique<ExponentLane>(inputs_, half, shape_.count - half, windows_.get(),
                                               width_, digests);
    paced_ = GetTickCount();
    for (uint64_t from = 0; from < shape_.sliceSize; from += width_) {
        const SlicesMade made = Window(from);
        if (made != SlicesMade::Made) return made;
    }
    return WriteHeads() ? SlicesMade::Made : SlicesMade::Failed;
}

SlicesMade SliceMaker::Window(uint64_t from) {
    const uint64_t bytes = std::min(width_, shape_.sliceSize - from);
    const std::vector<Step> steps = StepsOf(inputs_.lengths, from, bytes, feed_.BufferSize());
    std::memset(windows_.get(), 0, static_cast<size_t>(shape_.count * width_));
    for (int lane = 0; lane < kLanes; ++lane) {
        lanes_[lane]->Start(&steps, bytes);
        // A lane of no slices (a single one in all) takes no buffers.
        if (lane == 0 || shape_.count > 1) feed_.Begin(lane, *lanes_[lane]);
    }
    SlicesMade read = SlicesMade::Made;
    for (size_t i = 0; i < steps.size() && read == SlicesMade::Made; ++i) {
        if (!ReadStep(steps[i], from))
            read = SlicesMade::Failed;
        else if (!Paced())
            read = SlicesMade::Stopped;
    }
    // The lanes are done with the window's steps and bytes on every way out.
    for (int lane = 0; lane < kLanes; ++lane) feed_.Rest(lane);
    if (read != SlicesMade::Made) return read;
    const uint64_t packet = Par2RecoveryPacketSize(shape_.sliceSize);
    for (uint32_t e = 0; e < shape_.count; ++e) {
        const uint64_t at = e * packet + Par2HeaderSize + Par2ExponentSize + from;
        if (!file_.WriteAt(at, windows_.get() + e * width_, static_cast<uint32_t>(bytes)))
            return SlicesMade::Failed;
    }
    return SlicesMade::Made;
}

bool SliceMaker::ReadStep(const Step& step, uint64_t from) {
    const int64_t at = static_cast<int64_t>(starts_[step.piece] + from + step.at);
    if (source_.Seek(at, SeekOrigin::FromBeginning) != at) return false;
    char* buffer = feed_.TakeBuffer();
    const uint32_t got = source_.Read(buffer, step.size);
    // A piece of an odd length ends in half a word: its other byte is the slice's padding.
    uint32_t size = got;
    if (size % 2 != 0) buffer[size++] = '\0';
    feed_.Pass(buffer, size);
    done_ += got;
    return got == step.size;
}

bool SliceMaker::Paced() {
    const DWORD now = GetTickCount();
    if (static_cast<DWORD>(now - paced_) < CopyPaceInterval()) return true;
    paced_ = now;
    return keepGoing_(done_);
}

bool SliceMaker::WriteHeads() {
    const uint64_t packet = Par2RecoveryPacketSize(shape_.sliceSize);
    for (uint32_t e = 0; e < shape_.count; ++e) {
        const ExponentLane& lane = e < lanes_[1]->First() ? *lanes_[0] : *lanes_[1];
        const std::string head = RecoveryPacketHead(shape_.setId, shape_.sliceSize,
                                                    lane.Digest(e - lane.First()).Finish(), e);
        if (!file_.WriteAt(e * packet, head.data(), static_cast<uint32_t>(head.size())))
            return false;
    }
    return true;
}

} // namespace

SlicesMade MakeRecoverySlices(const SliceInputs& inputs, const SliceShape& shape, WorkFile& file,
                              const std::function<bool(uint64_t done)>& keepGoing) {
    return SliceMaker(inputs, shape, file, keepGoing).Make();
}
