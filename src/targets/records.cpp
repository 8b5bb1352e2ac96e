#include "targets/records.h"

#include <algorithm>
#include <array>
#include <string>

namespace dravik::targets {

namespace {

using Record = std::array<Byte, kRecordSize>;

// Writes up to maxChars characters of text (stopping at an embedded zero, as a C string
// would) and zeros over the rest of the field.
void PutText(Record& record, std::size_t offset, std::size_t width, std::string_view text,
             std::size_t maxChars) {
    const std::size_t limit = std::min(maxChars, width);
    std::size_t n = 0;
    for (; n < text.size() && n < limit && text[n] != '\0'; ++n) {
        record[offset + n] = static_cast<Byte>(text[n]);
    }
    std::fill(record.begin() + static_cast<std::ptrdiff_t>(offset + n),
              record.begin() + static_cast<std::ptrdiff_t>(offset + width), Byte{0});
}

std::string GetText(const Record& record, std::size_t offset, std::size_t width) {
    std::string text;
    for (std::size_t i = offset; i < offset + width && record[i] != 0; ++i) {
        text.push_back(static_cast<char>(record[i]));
    }
    return text;
}

// The record starting at byte `start`, zero-padded where the input ends early.
Record Slice(std::span<const Byte> bytes, std::size_t start) {
    Record record{};
    const std::size_t n = std::min(kRecordSize, bytes.size() - start);
    std::copy_n(bytes.begin() + static_cast<std::ptrdiff_t>(start), n, record.begin());
    return record;
}

int ToInt(std::string_view text) { return static_cast<int>(protocol::DecimalValue(text)); }

}  // namespace

std::string_view RecordFileName(RecordMode mode, RecordKind kind) {
    if (kind == RecordKind::List) return mode == RecordMode::Lan ? "MO_IP.log" : "MO_ID.log";
    return mode == RecordMode::Lan ? "MO_Tiling.log" : "MO_TilingR.log";
}

int HeaderRecord::columns() const { return ToInt(columnsText); }
int HeaderRecord::rows() const { return ToInt(rowsText); }

HeaderRecord HeaderRecord::FromValues(int columns, int rows, bool flag) {
    return HeaderRecord{std::to_string(columns), std::to_string(rows), flag};
}

Bytes EncodeRecords(const RecordFile& file, RecordMode mode, RecordKind kind) {
    using namespace field;
    Bytes out;
    out.reserve(kRecordSize * (1 + file.devices.size()));

    // One buffer for every record: in RS-232 tiling files bytes 0..15 of the device records
    // are never written and keep what the header left there.
    Record record{};
    PutText(record, kAddressOffset, kAddressWidth, file.header.columnsText, kMaxColumnsChars);
    PutText(record, kModelOffset, kModelWidth, file.header.rowsText, kMaxRowsChars);
    record[kPosOffset] = file.header.flag ? Byte{'1'} : Byte{'0'};
    record[kPosOffset + 1] = 0;
    record[kIdOffset] = 0;
    record[kIdOffset + 1] = 0;
    out.insert(out.end(), record.begin(), record.end());

    for (const DeviceRecord& device : file.devices) {
        if (mode == RecordMode::Lan) {
            PutText(record, kAddressOffset, kAddressWidth, device.address, kMaxAddressChars);
        } else if (kind == RecordKind::List) {
            PutText(record, kAddressOffset, kAddressWidth, {}, 0);
        }
        PutText(record, kModelOffset, kModelWidth, device.model, kMaxModelChars);
        PutText(record, kPosOffset, kPosWidth, kind == RecordKind::Tiling ? device.pos : "",
                kMaxPosChars);
        PutText(record, kIdOffset, kIdWidth, device.id, kMaxIdChars);
        out.insert(out.end(), record.begin(), record.end());
    }
    return out;
}

RecordFile DecodeRecords(std::span<const Byte> bytes) {
    using namespace field;
    RecordFile file;
    if (bytes.size() < kRecordSize) return file;

    const Record header = Slice(bytes, 0);
    file.headerRead = true;
    file.header.columnsText = GetText(header, kAddressOffset, kAddressWidth);
    file.header.rowsText = GetText(header, kModelOffset, kModelWidth);
    // Bytes 26..27 only: 28..29 are reserved and may hold anything.
    file.header.flag = protocol::DecimalValue(GetText(header, kPosOffset, kPosWidth)) == 1;

    file.devices.reserve((bytes.size() - 1) / kRecordSize);
    for (std::size_t start = kRecordSize; start < bytes.size(); start += kRecordSize) {
        const Record record = Slice(bytes, start);
        file.devices.push_back(DeviceRecord{
            GetText(record, kAddressOffset, kAddressWidth),
            GetText(record, kModelOffset, kModelWidth),
            GetText(record, kPosOffset, kPosWidth),
            GetText(record, kIdOffset, kIdWidth),
        });
    }
    return file;
}

const std::string& RowKey(const DeviceRecord& device, RecordMode mode) {
    return mode == RecordMode::Lan ? device.address : device.id;
}

}  // namespace dravik::targets
