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

bool FileByteSource::FileReader::read(int64_t start, uint8_t* bytes, int64_t length) {
  if (position_ != start && !seekFile(file_, start)) {
    position_ = -1;
    return false;
  }
  position_ = -1;
  if (std::fread(bytes, 1, static_cast<size_t>(length), file_) != static_cast<size_t>(length)) {
    return false;
  }
  position_ = start + length;
  return true;
}

std::unique_ptr<FileByteSource> FileByteSource::open(const std::filesystem::path& path,
                                                     FileBlockMemory* memory, bool readAhead) {
  std::FILE* file = openForReading(path);
  if (file == nullptr) return nullptr;
  const int64_t size = fileSize(file);
  // A file of a few blocks is read faster than a thread starts.
  readAhead = readAhead && size > kSmallestReadAhead;
  std::FILE* ahead = readAhead ? openForReading(path) : nullptr;
  if (size < 0 || (readAhead && ahead == nullptr)) {
    std::fclose(file);
    return nullptr;
  }
  std::setvbuf(file, nullptr, _IONBF, 0);
  std::unique_ptr<FileByteSource> source(new FileByteSource(file, size, memory));
  if (ahead != nullptr) {
    std::setvbuf(ahead, nullptr, _IONBF, 0);
    source->ahead_ = std::make_unique<FileReader>(ahead);
    source->reader_ = std::make_unique<std::thread>([s = source.get()] { s->readAheadLoop(); });
  }
  return source;
}

FileByteSource::FileByteSource(std::FILE* file, int64_t size, FileBlockMemory* memory)
    : ByteSource(size),
      own_(file),
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
}

int64_t FileByteSource::nextBlockToRead() const {
  if (slots_[inUse_ % kSlotCount].Index != inUse_) return inUse_;
  const int64_t last = std::min(lastBlock_, inUse_ + kBlocksAhead);
  for (int64_t index = inUse_ + 1; index <= last; ++index) {
    if (slots_[index % kSlotCount].Index != index) return index;
  }
  return -1;
}

void FileByteSource::fillSlot(std::unique_lock<std::mutex>& lock, int64_t index, FileReader& file) {
  const int number = static_cast<int>(index % kSlotCount);
  Slot& slot = slots_[number];
  slot.Index = index;
  slot.Filling = true;
  if (slot.Bytes == nullptr) slot.Bytes = memory_->block(number);
  lock.unlock();
  readBlock(index, slot, file);
  lock.lock();
  slot.Filling = false;
}

void FileByteSource::readBlock(int64_t index, Slot& slot, FileReader& file) {
  const int64_t start = index * kBlockSize;
  slot.Length = std::min(kBlockSize, size() - start);
  slot.Failed = !file.read(start, slot.Bytes, slot.Length);
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
      fillSlot(lock, next, *ahead_);
      changed_.notify_all();
    }
    if (stopping_) return;
  }
}

const FileByteSource::Slot* FileByteSource::loadBlock(int64_t index) {
  std::unique_lock<std::mutex> lock(mutex_);
  inUse_ = index;
  Slot& slot = slots_[index % kSlotCount];
  const Slot* served = &slot;
  // The reading thread is usually just ahead, so a block it is reading right now is waited for,
  // but never long: the thread may be waiting for a processor, and then the block is read here
  // once more, into the spare. A block it has not read is read here.
  if (slot.Filling && slot.Index == index) {
    changed_.wait_for(lock, kLongestWait, [&] { return !slot.Filling; });
  }
  if (slot.Filling) {
    lock.unlock();
    if (spare_.Bytes == nullptr) spare_.Bytes = memory_->block(kSlotCount);
    spare_.Index = index;
    readBlock(index, spare_, own_);
    served = &spare_;
    lock.lock();
  } else if (slot.Index != index) {
    fillSlot(lock, index, own_);
  }
  if (reader_ && readerShouldWake()) changed_.notify_all();
  if (served->Failed) shrank_ = true;
  return served->Failed ? nullptr : served;
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
