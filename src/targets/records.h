// The 30-byte records of the list files ("MO_IP.log", "MO_ID.log") and the tiling files
// ("MO_Tiling.log", "MO_TilingR.log"): one header record, then one record per target row.
// Pure value code: standard library only, no I/O; the pages open and close the files.
#pragma once

#include <cstddef>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "protocol/frame.h"

namespace dravik::targets {

using protocol::Byte;
using protocol::Bytes;

inline constexpr std::size_t kRecordSize = 30;

// Field offsets and widths inside one record. A text field ends at its first zero byte or
// at the end of the field, whichever comes first.
namespace field {
inline constexpr std::size_t kAddressOffset = 0, kAddressWidth = 16;   // header: columns text
inline constexpr std::size_t kModelOffset = 16, kModelWidth = 10;      // header: rows text
inline constexpr std::size_t kPosOffset = 26, kPosWidth = 2;           // header: flag
inline constexpr std::size_t kIdOffset = 28, kIdWidth = 2;
}  // namespace field

// Longest texts a writer stores: address and model keep room for their zero byte; position
// and ID may fill their two bytes (IDs and positions 10..25) and then have none.
inline constexpr std::size_t kMaxAddressChars = 15;
inline constexpr std::size_t kMaxModelChars = 9;
inline constexpr std::size_t kMaxColumnsChars = 15;
inline constexpr std::size_t kMaxRowsChars = 9;
inline constexpr std::size_t kMaxPosChars = 2;
inline constexpr std::size_t kMaxIdChars = 2;

enum class RecordMode { Lan, Serial };
enum class RecordKind { List, Tiling };

// "MO_IP.log", "MO_ID.log", "MO_Tiling.log" or "MO_TilingR.log".
std::string_view RecordFileName(RecordMode mode, RecordKind kind);

// The header record. The Control page calls its fields value A, value B and flag C and only
// carries them through; the video-wall page reads them as matrix columns, matrix rows and
// frame compensation.
struct HeaderRecord {
    std::string columnsText = "1";   // bytes 0..15
    std::string rowsText = "1";      // bytes 16..25
    bool flag = false;               // byte 26: "1" or "0"

    // Decimal values of the two texts (leading blanks and a sign allowed, digits up to the
    // first other character; no digits gives 0).
    int columns() const;
    int rows() const;

    static HeaderRecord FromValues(int columns, int rows, bool flag);

    bool operator==(const HeaderRecord&) const = default;
};

// One device record, field by field. Which column of the target list goes where depends on
// the file: see EncodeRecords and RowKey.
struct DeviceRecord {
    std::string address;   // bytes 0..15 (LAN files; unused in RS-232 files)
    std::string model;     // bytes 16..25
    std::string pos;       // bytes 26..27 (tiling files; zero in list files)
    std::string id;        // bytes 28..29

    bool operator==(const DeviceRecord&) const = default;
};

struct RecordFile {
    bool headerRead = false;   // false: the file was too short for a header; header holds defaults
    HeaderRecord header;
    std::vector<DeviceRecord> devices;

    bool operator==(const RecordFile&) const = default;
};

// The whole file image: the header record, then one record per device in order. Texts are
// cut to their fields. Fields the file kind does not use are written as zero, except that an
// RS-232 tiling file repeats the previous record's bytes 0..15 in every device record (the
// files have always been written from one reused record buffer; readers ignore those bytes).
Bytes EncodeRecords(const RecordFile& file, RecordMode mode, RecordKind kind);

// Reads any byte sequence. Fewer than 30 bytes: no header (defaults) and no devices.
// Otherwise every further 30 bytes make a device, and a shorter last piece still makes one
// (its missing bytes read as zero).
RecordFile DecodeRecords(std::span<const Byte> bytes);

// What the target list shows in column 0 for a record: the address in LAN mode, the monitor
// ID in RS-232 mode.
const std::string& RowKey(const DeviceRecord& device, RecordMode mode);

}  // namespace dravik::targets
