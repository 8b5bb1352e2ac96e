// Tiling files of the video-wall page. The page's own loading is tied to its widgets; this
// drives the pure part it is built on: the records, the matrix size the header names (which
// the page clamps) and the row keys, and the writer's repeat of the RS-232 layout.
#include "fuzz_input.h"
#include "targets/records.h"

#include <algorithm>

using namespace dravik::targets;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size > 200 * kRecordSize) return 0;
    const RecordFile file = DecodeRecords({data, size});
    if (file.headerRead) {
        // DecimalValue clamps to int; the page's clamp then keeps the matrix at 1..15.
        const int columns = std::clamp(file.header.columns(), 1, 15);
        const int rows = std::clamp(file.header.rows(), 1, 15);
        const HeaderRecord h = HeaderRecord::FromValues(columns, rows, file.header.flag);
        DRAVIK_FUZZ_CHECK(h.columns() == columns && h.rows() == rows);
    }
    for (RecordMode mode : {RecordMode::Lan, RecordMode::Serial}) {
        const Bytes once = EncodeRecords(file, mode, RecordKind::Tiling);
        DRAVIK_FUZZ_CHECK(once.size() == kRecordSize * (1 + file.devices.size()));
        const RecordFile reread = DecodeRecords(once);
        DRAVIK_FUZZ_CHECK(reread.devices.size() == file.devices.size());
        const RecordFile again = DecodeRecords(EncodeRecords(reread, mode, RecordKind::Tiling));
        DRAVIK_FUZZ_CHECK(again.header == reread.header);
        for (std::size_t i = 0; i < again.devices.size(); ++i) {
            // RS-232 tiling records carry a stale address that readers ignore; the rest is stable.
            const DeviceRecord& a = again.devices[i];
            const DeviceRecord& b = reread.devices[i];
            DRAVIK_FUZZ_CHECK(a.model == b.model && a.pos == b.pos && a.id == b.id);
            if (mode == RecordMode::Lan) DRAVIK_FUZZ_CHECK(a.address == b.address);
            DRAVIK_FUZZ_CHECK(RowKey(a, mode) == RowKey(b, mode));
        }
    }
    return 0;
}
