#include "replay/byte_source.h"

#include <algorithm>

namespace vorlind {

namespace {

bool seekFile(std::FILE* file, int64_t offset) {
#ifdef _WIN32
  return _fseeki64(file, offset, SEEK_SET) == 0;
#else
  return fseeko(file, static_cast<off_t>(offset), SEEK_SET) == 0;
#endif
}

int64_t fileSize(std::FILE* file) {
#ifdef _WIN32
  if (_fseeki64(file, 0, SEEK_END) != 0) return -1;
  return _ftelli64(file);
#else
  if (fseeko(file, 0, SEEK_END) != 0) return -1;
  return static_cast<int64_t>(ftello(file));
#endif
}

}  // namespace

MemoryByteSource::MemoryByteSource(std::span<const uint8_t> bytes)
    : ByteSource(static_cast<int64_t>(bytes.size())) {
  setWindow(bytes.data(), 0, static_cast<int64_t>(bytes.size()));
}

std::span<const uint8_t> MemoryByteSource::viewOutsideWindow(int64_t, int64_t, uint8_t*) {
  return {};
}

uint8_t* FileBlockMemory::block(int i) {
  std::unique_ptr<uint8_t[]>& bytes = blocks_[i];
  if (!bytes) bytes.reset(new uint8_t[kBlockSize]);
  return bytes.get();
}

std::unique_ptr<FileByteSource> FileByteSource::open(const std::string& path,
                                                     FileBlockMemory* memory) {
  std::FILE* file = std::fopen(path.c_str(), "rb");
  if (file == nullptr) return nullptr;
  const int64_t size = fileSize(file);
  if (size < 0) {
    std::fclose(file);
    return nullptr;
  }
  std::setvbuf(file, nullptr, _IONBF, 0);
  return std::unique_ptr<FileByteSource>(new FileByteSource(file, size, memory));
}

FileByteSource::FileByteSource(std::FILE* file, int64_t size, FileBlockMemory* memory)
    : ByteSource(size), file_(file), memory_(memory != nullptr ? memory : &ownMemory_) {}

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
  const int64_t length = std::min(kBlockSize, size() - start);
  victim->Index = -1;
  if (victim->Bytes == nullptr) victim->Bytes = memory_->block(static_cast<int>(victim - blocks_));
  victim->Length = length;
  if (filePosition_ != start && !seekFile(file_, start)) {
    filePosition_ = -1;
    return nullptr;
  }
  filePosition_ = -1;
  if (std::fread(victim->Bytes, 1, static_cast<size_t>(length), file_) !=
      static_cast<size_t>(length)) {
    return nullptr;
  }
  filePosition_ = start + length;
  victim->Index = index;
  victim->LastUse = ++useClock_;
  return victim;
}

std::span<const uint8_t> FileByteSource::viewOutsideWindow(int64_t offset, int64_t count,
                                                           uint8_t* scratch) {
  if (offset < 0 || count < 0 || offset > size() || count > size() - offset) return {};
  const bool oneBlock = count <= (offset / kBlockSize + 1) * kBlockSize - offset;
  int64_t done = 0;
  do {
    const int64_t at = offset + done;
    const Block* block = loadBlock(at / kBlockSize);
    if (block == nullptr) {
      setWindow(nullptr, 0, 0);
      return {};
    }
    const int64_t blockStart = block->Index * kBlockSize;
    setWindow(block->Bytes, blockStart, block->Length);
    if (oneBlock) {
      return {block->Bytes + (offset - blockStart),
              static_cast<size_t>(blockStart + block->Length - offset)};
    }
    const int64_t take = std::min(count - done, block->Length - (at - blockStart));
    std::memcpy(scratch + done, block->Bytes + (at - blockStart), static_cast<size_t>(take));
    done += take;
  } while (done < count);
  return {scratch, static_cast<size_t>(count)};
}

}  // namespace vorlind
