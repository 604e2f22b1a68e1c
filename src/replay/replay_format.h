// The layout of a server replay, as far as the program reads it: offsets, sizes, tags and
// guards, written down once. Multi-byte numbers are little-endian.
//
// File:   header (offset 0) | entry table (offset 320, 152 bytes an entry, ended by a tag)
//         | practice blocks "ORPL" | race section "BTPL" | frame stream.
// Practice block: tag, 4 unread bytes, length L, entry number, L / 4 - 1 lap records.
// Race section: tag, 16 unread bytes, up to 20 race blocks (length L <= 2000, entry number,
//         L / 4 - 1 lap records, 8 unread bytes); a length above 2000 ends it.
// Lap record: 24-bit crossing time in ms, one flag byte.
// Frame stream: chunks of u16 length, u16 previous length, 4 bytes, then records of u16 type,
//         u16 size, body, padding to a multiple of 4. The last record of a chunk holds the
//         16-byte car position items.
#pragma once

#include <cstdint>

namespace vorlind::replay_format {

// Header.
inline constexpr int64_t kFrameRateOffset = 5;
inline constexpr uint8_t kFrameRate60Marker = 60;
inline constexpr int32_t kFrameRate60 = 60;
inline constexpr int32_t kFrameRate36 = 36;
inline constexpr int64_t kTrackNameOffset = 24;
inline constexpr int kTrackNameWidth = 8;
inline constexpr int64_t kServerMarkerOffset = 52;
inline constexpr int64_t kModNameOffset = 128;
inline constexpr int kModNameWidth = 6;

// Entry table.
inline constexpr int64_t kEntryTableOffset = 320;
inline constexpr int64_t kEntrySize = 152;
inline constexpr int kNameFieldWidth = 16;
inline constexpr int64_t kEntryFirstNameOffset = 0;
inline constexpr int64_t kEntryLastNameOffset = 16;
inline constexpr int64_t kEntryCarOffset = 108;
inline constexpr int64_t kEntryNumberOffset = 124;
inline constexpr int kMaxEntries = 20;

// Tags, as little-endian 32-bit words of the bytes "ORPL" and "BTPL".
inline constexpr int32_t kPracticeTag = 0x4C50524F;
inline constexpr int32_t kRaceTag = 0x4C505442;
static_assert(kPracticeTag == 1280332367);
static_assert(kRaceTag == 1280332866);

// Practice blocks and the race section.
inline constexpr int64_t kPracticeUnreadAfterTag = 4;
inline constexpr int64_t kRaceUnreadAfterTag = 16;
inline constexpr int64_t kNoRaceSkip = 8;
inline constexpr int kMaxRaceBlocks = 20;
inline constexpr int32_t kMaxRaceBlockLength = 2000;
inline constexpr int64_t kRaceBlockTrailer = 8;
inline constexpr int64_t kLapRecordSize = 4;
inline constexpr uint8_t kInvalidLapFlag = 16;
inline constexpr uint8_t kOffTrackFlag = 64;

// Frame stream.
inline constexpr int64_t kChunkPreviousLengthOffset = 2;
inline constexpr int64_t kChunkFirstRecordOffset = 8;
inline constexpr int64_t kChunkStartFlagOffset = 12;
inline constexpr int64_t kRecordHeaderSize = 4;
inline constexpr uint16_t kSingleLeadRecordType = 15;
inline constexpr uint16_t kStartMarkerRecordType = 13;
inline constexpr uint16_t kPositionRecordType = 1;
inline constexpr uint16_t kPositionRecordSize = 32;
inline constexpr int kMaxWalkedRecords = 79;
inline constexpr int64_t kCarItemSize = 16;
inline constexpr int64_t kCarItemsOffset = 4;               // from the car record's body start
inline constexpr int kMaxCarItems = 0xFFFF / kCarItemSize;  // a record size is 16 bits
// The first four bytes of a car item (and of a position record's body): a 26-bit track position,
// little-endian, whose top two bits share the fourth byte with the entry number above them.
inline constexpr uint32_t kTrackPositionMask = 0x03FFFFFF;
inline constexpr uint32_t kTrackPositionHighMask = 0x3;
inline constexpr int kEntryNumberShift = 2;
inline constexpr int kItemFieldSize = 4;

// Guards of the frame stream walks.
inline constexpr int64_t kTrackScanTailGuard = 10000;
inline constexpr int64_t kMeasureTailGuard = 1200;

// The lap records of a block whose length field is `length`; the first is the crossing that
// starts lap 1, so a block holds one lap less than records.
constexpr int32_t lapRecordCount(int32_t length) { return length / 4 - 1; }
constexpr int32_t lapCount(int32_t length) { return length / 4 - 2; }
static_assert(lapRecordCount(4 + 4 * 3) == 3 && lapCount(4 + 4 * 3) == 2);

// The car items of a car record of `size` bytes, header included.
constexpr int carItemCount(uint16_t size) { return size / kCarItemSize; }

// Rounds a record size up to the multiple of 4 it occupies.
constexpr int64_t paddedRecordSize(int64_t size) { return (size + 3) / 4 * 4; }
static_assert(paddedRecordSize(32) == 32 && paddedRecordSize(47) == 48);

}  // namespace vorlind::replay_format
