// Readers take their bytes from a ByteSource: a file for the program, a memory buffer for tests
// and fuzzers. A source knows its size and refuses any read that does not lie wholly inside it.
// ByteCursor adds a position and little-endian decoding on top, with a sticky failure flag so
// that a reader can do a run of reads and check once.
#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>
#include <span>
#include <string>
#include <vector>

namespace vorlind {

class ByteSource {
 public:
  virtual ~ByteSource() = default;
  virtual int64_t size() const = 0;
  // Copies out.size() bytes from `offset`; false (and nothing copied) when they are not all there.
  [[nodiscard]] virtual bool readAt(int64_t offset, std::span<uint8_t> out) = 0;
};

// A source over bytes held in memory; the bytes must outlive the source.
class MemoryByteSource final : public ByteSource {
 public:
  explicit MemoryByteSource(std::span<const uint8_t> bytes) : bytes_(bytes) {}
  int64_t size() const override { return static_cast<int64_t>(bytes_.size()); }
  [[nodiscard]] bool readAt(int64_t offset, std::span<uint8_t> out) override;

 private:
  std::span<const uint8_t> bytes_;
};

// A source over a file, read through a small cache of fixed-size blocks so that the many small
// reads of the frame stream walks cost no system call each.
class FileByteSource final : public ByteSource {
 public:
  // nullptr when the file cannot be opened for reading.
  static std::unique_ptr<FileByteSource> open(const std::string& path);
  ~FileByteSource() override;
  FileByteSource(const FileByteSource&) = delete;
  FileByteSource& operator=(const FileByteSource&) = delete;

  int64_t size() const override { return size_; }
  [[nodiscard]] bool readAt(int64_t offset, std::span<uint8_t> out) override;

 private:
  static constexpr int64_t kBlockSize = 1 << 16;
  static constexpr int kBlockCount = 8;
  struct Block {
    int64_t Index = -1;
    uint64_t LastUse = 0;
    std::vector<uint8_t> Bytes;
  };

  FileByteSource(std::FILE* file, int64_t size);
  const Block* loadBlock(int64_t index);

  std::FILE* file_;
  int64_t size_;
  uint64_t useClock_ = 0;
  Block blocks_[kBlockCount];
};

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

  uint8_t readU8();
  uint16_t readU16();
  uint32_t readU24();
  int32_t readI32();
  // Fills `out`; on failure it is zero-filled.
  void readBytes(std::span<uint8_t> out);

 private:
  ByteSource* source_;
  int64_t position_ = 0;
  bool failed_ = false;
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

}  // namespace vorlind
