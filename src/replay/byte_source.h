// Readers take their bytes from a ByteSource: a file for the program, a memory buffer for tests
// and fuzzers. A source knows its size and refuses any view of bytes that do not lie wholly
// inside it. A view of bytes that lie in memory in one piece (the whole buffer, or the file
// block read last) costs a bounds check; bytes that cross a block edge are copied into the
// caller's scratch memory. ByteCursor adds a position and little-endian decoding, with a sticky
// failure that remembers where the first read failed, so that a reader can check once.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <mutex>
#include <span>
#include <thread>

namespace vorlind {

// Why a reader gave up, and the file offset of the bytes it could not read or accept.
struct ReadFailure {
  const char* Reason = nullptr;
  int64_t Offset = 0;
};

class ByteSource {
 public:
  virtual ~ByteSource() = default;
  int64_t size() const { return size_; }

  // True when the bytes changed while they were read (a file that another program truncated), so
  // that nothing read from the source can be trusted.
  virtual bool changed() const { return false; }

  // The `count` bytes at `offset`, or nullptr when they do not all lie inside the source. Bytes
  // that are not in memory in one piece are copied into `scratch`, which must hold `count`
  // bytes. The pointer stays valid until the next view.
  const uint8_t* view(int64_t offset, int64_t count, uint8_t* scratch) {
    return viewAtLeast(offset, count, scratch).data();
  }

  // The same, with as many further bytes as lie in the same piece of memory, for a reader that
  // walks many small fields; empty when the `count` bytes are not all inside the source.
  std::span<const uint8_t> viewAtLeast(int64_t offset, int64_t count, uint8_t* scratch) {
    if (offset >= windowStart_ && count >= 0 && count <= windowEnd_ - offset) {
      return {window_ + (offset - windowStart_), static_cast<size_t>(windowEnd_ - offset)};
    }
    return viewOutsideWindow(offset, count, scratch);
  }

 protected:
  explicit ByteSource(int64_t size) : size_(size) {}
  void setWindow(const uint8_t* bytes, int64_t start, int64_t length) {
    window_ = bytes;
    windowStart_ = start;
    windowEnd_ = start + length;
  }
  // Serves a view that the window does not hold; it may move the window.
  virtual std::span<const uint8_t> viewOutsideWindow(int64_t offset, int64_t count,
                                                     uint8_t* scratch) = 0;

 private:
  int64_t size_;
  const uint8_t* window_ = nullptr;
  int64_t windowStart_ = 0;
  int64_t windowEnd_ = 0;
};

// A source over bytes held in memory; the bytes must outlive the source.
class MemoryByteSource final : public ByteSource {
 public:
  explicit MemoryByteSource(std::span<const uint8_t> bytes);

 private:
  std::span<const uint8_t> viewOutsideWindow(int64_t offset, int64_t count,
                                             uint8_t* scratch) override;
};

// The memory a FileByteSource reads its blocks into. The run reads its replays one after another
// through one of these, so that the pages are taken from the system once, not once per file.
class FileBlockMemory {
 public:
  static constexpr int64_t kBlockSize = 1 << 16;
  static constexpr int kBlockCount = 17;

  // Block `i` (below kBlockCount): kBlockSize bytes, left as the last file read into it left them.
  uint8_t* block(int i);

 private:
  std::unique_ptr<uint8_t[]> blocks_[kBlockCount];
};

// A source over a file, read in blocks of 64 KiB into a ring of 16 (1 MiB, the size of the
// processor's second-level cache). The block the reader is in and the four before it stay in
// memory, so that stepping back a little in the stream does not read the file again; the eleven
// after it are read ahead, through a second handle of the file, by a thread of the source's own
// while the reader works. The reader never waits for that thread for long: a block that has not
// arrived it reads itself. Every view gives the file's bytes, so no result depends on timing. A
// block that the file no longer holds whole (another program truncated it) is refused, and the
// source tells that it changed. Measured on the development machine (make bench compares them
// on any machine): copying the file into this ring took less time than mapping the file, whose
// pages cost the reader more to reach than the copy costs; reading ahead saved a quarter of a
// run's time; and a ring of 8 to 32 blocks did as well as one of 64, of 4 worse.
class FileByteSource final : public ByteSource {
 public:
  // nullptr when the file cannot be opened for reading. The blocks go into `memory`, which must
  // outlive the source and serve no other source at the same time, or into memory of its own.
  // Without `readAhead`, or for a file of at most kSmallestReadAhead bytes, no thread is started
  // and blocks are read when they are viewed.
  static std::unique_ptr<FileByteSource> open(const std::filesystem::path& path,
                                              FileBlockMemory* memory = nullptr,
                                              bool readAhead = true);
  ~FileByteSource() override;
  FileByteSource(const FileByteSource&) = delete;
  FileByteSource& operator=(const FileByteSource&) = delete;

  bool changed() const override { return shrank_; }

 private:
  static constexpr int64_t kBlockSize = FileBlockMemory::kBlockSize;
  static constexpr int kSlotCount = FileBlockMemory::kBlockCount - 1;  // and the spare
  static constexpr int64_t kBlocksKeptBehind = 4;
  static constexpr int64_t kBlocksAhead = kSlotCount - kBlocksKeptBehind - 1;
  static constexpr int64_t kBlocksReadTogether = 4;
  static constexpr std::chrono::microseconds kLongestWait{200};
  static constexpr int64_t kSmallestReadAhead = kBlocksReadTogether * kBlockSize;
  // Block `i` of the file lives in slot i % kSlotCount, so that the blocks read ahead never take
  // the slots of the block in use and of those kept behind it.
  struct Slot {
    int64_t Index = -1;  // the file block the slot holds or is being filled with
    bool Filling = false;
    bool Failed = false;  // the read of block Index failed: the file is shorter than it was
    int64_t Length = 0;
    uint8_t* Bytes = nullptr;
  };
  // One handle of the file, used by one thread.
  class FileReader {
   public:
    explicit FileReader(std::FILE* file) : file_(file) {}
    ~FileReader() { std::fclose(file_); }
    FileReader(const FileReader&) = delete;
    FileReader& operator=(const FileReader&) = delete;
    // Reads `length` bytes at `start`; false when the file ends before.
    bool read(int64_t start, uint8_t* bytes, int64_t length);

   private:
    std::FILE* file_;
    int64_t position_ = -1;  // where the next fread starts, when known
  };

  FileByteSource(std::FILE* file, int64_t size, FileBlockMemory* memory);
  std::span<const uint8_t> viewOutsideWindow(int64_t offset, int64_t count,
                                             uint8_t* scratch) override;
  // Makes block `index` the one in use and returns where it was read; nullptr when the read
  // failed.
  const Slot* loadBlock(int64_t index);
  // The next block to read for the block in use: the first of it and the blocks ahead that its
  // slot does not hold yet; -1 when all are there. Called with the lock held.
  int64_t nextBlockToRead() const;
  // Reads block `index` into its slot through `file`; the lock is held on entry and exit, not
  // during the read.
  void fillSlot(std::unique_lock<std::mutex>& lock, int64_t index, FileReader& file);
  // Reads block `index` into `slot`'s bytes and sets its length and failure.
  void readBlock(int64_t index, Slot& slot, FileReader& file);
  // Whether the reading thread has work enough to wake for: the block in use, the blocks up to
  // the end of the file, or kBlocksReadTogether blocks ahead, so that it reads in bursts
  // instead of waking for every block the reader passes. Called with the lock held.
  bool readerShouldWake() const;
  void readAheadLoop();

  FileReader own_;  // the reader's handle
  std::unique_ptr<FileReader> ahead_;
  FileBlockMemory ownMemory_;
  FileBlockMemory* memory_;
  Slot slots_[kSlotCount];
  Slot spare_;  // the reader's own, for a block the thread is reading at the same time
  int64_t lastBlock_;
  bool shrank_ = false;  // a view was refused because a block is gone

  std::mutex mutex_;  // guards slots_, inUse_ and stopping_
  std::condition_variable changed_;
  int64_t inUse_ = 0;
  bool stopping_ = false;
  std::unique_ptr<std::thread> reader_;
};

// Little-endian decoding from a byte buffer.
inline uint16_t decodeU16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }
inline uint32_t decodeU24(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
         (static_cast<uint32_t>(p[2]) << 16);
}
inline uint32_t decodeU32(const uint8_t* p) {
  return decodeU24(p) | (static_cast<uint32_t>(p[3]) << 24);
}
inline int32_t decodeI32(const uint8_t* p) { return static_cast<int32_t>(decodeU32(p)); }

// A read position over a source with little-endian decoding. A read that does not fit inside
// the source returns 0, still advances the position and sets the sticky failure, which keeps
// the offset of the first read that failed.
class ByteCursor {
 public:
  explicit ByteCursor(ByteSource& source) : source_(&source) {}

  int64_t position() const { return position_; }
  void seek(int64_t position) { position_ = position; }
  void skip(int64_t count) { position_ += count; }
  bool failed() const { return failedAt_ >= 0; }
  // Where the first failed read began; -1 while none has failed.
  int64_t failedAt() const { return failedAt_; }

  uint8_t readU8() {
    uint8_t bytes[1];
    readBytes(bytes);
    return bytes[0];
  }
  uint16_t readU16() {
    uint8_t bytes[2];
    readBytes(bytes);
    return decodeU16(bytes);
  }
  uint32_t readU24() {
    uint8_t bytes[3];
    readBytes(bytes);
    return decodeU24(bytes);
  }
  int32_t readI32() {
    uint8_t bytes[4];
    readBytes(bytes);
    return decodeI32(bytes);
  }
  // Fills `out`; on failure it is zero-filled.
  void readBytes(std::span<uint8_t> out) {
    const int64_t count = static_cast<int64_t>(out.size());
    const uint8_t* bytes = source_->view(position_, count, out.data());
    if (bytes == nullptr) {
      std::memset(out.data(), 0, out.size());
      if (failedAt_ < 0) failedAt_ = position_;
    } else if (bytes != out.data()) {
      std::memcpy(out.data(), bytes, out.size());
    }
    position_ += count;
  }

 private:
  ByteSource* source_;
  int64_t position_ = 0;
  int64_t failedAt_ = -1;
};

}  // namespace vorlind
