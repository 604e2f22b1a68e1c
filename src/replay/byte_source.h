// Readers take their bytes from a ByteSource: a file for the program, a memory buffer for tests
// and fuzzers. A source knows its size and refuses any read that does not lie wholly inside it.
// Reads are served from a window of bytes held in memory (the whole buffer, or the file block
// read last), so that the many small reads of the frame stream walks cost a bounds check and a
// copy; only a read outside the window goes to the file. ByteCursor adds a position and
// little-endian decoding, with a sticky failure flag so that a reader can check once.
#pragma once

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>
#include <span>
#include <string>

namespace vorlind {

class ByteSource {
 public:
  virtual ~ByteSource() = default;
  int64_t size() const { return size_; }

  // Copies out.size() bytes from `offset`; false (and nothing copied) when they are not all there.
  [[nodiscard]] bool readAt(int64_t offset, std::span<uint8_t> out) {
    const int64_t count = static_cast<int64_t>(out.size());
    if (offset >= windowStart_ && count <= windowEnd_ - offset) {
      std::memcpy(out.data(), window_ + (offset - windowStart_), out.size());
      return true;
    }
    return readOutsideWindow(offset, out);
  }

  // A pointer to the `count` bytes at `offset` where they lie in memory in one piece, or nullptr
  // (then readAt still serves them, or says they are not there). The pointer stays valid until
  // the next call of peek or readAt.
  const uint8_t* peek(int64_t offset, int64_t count) {
    if (offset >= windowStart_ && count >= 0 && count <= windowEnd_ - offset) {
      return window_ + (offset - windowStart_);
    }
    return peekOutsideWindow(offset, count);
  }

  // The bytes from `offset` to the end of the piece of memory that holds it: at least one, or
  // none when `offset` is not inside the source. Valid until the next call of peek or readAt.
  std::span<const uint8_t> peekRun(int64_t offset) {
    if (offset < windowStart_ || offset >= windowEnd_) {
      const uint8_t* byte = peekOutsideWindow(offset, 1);
      if (byte == nullptr) return {};
      if (offset < windowStart_ || offset >= windowEnd_) return {byte, 1};
    }
    return {window_ + (offset - windowStart_), static_cast<size_t>(windowEnd_ - offset)};
  }

 protected:
  explicit ByteSource(int64_t size) : size_(size) {}
  void setWindow(const uint8_t* bytes, int64_t start, int64_t length) {
    window_ = bytes;
    windowStart_ = start;
    windowEnd_ = start + length;
  }
  // Serve a read that the window does not hold. They may move the window; a peek that succeeds
  // leaves the window holding the bytes it points at.
  [[nodiscard]] virtual bool readOutsideWindow(int64_t offset, std::span<uint8_t> out) = 0;
  virtual const uint8_t* peekOutsideWindow(int64_t offset, int64_t count) = 0;

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
  [[nodiscard]] bool readOutsideWindow(int64_t offset, std::span<uint8_t> out) override;
  const uint8_t* peekOutsideWindow(int64_t offset, int64_t count) override;
};

// The memory a FileByteSource reads its blocks into. The run reads its replays one after another
// through one of these, so that the pages are taken from the system once, not once per file.
class FileBlockMemory {
 public:
  static constexpr int64_t kBlockSize = 1 << 18;
  static constexpr int kBlockCount = 4;

  // Block `i` (below kBlockCount): kBlockSize bytes, left as the last file read into it left them.
  uint8_t* block(int i);

 private:
  std::unique_ptr<uint8_t[]> blocks_[kBlockCount];
};

// A source over a file, read in blocks of 256 KiB of which the last few stay in memory, so that
// stepping back a little in the stream does not read the file again.
class FileByteSource final : public ByteSource {
 public:
  // nullptr when the file cannot be opened for reading. The blocks go into `memory`, which must
  // outlive the source and serve no other source at the same time, or into memory of its own.
  static std::unique_ptr<FileByteSource> open(const std::string& path,
                                              FileBlockMemory* memory = nullptr);
  ~FileByteSource() override;
  FileByteSource(const FileByteSource&) = delete;
  FileByteSource& operator=(const FileByteSource&) = delete;

 private:
  static constexpr int64_t kBlockSize = FileBlockMemory::kBlockSize;
  static constexpr int kBlockCount = FileBlockMemory::kBlockCount;
  struct Block {
    int64_t Index = -1;
    uint64_t LastUse = 0;
    int64_t Length = 0;
    uint8_t* Bytes = nullptr;
  };

  FileByteSource(std::FILE* file, int64_t size, FileBlockMemory* memory);
  [[nodiscard]] bool readOutsideWindow(int64_t offset, std::span<uint8_t> out) override;
  const uint8_t* peekOutsideWindow(int64_t offset, int64_t count) override;
  const Block* loadBlock(int64_t index);

  std::FILE* file_;
  int64_t filePosition_ = -1;  // where the next fread starts, when known
  FileBlockMemory ownMemory_;
  FileBlockMemory* memory_;
  uint64_t useClock_ = 0;
  Block blocks_[kBlockCount];
};

// Little-endian decoding from a byte buffer.
inline uint16_t decodeU16(const uint8_t* p) {
  return static_cast<uint16_t>(p[0] | (p[1] << 8));
}
inline uint32_t decodeU24(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
         (static_cast<uint32_t>(p[2]) << 16);
}
inline uint32_t decodeU32(const uint8_t* p) {
  return decodeU24(p) | (static_cast<uint32_t>(p[3]) << 24);
}
inline int32_t decodeI32(const uint8_t* p) { return static_cast<int32_t>(decodeU32(p)); }

// A read position over a source with little-endian decoding. A read that does not fit inside
// the source returns 0, still advances the position and sets the sticky failure flag.
class ByteCursor {
 public:
  explicit ByteCursor(ByteSource& source) : source_(&source) {}

  int64_t position() const { return position_; }
  int64_t size() const { return source_->size(); }
  void seek(int64_t position) { position_ = position; }
  void skip(int64_t count) { position_ += count; }
  bool failed() const { return failed_; }
  void clearFailure() { failed_ = false; }

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
    if (!source_->readAt(position_, out)) {
      std::memset(out.data(), 0, out.size());
      failed_ = true;
    }
    position_ += static_cast<int64_t>(out.size());
  }

 private:
  ByteSource* source_;
  int64_t position_ = 0;
  bool failed_ = false;
};

}  // namespace vorlind
