#include "replay/byte_source.h"

#include <algorithm>
#include <cstring>

namespace vorlind {

bool MemoryByteSource::readAt(int64_t offset, std::span<uint8_t> out) {
  const int64_t count = static_cast<int64_t>(out.size());
  if (offset < 0 || offset > size() || count > size() - offset) return false;
  if (count > 0) std::memcpy(out.data(), bytes_.data() + offset, out.size());
  return true;
}

std::unique_ptr<FileByteSource> FileByteSource::open(const std::string& path) {
  std::FILE* file = std::fopen(path.c_str(), "rb");
  if (file == nullptr) return nullptr;
  int64_t size = -1;
  if (std::fseek(file, 0, SEEK_END) == 0) size = static_cast<int64_t>(std::ftell(file));
  if (size < 0) {
    std::fclose(file);
    return nullptr;
  }
  return std::unique_ptr<FileByteSource>(new FileByteSource(file, size));
}

FileByteSource::FileByteSource(std::FILE* file, int64_t size) : file_(file), size_(size) {}

FileByteSource::~FileByteSource() { std::fclose(file_); }

const FileByteSource::Block* FileByteSource::loadBlock(int64_t index) {
  Block* victim = &blocks_[0];
  for (Block& block : blocks_) {
    if (block.Index == index) {
      block.LastUse = ++useClock_;
      return &block;
    }
    if (block.LastUse < victim->LastUse) victim = &block;
  }
  const int64_t start = index * kBlockSize;
  const int64_t length = std::min(kBlockSize, size_ - start);
  victim->Index = -1;
  victim->Bytes.resize(static_cast<size_t>(length));
  if (std::fseek(file_, static_cast<long>(start), SEEK_SET) != 0) return nullptr;
  if (std::fread(victim->Bytes.data(), 1, victim->Bytes.size(), file_) != victim->Bytes.size()) {
    return nullptr;
  }
  victim->Index = index;
  victim->LastUse = ++useClock_;
  return victim;
}

bool FileByteSource::readAt(int64_t offset, std::span<uint8_t> out) {
  const int64_t count = static_cast<int64_t>(out.size());
  if (offset < 0 || offset > size_ || count > size_ - offset) return false;
  int64_t done = 0;
  while (done < count) {
    const int64_t at = offset + done;
    const Block* block = loadBlock(at / kBlockSize);
    if (block == nullptr) return false;
    const int64_t inBlock = at - block->Index * kBlockSize;
    const int64_t take = std::min(count - done, static_cast<int64_t>(block->Bytes.size()) - inBlock);
    std::memcpy(out.data() + done, block->Bytes.data() + inBlock, static_cast<size_t>(take));
    done += take;
  }
  return true;
}

uint8_t ByteCursor::readU8() {
  uint8_t bytes[1];
  readBytes(bytes);
  return bytes[0];
}

uint16_t ByteCursor::readU16() {
  uint8_t bytes[2];
  readBytes(bytes);
  return decodeU16(bytes);
}

uint32_t ByteCursor::readU24() {
  uint8_t bytes[3];
  readBytes(bytes);
  return decodeU24(bytes);
}

int32_t ByteCursor::readI32() {
  uint8_t bytes[4];
  readBytes(bytes);
  return decodeI32(bytes);
}

void ByteCursor::readBytes(std::span<uint8_t> out) {
  if (!source_->readAt(position_, out)) {
    std::fill(out.begin(), out.end(), uint8_t{0});
    failed_ = true;
  }
  position_ += static_cast<int64_t>(out.size());
}

}  // namespace vorlind
