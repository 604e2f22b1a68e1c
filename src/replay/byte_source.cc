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
                                                     FileBlockMemory* memory, bool readAhead) {
  std::FILE* file = std::fopen(path.c_str(), "rb");
  if (file == nullptr) return nullptr;
  const int64_t size = fileSize(file);
  if (size < 0) {
    std::fclose(file);
    return nullptr;
  }
  std::setvbuf(file, nullptr, _IONBF, 0);
  std::unique_ptr<FileByteSource> source(new FileByteSource(file, size, memory));
  if (readAhead) {
    source->reader_ = std::make_unique<std::thread>([s = source.get()] { s->readAheadLoop(); });
  }
  return source;
}

FileByteSource::FileByteSource(std::FILE* file, int64_t size, FileBlockMemory* memory)
    : ByteSource(size),
      file_(file),
      memory_(memory != nullptr ? memory : &ownMemory_),
      lastBlock_(size == 0 ? -1 : (size - 1) / kBlockSize) {}

FileByteSource::~FileByteSource() {
  if (reader_) {
    {
      const std::lock_guard<std::mutex> lock(mutex_);
      stopping_ = true;
    }
    changed_.notify_all();
    reader_->join();
  }
  std::fclose(file_);
}

int64_t FileByteSource::nextBlockToRead() const {
  if (slots_[inUse_ % kBlockCount].Index != inUse_) return inUse_;
  const int64_t last = std::min(lastBlock_, inUse_ + kBlocksAhead);
  for (int64_t index = inUse_ + 1; index <= last; ++index) {
    if (slots_[index % kBlockCount].Index != index) return index;
  }
  return -1;
}

void FileByteSource::fillSlot(std::unique_lock<std::mutex>& lock, int64_t index) {
  const int number = static_cast<int>(index % kBlockCount);
  Slot& slot = slots_[number];
  slot.Index = index;
  slot.Filling = true;
  if (slot.Bytes == nullptr) slot.Bytes = memory_->block(number);
  uint8_t* bytes = slot.Bytes;
  const int64_t start = index * kBlockSize;
  const int64_t length = std::min(kBlockSize, size() - start);
  lock.unlock();
  const bool read = readFileAt(start, bytes, length);
  lock.lock();
  slot.Length = length;
  slot.Failed = !read;
  slot.Filling = false;
}

bool FileByteSource::readerShouldWake() const {
  const int64_t next = nextBlockToRead();
  if (next < 0) return false;
  const int64_t last = std::min(lastBlock_, inUse_ + kBlocksAhead);
  return next == inUse_ || last == lastBlock_ || next + kBlocksReadTogether - 1 <= last;
}

void FileByteSource::readAheadLoop() {
  std::unique_lock<std::mutex> lock(mutex_);
  for (;;) {
    changed_.wait(lock, [this] { return stopping_ || readerShouldWake(); });
    for (int64_t next = nextBlockToRead(); next >= 0 && !stopping_; next = nextBlockToRead()) {
      fillSlot(lock, next);
      changed_.notify_all();
    }
    if (stopping_) return;
  }
}

const FileByteSource::Slot* FileByteSource::loadBlock(int64_t index) {
  std::unique_lock<std::mutex> lock(mutex_);
  const Slot& slot = slots_[index % kBlockCount];
  inUse_ = index;
  // A block that has not arrived is read here rather than waited for, so that the reader never
  // depends on the reading thread getting a processor; one that is arriving is waited for.
  changed_.wait(lock, [&] { return !slot.Filling; });
  if (slot.Index != index) fillSlot(lock, index);
  if (reader_ && readerShouldWake()) changed_.notify_all();
  return slot.Failed ? nullptr : &slot;
}

bool FileByteSource::readFileAt(int64_t start, uint8_t* bytes, int64_t length) {
  const std::lock_guard<std::mutex> lock(fileMutex_);
  if (filePosition_ != start && !seekFile(file_, start)) {
    filePosition_ = -1;
    return false;
  }
  filePosition_ = -1;
  if (std::fread(bytes, 1, static_cast<size_t>(length), file_) != static_cast<size_t>(length)) {
    return false;
  }
  filePosition_ = start + length;
  return true;
}

std::span<const uint8_t> FileByteSource::viewOutsideWindow(int64_t offset, int64_t count,
                                                           uint8_t* scratch) {
  if (offset < 0 || count < 0 || offset > size() || count > size() - offset) return {};
  const bool oneBlock = count <= (offset / kBlockSize + 1) * kBlockSize - offset;
  int64_t done = 0;
  do {
    const int64_t at = offset + done;
    const Slot* block = loadBlock(at / kBlockSize);
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
