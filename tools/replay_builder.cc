#include "replay_builder.h"

#include <algorithm>

#include "replay/replay_format.h"

namespace vorlind::tools {

namespace fmt = vorlind::replay_format;

namespace {

void putU16(std::vector<uint8_t>& out, uint16_t value) {
  out.push_back(static_cast<uint8_t>(value & 0xFF));
  out.push_back(static_cast<uint8_t>(value >> 8));
}

void putU32(std::vector<uint8_t>& out, uint32_t value) {
  for (int shift = 0; shift < 32; shift += 8) out.push_back(static_cast<uint8_t>(value >> shift));
}

void putTag(std::vector<uint8_t>& out, int32_t tag) { putU32(out, static_cast<uint32_t>(tag)); }

void setU16(uint8_t* at, uint16_t value) {
  at[0] = static_cast<uint8_t>(value & 0xFF);
  at[1] = static_cast<uint8_t>(value >> 8);
}

size_t carBodySize(const std::vector<CarItem>& items, int extraBytes) {
  return fmt::kCarItemsOffset + fmt::kCarItemSize * items.size() +
         static_cast<size_t>(std::clamp(extraBytes, 0, 7));
}

// Fills a zeroed car record body: the items' positions and the filler behind the first 4 bytes.
void writeCarBody(std::span<uint8_t> body, const std::vector<CarItem>& items, uint8_t filler) {
  std::fill(body.begin() + fmt::kCarItemsOffset, body.end(), filler);
  auto item = body.begin() + fmt::kCarItemsOffset;
  for (const CarItem& car : items) {
    const auto stored = encodeTrackPosition(car.TrackPosition, car.EntryNumber);
    std::copy(stored.begin(), stored.end(), item);
    item += fmt::kCarItemSize;
  }
}

// The encoders append in place, so that writing a chunk takes no memory of its own. A record
// is appended with a zeroed body, which the caller fills in.
std::span<uint8_t> appendRecordWithBody(std::vector<uint8_t>& out, uint16_t type,
                                        uint16_t declaredSize, size_t bodySize) {
  const size_t start = out.size();
  const size_t written = fmt::kRecordHeaderSize + bodySize;
  out.resize(start + static_cast<size_t>(fmt::paddedRecordSize(static_cast<int64_t>(written))), 0);
  setU16(out.data() + start, type);
  setU16(out.data() + start + 2, declaredSize != 0 ? declaredSize : static_cast<uint16_t>(written));
  return std::span<uint8_t>(out).subspan(start + fmt::kRecordHeaderSize, bodySize);
}

void appendRecord(std::vector<uint8_t>& out, const StreamRecord& record) {
  std::ranges::copy(
      record.Body, appendRecordWithBody(out, record.Type, record.Size, record.Body.size()).begin());
}

void appendChunk(std::vector<uint8_t>& out, const std::vector<StreamRecord>& records,
                 uint16_t previousLength, uint32_t word) {
  const size_t start = out.size();
  out.resize(start + 8);  // length (set at the end), previous length, word
  setU16(out.data() + start + 2, previousLength);
  setU16(out.data() + start + 4, static_cast<uint16_t>(word));
  setU16(out.data() + start + 6, static_cast<uint16_t>(word >> 16));
  for (const StreamRecord& record : records) appendRecord(out, record);
  setU16(out.data() + start, static_cast<uint16_t>(out.size() - start));
}

}  // namespace

std::array<uint8_t, 4> encodeTrackPosition(uint32_t trackPosition, uint8_t entryNumber) {
  return {static_cast<uint8_t>(trackPosition & 0xFF),
          static_cast<uint8_t>((trackPosition >> 8) & 0xFF),
          static_cast<uint8_t>((trackPosition >> 16) & 0xFF),
          static_cast<uint8_t>(((trackPosition >> 24) & fmt::kTrackPositionHighMask) |
                               (static_cast<uint32_t>(entryNumber) << fmt::kEntryNumberShift))};
}

StreamRecord startMarkerRecord(uint8_t flag) {
  return StreamRecord{fmt::kStartMarkerRecordType, 0, {flag, 0, 0, 0}};
}

StreamRecord positionRecord(uint32_t trackPosition, uint8_t entryNumber) {
  StreamRecord record{fmt::kPositionRecordType, fmt::kPositionRecordSize, {}};
  const auto stored = encodeTrackPosition(trackPosition, entryNumber);
  record.Body.assign(stored.begin(), stored.end());
  record.Body.resize(fmt::kPositionRecordSize - fmt::kRecordHeaderSize, 0);
  return record;
}

StreamRecord carRecord(const std::vector<CarItem>& items, int extraBytes, uint16_t type,
                       uint8_t filler) {
  StreamRecord record{type, 0, std::vector<uint8_t>(carBodySize(items, extraBytes), 0)};
  writeCarBody(record.Body, items, filler);
  return record;
}

std::vector<uint8_t> encodeRecord(const StreamRecord& record) {
  std::vector<uint8_t> out;
  appendRecord(out, record);
  return out;
}

std::vector<uint8_t> encodeChunk(const std::vector<StreamRecord>& records, uint16_t previousLength,
                                 uint32_t word) {
  std::vector<uint8_t> out;
  appendChunk(out, records, previousLength, word);
  return out;
}

ReplayBuilder::ReplayBuilder() : bytes_(kHeaderSize, 0) {
  bytes_[fmt::kFrameRateOffset] = fmt::kFrameRate60Marker;
}

ReplayBuilder& ReplayBuilder::setFrameRateByte(uint8_t value) {
  bytes_[fmt::kFrameRateOffset] = value;
  return *this;
}

void ReplayBuilder::writeField(size_t offset, std::string_view text, size_t width) {
  for (size_t i = 0; i < width; ++i) {
    bytes_[offset + i] = i < text.size() ? static_cast<uint8_t>(text[i]) : 0;
  }
}

ReplayBuilder& ReplayBuilder::setTrackName(std::string_view name) {
  writeField(fmt::kTrackNameOffset, name, fmt::kTrackNameWidth);
  return *this;
}

ReplayBuilder& ReplayBuilder::setServerMarker(int32_t value) {
  for (int i = 0; i < 4; ++i) {
    bytes_[fmt::kServerMarkerOffset + i] =
        static_cast<uint8_t>(static_cast<uint32_t>(value) >> (8 * i));
  }
  return *this;
}

ReplayBuilder& ReplayBuilder::setModName(std::string_view name) {
  writeField(fmt::kModNameOffset, name.substr(0, fmt::kModNameWidth), 8);
  return *this;
}

ReplayBuilder& ReplayBuilder::setHeaderByte(size_t offset, uint8_t value) {
  if (offset < kHeaderSize) bytes_[offset] = value;
  return *this;
}

ReplayBuilder& ReplayBuilder::addEntry(std::string_view firstName, std::string_view lastName,
                                       int32_t carNumber, int32_t entryNumber) {
  const size_t start = bytes_.size();
  bytes_.resize(start + fmt::kEntrySize, 0);
  writeField(start + fmt::kEntryFirstNameOffset, firstName.substr(0, fmt::kNameFieldWidth),
             fmt::kNameFieldWidth);
  writeField(start + fmt::kEntryLastNameOffset, lastName.substr(0, fmt::kNameFieldWidth),
             fmt::kNameFieldWidth);
  for (int i = 0; i < 4; ++i) {
    bytes_[start + fmt::kEntryCarOffset + i] =
        static_cast<uint8_t>(static_cast<uint32_t>(carNumber) >> (8 * i));
    bytes_[start + fmt::kEntryNumberOffset + i] =
        static_cast<uint8_t>(static_cast<uint32_t>(entryNumber) >> (8 * i));
  }
  return *this;
}

ReplayBuilder& ReplayBuilder::addPracticeBlock(int32_t entryNumber,
                                               const std::vector<LapRecord>& records) {
  const auto length = static_cast<int32_t>(4 + fmt::kLapRecordSize * records.size());
  return addPracticeBlockWithLength(entryNumber, length, records);
}

ReplayBuilder& ReplayBuilder::addPracticeBlockWithLength(int32_t entryNumber, int32_t length,
                                                         const std::vector<LapRecord>& records) {
  putTag(bytes_, fmt::kPracticeTag);
  appendZeros(fmt::kPracticeUnreadAfterTag);
  appendI32(length);
  appendI32(entryNumber);
  for (const LapRecord& record : records) appendLapRecord(record);
  return *this;
}

ReplayBuilder& ReplayBuilder::beginRaceSection() {
  putTag(bytes_, fmt::kRaceTag);
  return appendZeros(fmt::kRaceUnreadAfterTag);
}

ReplayBuilder& ReplayBuilder::addRaceBlock(int32_t entryNumber,
                                           const std::vector<LapRecord>& records) {
  const auto length = static_cast<int32_t>(4 + fmt::kLapRecordSize * records.size());
  return addRaceBlockWithLength(entryNumber, length, records);
}

ReplayBuilder& ReplayBuilder::addRaceBlockWithLength(int32_t entryNumber, int32_t length,
                                                     const std::vector<LapRecord>& records) {
  appendI32(length);
  appendI32(entryNumber);
  for (const LapRecord& record : records) appendLapRecord(record);
  return appendZeros(fmt::kRaceBlockTrailer);
}

ReplayBuilder& ReplayBuilder::endRaceSection(int32_t endWord) {
  previousChunkLength_ = static_cast<uint16_t>(static_cast<uint32_t>(endWord) & 0xFFFF);
  return appendI32(endWord);
}

ReplayBuilder& ReplayBuilder::endPracticeOnly(uint32_t word) {
  appendU32(word);
  appendI32(kRaceSectionEndWord);
  appendI32(kRaceSectionEndWord);
  previousChunkLength_ = static_cast<uint16_t>(kRaceSectionEndWord & 0xFFFF);
  return *this;
}

ReplayBuilder& ReplayBuilder::addChunk(const std::vector<StreamRecord>& records, uint32_t word) {
  beginChunk(word);
  for (const StreamRecord& record : records) appendRecord(bytes_, record);
  return endChunk();
}

ReplayBuilder& ReplayBuilder::beginChunk(uint32_t word) {
  chunkStart_ = bytes_.size();
  appendChunk(bytes_, {}, previousChunkLength_, word);
  return *this;
}

std::span<uint8_t> ReplayBuilder::addRecord(uint16_t type, size_t bodySize) {
  return appendRecordWithBody(bytes_, type, 0, bodySize);
}

ReplayBuilder& ReplayBuilder::addCarRecord(const std::vector<CarItem>& items, int extraBytes,
                                           uint16_t type, uint8_t filler) {
  writeCarBody(addRecord(type, carBodySize(items, extraBytes)), items, filler);
  return *this;
}

ReplayBuilder& ReplayBuilder::endChunk() {
  previousChunkLength_ = static_cast<uint16_t>(bytes_.size() - chunkStart_);
  setU16(bytes_.data() + chunkStart_, previousChunkLength_);
  return *this;
}

ReplayBuilder& ReplayBuilder::setPreviousChunkLength(uint16_t length) {
  previousChunkLength_ = length;
  return *this;
}

ReplayBuilder& ReplayBuilder::appendBytes(std::span<const uint8_t> data) {
  bytes_.insert(bytes_.end(), data.begin(), data.end());
  return *this;
}

ReplayBuilder& ReplayBuilder::appendU8(uint8_t value) {
  bytes_.push_back(value);
  return *this;
}

ReplayBuilder& ReplayBuilder::appendU16(uint16_t value) {
  putU16(bytes_, value);
  return *this;
}

ReplayBuilder& ReplayBuilder::appendI32(int32_t value) {
  putU32(bytes_, static_cast<uint32_t>(value));
  return *this;
}

ReplayBuilder& ReplayBuilder::appendU32(uint32_t value) {
  putU32(bytes_, value);
  return *this;
}

ReplayBuilder& ReplayBuilder::appendZeros(size_t count) {
  bytes_.insert(bytes_.end(), count, 0);
  return *this;
}

ReplayBuilder& ReplayBuilder::appendLapRecord(const LapRecord& record) {
  bytes_.push_back(static_cast<uint8_t>(record.TimeMs & 0xFF));
  bytes_.push_back(static_cast<uint8_t>((record.TimeMs >> 8) & 0xFF));
  bytes_.push_back(static_cast<uint8_t>((record.TimeMs >> 16) & 0xFF));
  bytes_.push_back(record.Flags);
  return *this;
}

}  // namespace vorlind::tools
