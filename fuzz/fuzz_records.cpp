// List files (the Control page's target lists): any bytes a user may hand the tool as a
// list. Decoding must hold up, and what the tool writes back must read back the same.
#include "fuzz_input.h"
#include "targets/records.h"

using namespace dravik::targets;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // The page reads at most this many records; keep the run fast on big inputs.
    if (size > 200 * kRecordSize) return 0;
    const RecordFile file = DecodeRecords({data, size});
    DRAVIK_FUZZ_CHECK(file.headerRead == (size >= kRecordSize));
    const std::size_t expected = size <= kRecordSize ? 0 : (size - kRecordSize + kRecordSize - 1) / kRecordSize;
    DRAVIK_FUZZ_CHECK(file.devices.size() == expected);
    for (const auto& d : file.devices) {
        DRAVIK_FUZZ_CHECK(d.address.size() <= field::kAddressWidth && d.model.size() <= field::kModelWidth);
        DRAVIK_FUZZ_CHECK(d.pos.size() <= field::kPosWidth && d.id.size() <= field::kIdWidth);
    }
    (void)file.header.columns();
    (void)file.header.rows();

    // Writing cuts texts to what a writer keeps; after one write a second changes nothing.
    for (RecordMode mode : {RecordMode::Lan, RecordMode::Serial}) {
        const Bytes once = EncodeRecords(file, mode, RecordKind::List);
        DRAVIK_FUZZ_CHECK(once.size() == kRecordSize * (1 + file.devices.size()));
        const RecordFile reread = DecodeRecords(once);
        const Bytes twice = EncodeRecords(reread, mode, RecordKind::List);
        DRAVIK_FUZZ_CHECK(twice == once);
        DRAVIK_FUZZ_CHECK(DecodeRecords(twice) == reread);
        for (std::size_t i = 0; i < reread.devices.size(); ++i)
            (void)RowKey(reread.devices[i], mode);
    }
    return 0;
}
