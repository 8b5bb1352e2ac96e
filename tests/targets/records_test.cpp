#include "targets/records.h"

#include <gtest/gtest.h>

#include <string>

namespace dravik::targets {
namespace {

// A field as it lies in the file: the text, then zeros up to the width.
Bytes Field(std::string_view text, std::size_t width) {
    Bytes out(text.begin(), text.end());
    out.resize(width, 0);
    return out;
}

Bytes Record(std::string_view a, std::string_view b, std::string_view c, std::string_view d) {
    Bytes out;
    for (const Bytes& f : {Field(a, 16), Field(b, 10), Field(c, 2), Field(d, 2)}) {
        out.insert(out.end(), f.begin(), f.end());
    }
    return out;
}

Bytes Concat(std::initializer_list<Bytes> parts) {
    Bytes out;
    for (const Bytes& p : parts) out.insert(out.end(), p.begin(), p.end());
    return out;
}

Bytes FromHex(std::string_view hex) {
    Bytes out;
    EXPECT_TRUE(protocol::ParseHex(hex, out));
    return out;
}

RecordFile TwoRows() {
    RecordFile file;
    file.header = HeaderRecord{"3", "2", true};
    file.devices = {{"10.0.0.5", "LM-55", "4", "3"}, {"192.168.100.200", "KA-42", "1", "7"}};
    return file;
}

TEST(RecordsTest, SerialTilingFileRepeatsHeaderBytesInDeviceRecords) {
    // One reused record buffer: bytes 0..15 of every device record keep the header's.
    RecordFile file;
    file.header = HeaderRecord{"12", "3", false};
    file.devices = {{"ignored", "MS-15G", "1", "4"}, {"", "MR-22G", "2", "5"}};
    const Bytes expected = FromHex(
        "31 32 00 00 00 00 00 00 00 00 00 00 00 00 00 00  33 00 00 00 00 00 00 00 00 00  30 00  00 00 "
        "31 32 00 00 00 00 00 00 00 00 00 00 00 00 00 00  4D 53 2D 31 35 47 00 00 00 00  31 00  34 00 "
        "31 32 00 00 00 00 00 00 00 00 00 00 00 00 00 00  4D 52 2D 32 32 47 00 00 00 00  32 00  35 00");
    EXPECT_EQ(EncodeRecords(file, RecordMode::Serial, RecordKind::Tiling), expected);
}

struct LayoutCase {
    const char* name;
    RecordMode mode;
    RecordKind kind;
    Bytes expected;
    std::vector<DeviceRecord> decoded;   // what a reader finds in the file again
};

class RecordLayoutTest : public ::testing::TestWithParam<LayoutCase> {};

TEST_P(RecordLayoutTest, EncodesExactlyAndDecodesBack) {
    const LayoutCase& c = GetParam();
    const Bytes bytes = EncodeRecords(TwoRows(), c.mode, c.kind);
    EXPECT_EQ(bytes, c.expected);

    const RecordFile back = DecodeRecords(bytes);
    EXPECT_TRUE(back.headerRead);
    EXPECT_EQ(back.header, (HeaderRecord{"3", "2", true}));
    EXPECT_EQ(back.header.columns(), 3);
    EXPECT_EQ(back.header.rows(), 2);
    EXPECT_EQ(back.devices, c.decoded);
}

const Bytes kHeader = Record("3", "2", "1", "");

INSTANTIATE_TEST_SUITE_P(
    AllFiles, RecordLayoutTest,
    ::testing::Values(
        LayoutCase{"LanList", RecordMode::Lan, RecordKind::List,
                   Concat({kHeader, Record("10.0.0.5", "LM-55", "", "3"),
                           Record("192.168.100.200", "KA-42", "", "7")}),
                   {{"10.0.0.5", "LM-55", "", "3"}, {"192.168.100.200", "KA-42", "", "7"}}},
        LayoutCase{"SerialList", RecordMode::Serial, RecordKind::List,
                   Concat({kHeader, Record("", "LM-55", "", "3"), Record("", "KA-42", "", "7")}),
                   {{"", "LM-55", "", "3"}, {"", "KA-42", "", "7"}}},
        LayoutCase{"LanTiling", RecordMode::Lan, RecordKind::Tiling,
                   Concat({kHeader, Record("10.0.0.5", "LM-55", "4", "3"),
                           Record("192.168.100.200", "KA-42", "1", "7")}),
                   {{"10.0.0.5", "LM-55", "4", "3"}, {"192.168.100.200", "KA-42", "1", "7"}}},
        LayoutCase{"SerialTiling", RecordMode::Serial, RecordKind::Tiling,
                   Concat({kHeader, Record("3", "LM-55", "4", "3"), Record("3", "KA-42", "1", "7")}),
                   {{"3", "LM-55", "4", "3"}, {"3", "KA-42", "1", "7"}}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(RecordsTest, TwoDigitIdsAndPositionsFillTheirFieldAndSurvive) {
    RecordFile file;
    file.devices = {{"10.0.0.12", "LM-55", "25", "12"}, {"10.0.0.1", "LM-55", "10", "9"}};
    const Bytes bytes = EncodeRecords(file, RecordMode::Lan, RecordKind::Tiling);
    ASSERT_EQ(bytes.size(), 90u);
    EXPECT_EQ(Bytes(bytes.begin() + 56, bytes.begin() + 60), (Bytes{'2', '5', '1', '2'}));
    EXPECT_EQ(Bytes(bytes.begin() + 86, bytes.begin() + 90), (Bytes{'1', '0', '9', 0}));
    EXPECT_EQ(DecodeRecords(bytes).devices, file.devices);

    // The RS-232 list file keeps a two-digit ID as well.
    const RecordFile serial = DecodeRecords(EncodeRecords(file, RecordMode::Serial, RecordKind::List));
    ASSERT_EQ(serial.devices.size(), 2u);
    EXPECT_EQ(RowKey(serial.devices[0], RecordMode::Serial), "12");
    EXPECT_EQ(serial.devices[0].pos, "");
}

TEST(RecordsTest, TextsAreCutToTheirFields) {
    RecordFile file;
    file.header = HeaderRecord{"1234567890123456789", "12345678901", false};
    file.devices = {{"1234567890123456789", "KCV-5501DXL", "123", "254"}};
    const RecordFile back = DecodeRecords(EncodeRecords(file, RecordMode::Lan, RecordKind::Tiling));
    EXPECT_EQ(back.header.columnsText, "123456789012345");
    EXPECT_EQ(back.header.rowsText, "123456789");
    ASSERT_EQ(back.devices.size(), 1u);
    EXPECT_EQ(back.devices[0], (DeviceRecord{"123456789012345", "KCV-5501D", "12", "25"}));
}

TEST(RecordsTest, HeaderFieldsAreRead) {
    struct Case {
        Bytes header;
        std::string columns, rows;
        bool flag;
    };
    const Bytes allDigits(16, '7');
    const Case cases[] = {
        {Record("1", "1", "1", ""), "1", "1", true},     // "1" then a zero byte
        {Record("1", "1", "0", ""), "1", "1", false},
        {Record("5", "4", "12", ""), "5", "4", false},   // value 12 is not 1
        {Record("5", "4", " 1", ""), "5", "4", true},
        {Record("5", "4", "", "1"), "5", "4", false},    // bytes 28..29 are not the flag
        {Concat({allDigits, Field("33", 10), Field("1", 4)}), std::string(16, '7'), "33", true},
    };
    for (const Case& c : cases) {
        const RecordFile file = DecodeRecords(c.header);
        EXPECT_TRUE(file.headerRead);
        EXPECT_EQ(file.header.columnsText, c.columns);
        EXPECT_EQ(file.header.rowsText, c.rows);
        EXPECT_EQ(file.header.flag, c.flag) << c.columns;
        EXPECT_TRUE(file.devices.empty());
    }
    EXPECT_EQ((HeaderRecord{"abc", " 4x", false}).columns(), 0);
    EXPECT_EQ((HeaderRecord{"abc", " 4x", false}).rows(), 4);
    EXPECT_EQ(HeaderRecord::FromValues(5, 3, true), (HeaderRecord{"5", "3", true}));
}

TEST(RecordsTest, EmptyShortAndPartialFiles) {
    const HeaderRecord defaults;
    for (std::size_t size : {0u, 1u, 29u}) {
        const Bytes bytes(size, '5');
        const RecordFile file = DecodeRecords(bytes);
        EXPECT_FALSE(file.headerRead) << size;
        EXPECT_EQ(file.header, defaults);
        EXPECT_EQ(file.header.columns(), 1);
        EXPECT_TRUE(file.devices.empty());
    }

    // A shorter last piece still makes a row; its missing bytes read as empty.
    Bytes bytes = Concat({Record("2", "2", "0", ""), Record("10.0.0.1", "LM-55", "1", "1")});
    bytes.insert(bytes.end(), {'1', '0', '.', '0'});
    const RecordFile file = DecodeRecords(bytes);
    ASSERT_EQ(file.devices.size(), 2u);
    EXPECT_EQ(file.devices[1], (DeviceRecord{"10.0", "", "", ""}));

    const Bytes cutInModel(bytes.begin(), bytes.begin() + 30 + 20);
    ASSERT_EQ(DecodeRecords(cutInModel).devices.size(), 1u);
    EXPECT_EQ(DecodeRecords(cutInModel).devices[0], (DeviceRecord{"10.0.0.1", "LM-5", "", ""}));
}

TEST(RecordsTest, FieldsWithoutTerminatorStopAtTheFieldEnd) {
    const Bytes bytes = Concat({Record("1", "1", "0", ""), Bytes(30, 'X')});
    const RecordFile file = DecodeRecords(bytes);
    ASSERT_EQ(file.devices.size(), 1u);
    EXPECT_EQ(file.devices[0], (DeviceRecord{std::string(16, 'X'), std::string(10, 'X'), "XX", "XX"}));
}

TEST(RecordsTest, ListsLongerThan254RowsAreKept) {
    RecordFile file;
    for (int i = 0; i < 300; ++i) file.devices.push_back({"10.0." + std::to_string(i), "LM-55", "", "1"});
    const Bytes bytes = EncodeRecords(file, RecordMode::Lan, RecordKind::List);
    EXPECT_EQ(bytes.size(), 301u * kRecordSize);
    const RecordFile back = DecodeRecords(bytes);
    ASSERT_EQ(back.devices.size(), 300u);
    EXPECT_EQ(back.devices[299].address, "10.0.299");
}

TEST(RecordsTest, FileNames) {
    EXPECT_EQ(RecordFileName(RecordMode::Lan, RecordKind::List), "MO_IP.log");
    EXPECT_EQ(RecordFileName(RecordMode::Serial, RecordKind::List), "MO_ID.log");
    EXPECT_EQ(RecordFileName(RecordMode::Lan, RecordKind::Tiling), "MO_Tiling.log");
    EXPECT_EQ(RecordFileName(RecordMode::Serial, RecordKind::Tiling), "MO_TilingR.log");
}

}  // namespace
}  // namespace dravik::targets
