// Byte-exact construction of server replay files for tests and for the event simulator. The
// builder appends the sections of a replay in the order the caller gives them and never checks
// that they make sense, so that damaged and inconsistent files can be written as easily as
// valid ones. Header fields live in the fixed 320 bytes in front and can be set at any time.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>
#include <utility>
#include <vector>

namespace vorlind::tools {

// Word written behind the race section: a length above 2000, which ends the race section for
// the reader, whose low half is also a four-byte chunk length. A reader that begins the frame
// stream at this field (after a section of 20 race blocks) so steps straight onto the first
// real chunk.
inline constexpr int32_t kRaceSectionEndWord = 0x00010004;
inline constexpr uint16_t kCarRecordType = 40;

// One crossing of the start and finish line: 24-bit time in ms and the flag byte.
struct LapRecord {
  uint32_t TimeMs = 0;
  uint8_t Flags = 0;
};

// One record of a stream chunk. `Size` is the declared size; 0 means 4 + Body.size(). The
// bytes written are the header and the body, padded to a multiple of 4 counted from the
// record's start, whatever the declared size says.
struct StreamRecord {
  uint16_t Type = 0;
  uint16_t Size = 0;
  std::vector<uint8_t> Body;
};

// One car of a car record: entry number (0 to 63) and 26-bit TrackPosition.
struct CarItem {
  uint8_t EntryNumber = 0;
  uint32_t TrackPosition = 0;
};

// The 4 stored bytes of a TrackPosition: low 24 bits little-endian, then bits 24-25 in the low
// two bits of byte 3 and the entry number in its upper six bits.
std::array<uint8_t, 4> encodeTrackPosition(uint32_t trackPosition, uint8_t entryNumber);

// Record of type 13 whose first body byte is `flag` (the race start marker when not 0).
StreamRecord startMarkerRecord(uint8_t flag);
// Record of type 1 and size 32 that carries `trackPosition` in its first four body bytes.
StreamRecord positionRecord(uint32_t trackPosition, uint8_t entryNumber);
// A car record: 4 unused body bytes, then 16 bytes per item, then `extraBytes` (0 to 7) of
// filler that leave the item count (size / 16) unchanged. Items carry `filler` in their
// 12 unused bytes.
StreamRecord carRecord(const std::vector<CarItem>& items, int extraBytes = 0,
                       uint16_t type = kCarRecordType, uint8_t filler = 0);
// Encoded bytes of a record: header, body, padding.
std::vector<uint8_t> encodeRecord(const StreamRecord& record);
// Encoded bytes of a chunk: length, previous length, the 4-byte `word`, the records.
std::vector<uint8_t> encodeChunk(const std::vector<StreamRecord>& records, uint16_t previousLength,
                                 uint32_t word = 0);

class ReplayBuilder {
 public:
  static constexpr size_t kHeaderSize = 320;

  // Starts with a zeroed header of 320 bytes and the frame rate byte 60.
  ReplayBuilder();

  ReplayBuilder& setFrameRateByte(uint8_t value);
  // Writes up to 8 bytes of `name` at offset 24; the rest of the field is zeroed.
  ReplayBuilder& setTrackName(std::string_view name);
  ReplayBuilder& setServerMarker(int32_t value);
  // Writes up to 6 bytes of `name` at offset 128, zero-filled to 8 bytes.
  ReplayBuilder& setModName(std::string_view name);
  ReplayBuilder& setHeaderByte(size_t offset, uint8_t value);

  // Appends one 152-byte entry: names (up to 16 bytes each), car number at 108, entry number
  // at 124, everything else zero.
  ReplayBuilder& addEntry(std::string_view firstName, std::string_view lastName, int32_t carNumber,
                          int32_t entryNumber);

  // "ORPL", 4 bytes, L = 4 + 4 * records, entry number, the records.
  ReplayBuilder& addPracticeBlock(int32_t entryNumber, const std::vector<LapRecord>& records);
  // The same with a given length field, which need not match the records written.
  ReplayBuilder& addPracticeBlockWithLength(int32_t entryNumber, int32_t length,
                                            const std::vector<LapRecord>& records);

  // "BTPL" and 16 zero bytes.
  ReplayBuilder& beginRaceSection();
  // L = 4 + 4 * records, entry number, the records, 8 trailing bytes.
  ReplayBuilder& addRaceBlock(int32_t entryNumber, const std::vector<LapRecord>& records);
  ReplayBuilder& addRaceBlockWithLength(int32_t entryNumber, int32_t length,
                                        const std::vector<LapRecord>& records);
  // The length field that ends the race section (must be above 2000 to end it).
  ReplayBuilder& endRaceSection(int32_t endWord = kRaceSectionEndWord);
  // For a replay without race: the word behind the last practice block (not a tag) and the
  // 8 bytes the reader skips. The 8 bytes are a length above 2000 and a four-byte chunk, so a
  // reader that takes them as race blocks also lands on the first real chunk.
  ReplayBuilder& endPracticeOnly(uint32_t word = 0x4C50444E);

  // Appends a chunk; its previous-length field is the length of the chunk appended before
  // (or `setPreviousChunkLength`'s value for the first one).
  ReplayBuilder& addChunk(const std::vector<StreamRecord>& records, uint32_t word = 0);
  ReplayBuilder& setPreviousChunkLength(uint16_t length);
  // A chunk encoded in place: beginChunk, its records, then endChunk, which fills in the length.
  // addRecord appends a record with a zeroed body of `bodySize` bytes and returns the body to
  // fill in, valid until the next append.
  ReplayBuilder& beginChunk(uint32_t word = 0);
  std::span<uint8_t> addRecord(uint16_t type, size_t bodySize);
  // Appends what carRecord(items, extraBytes, type, filler) encodes to.
  ReplayBuilder& addCarRecord(const std::vector<CarItem>& items, int extraBytes, uint16_t type,
                              uint8_t filler);
  ReplayBuilder& endChunk();
  void reserve(size_t bytes) { bytes_.reserve(bytes); }

  ReplayBuilder& appendBytes(std::span<const uint8_t> data);
  ReplayBuilder& appendU8(uint8_t value);
  ReplayBuilder& appendU16(uint16_t value);
  ReplayBuilder& appendI32(int32_t value);
  ReplayBuilder& appendU32(uint32_t value);
  ReplayBuilder& appendZeros(size_t count);
  ReplayBuilder& appendLapRecord(const LapRecord& record);

  size_t size() const { return bytes_.size(); }
  const std::vector<uint8_t>& bytes() const { return bytes_; }
  std::vector<uint8_t> take() { return std::move(bytes_); }

 private:
  void writeField(size_t offset, std::string_view text, size_t width);

  std::vector<uint8_t> bytes_;
  uint16_t previousChunkLength_ = 0;
  size_t chunkStart_ = 0;
};

}  // namespace vorlind::tools
