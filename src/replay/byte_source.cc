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

// Opens by the system's own file names, which on Windows are wide.
std::FILE* openForReading(const std::filesystem::path& path) {
#ifdef _WIN32
  return _wfopen(path.c_str(), L"rb");
#else
  return std::fopen(path.c_str(), "rb");
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

std::unique_ptr<FileByteSource> FileByteSource::open(const std::filesystem::path& path,
                                                     FileBlockMemory* memory) {
  std::FILE* file = openForReading(path);
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

const uint8_t* FileByteSource::loadBlock(int64_t index) {
  const int number = static_cast<int>(index % kSlotCount);
  Slot& slot = slots_[number];
  uint8_t* bytes = memory_->block(number);
  if (slot.Index == index) return bytes;
  const int64_t start = index * kBlockSize;
  slot.Index = -1;
  slot.Length = std::min(kBlockSize, size() - start);
  const bool placed = position_ == start || seekFile(file_, start);
  if (!placed || std::fread(bytes, 1, static_cast<size_t>(slot.Length), file_) !=
                     static_cast<size_t>(slot.Length)) {
    position_ = -1;
    changed_ = true;
    return nullptr;
  }
  position_ = start + slot.Length;
  slot.Index = index;
  return bytes;
}

std::span<const uint8_t> FileByteSource::viewOutsideWindow(int64_t offset, int64_t count,
                                                           uint8_t* scratch) {
  if (offset < 0 || count < 0 || offset > size() || count > size() - offset) return {};
  const bool oneBlock = count <= (offset / kBlockSize + 1) * kBlockSize - offset;
  int64_t done = 0;
  do {
    const int64_t at = offset + done;
    const int64_t index = at / kBlockSize;
    const uint8_t* block = loadBlock(index);
    if (block == nullptr) {
      setWindow(nullptr, 0, 0);
      return {};
    }
    const int64_t blockStart = index * kBlockSize;
    const int64_t length = slots_[index % kSlotCount].Length;
    setWindow(block, blockStart, length);
    if (oneBlock) {
      return {block + (offset - blockStart), static_cast<size_t>(blockStart + length - offset)};
    }
    const int64_t take = std::min(count - done, length - (at - blockStart));
    std::memcpy(scratch + done, block + (at - blockStart), static_cast<size_t>(take));
    done += take;
  } while (done < count);
  return {scratch, static_cast<size_t>(count)};
}

}  // namespace vorlind
