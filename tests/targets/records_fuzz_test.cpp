// Feeds the record decoder random, truncated and mutated files. Whatever the bytes, it must
// return a well-formed result: every text within its field, one row per started record.
#include "targets/records.h"

#include <gtest/gtest.h>

#include <random>

namespace dravik::targets {
namespace {

constexpr int kIterations = 120000;

RecordFile RandomFile(std::mt19937& rng) {
    auto text = [&](int maxLen) {
        std::string s(std::uniform_int_distribution<int>(0, maxLen)(rng), ' ');
        for (char& c : s) c = static_cast<char>(std::uniform_int_distribution<int>(0x20, 0x7E)(rng));
        return s;
    };
    RecordFile file;
    file.header = HeaderRecord{text(18), text(12), (rng() & 1) != 0};
    const int rows = std::uniform_int_distribution<int>(0, 8)(rng);
    for (int i = 0; i < rows; ++i) file.devices.push_back({text(18), text(12), text(3), text(3)});
    return file;
}

Bytes RandomInput(std::mt19937& rng) {
    const int shape = std::uniform_int_distribution<int>(0, 3)(rng);
    if (shape == 0) {   // pure noise, often shorter than a header
        Bytes bytes(std::uniform_int_distribution<std::size_t>(0, 200)(rng));
        for (Byte& b : bytes) b = static_cast<Byte>(rng());
        return bytes;
    }
    const auto mode = (rng() & 1) ? RecordMode::Lan : RecordMode::Serial;
    const auto kind = (rng() & 1) ? RecordKind::List : RecordKind::Tiling;
    Bytes bytes = EncodeRecords(RandomFile(rng), mode, kind);
    if (shape >= 2) {   // flip, zero or fill some bytes
        const int edits = std::uniform_int_distribution<int>(1, 12)(rng);
        for (int i = 0; i < edits && !bytes.empty(); ++i) {
            const std::size_t at = std::uniform_int_distribution<std::size_t>(0, bytes.size() - 1)(rng);
            const int op = std::uniform_int_distribution<int>(0, 2)(rng);
            bytes[at] = op == 0 ? static_cast<Byte>(rng()) : op == 1 ? Byte{0} : Byte{'9'};
        }
    }
    if (shape == 3 || (rng() & 3) == 0) {   // truncate anywhere, or append a stray tail
        if (rng() & 1) {
            bytes.resize(std::uniform_int_distribution<std::size_t>(0, bytes.size())(rng));
        } else {
            for (int n = std::uniform_int_distribution<int>(1, 40)(rng); n > 0; --n) {
                bytes.push_back(static_cast<Byte>(rng()));
            }
        }
    }
    return bytes;
}

bool Within(const std::string& text, std::size_t width) {
    return text.size() <= width && text.find('\0') == std::string::npos;
}

TEST(RecordsFuzzTest, AnyInputDecodesToAWellFormedResult) {
    std::mt19937 rng(20240611u);
    for (int iteration = 0; iteration < kIterations; ++iteration) {
        const Bytes bytes = RandomInput(rng);
        const RecordFile file = DecodeRecords(bytes);
        SCOPED_TRACE(::testing::Message() << "iteration " << iteration << ", " << bytes.size() << " bytes");

        const std::size_t size = bytes.size();
        ASSERT_EQ(file.headerRead, size >= kRecordSize);
        const std::size_t rows = size <= kRecordSize ? 0 : (size - kRecordSize + kRecordSize - 1) / kRecordSize;
        ASSERT_EQ(file.devices.size(), rows);
        if (!file.headerRead) {
            ASSERT_EQ(file.header, HeaderRecord{});
        }
        ASSERT_TRUE(Within(file.header.columnsText, 16));
        ASSERT_TRUE(Within(file.header.rowsText, 10));
        for (const DeviceRecord& d : file.devices) {
            ASSERT_TRUE(Within(d.address, 16));
            ASSERT_TRUE(Within(d.model, 10));
            ASSERT_TRUE(Within(d.pos, 2));
            ASSERT_TRUE(Within(d.id, 2));
        }

        // Saving what was read and reading it again keeps everything that fits the fields.
        if (!file.headerRead) continue;
        const RecordFile again = DecodeRecords(EncodeRecords(file, RecordMode::Lan, RecordKind::Tiling));
        ASSERT_EQ(again.header.columnsText, file.header.columnsText.substr(0, 15));
        ASSERT_EQ(again.header.rowsText, file.header.rowsText.substr(0, 9));
        ASSERT_EQ(again.header.flag, file.header.flag);
        ASSERT_EQ(again.devices.size(), file.devices.size());
        for (std::size_t i = 0; i < rows; ++i) {
            ASSERT_EQ(again.devices[i], (DeviceRecord{file.devices[i].address.substr(0, 15),
                                                      file.devices[i].model.substr(0, 9),
                                                      file.devices[i].pos, file.devices[i].id}));
        }
    }
}

}  // namespace
}  // namespace dravik::targets
