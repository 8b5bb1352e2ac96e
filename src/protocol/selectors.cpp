#include "protocol/selectors.h"

#include "protocol/catalogue.h"
#include "protocol/models.h"
#include "protocol/status.h"

#include <array>
#include <cstddef>

namespace dravik::protocol {

namespace {

using G = ModelGroup;

// ---------------------------------------------------------------------------------------
// Input sources: a cell is (source code, sub-code), refused or silent.

struct InputCell {
    Outcome outcome;
    Byte source;
    Byte sub;
};
constexpr InputCell In(Byte source, Byte sub) { return {Outcome::Frame, source, sub}; }
constexpr InputCell Ref{Outcome::Refused, 0, 0};
constexpr InputCell Sil{Outcome::Silent, 0, 0};

// Columns: "HDMI 1", "HDMI 2", "DisplayPort", "DVI", "VGA", "USB", "CMS", "Custom".
struct InputRow {
    G group;
    std::array<InputCell, 8> cells;
};

constexpr InputRow kInputTable[] = {
    {G::Classic,            {In(0x09, 0x00), In(0x05, 0x01), In(0x07, 0x01), In(0x09, 0x01), In(0x05, 0x00), In(0x08, 0x01), Ref, Ref}},
    {G::ClassicNoBacklight, {In(0x09, 0x00), In(0x05, 0x01), In(0x07, 0x01), In(0x09, 0x01), In(0x05, 0x00), In(0x08, 0x01), Ref, Ref}},
    {G::ClassicAltDp,       {In(0x09, 0x00), In(0x05, 0x01), In(0x07, 0x00), In(0x09, 0x01), In(0x05, 0x00), In(0x08, 0x01), Ref, Ref}},
    {G::ClassicRawVolume,   {In(0x09, 0x00), In(0x05, 0x01), In(0x07, 0x01), In(0x09, 0x01), In(0x05, 0x00), In(0x08, 0x01), Ref, Ref}},
    {G::ModernCms,          {In(0x0D, 0x00), In(0x06, 0x00), Ref,            In(0x0E, 0x00), In(0x05, 0x00), In(0x0C, 0x00), In(0x11, 0x00), In(0x18, 0x00)}},
    {G::ModernCmsDp,        {In(0x0D, 0x00), In(0x06, 0x00), In(0x0A, 0x00), In(0x0E, 0x00), In(0x05, 0x00), In(0x0C, 0x00), In(0x11, 0x00), In(0x18, 0x00)}},
    {G::ModernSixInput,     {In(0x0D, 0x00), In(0x06, 0x00), In(0x0A, 0x00), In(0x0E, 0x00), In(0x05, 0x00), In(0x0C, 0x00), Ref, Ref}},
    {G::ModernFiveInput,    {In(0x0D, 0x00), In(0x06, 0x00), In(0x0A, 0x00), In(0x0E, 0x00), In(0x05, 0x00), Ref,            Ref, Ref}},
    {G::ModernFourInput,    {In(0x0D, 0x00), In(0x06, 0x00), In(0x0A, 0x00), Ref,            In(0x05, 0x00), Ref,            Ref, Ref}},
    {G::ModernThreeInput,   {In(0x0D, 0x00), Ref,            In(0x0A, 0x00), Ref,            In(0x05, 0x00), Ref,            Ref, Ref}},
    {G::ModernCappedVolume, {In(0x0D, 0x00), In(0x06, 0x00), Ref,            Ref,            In(0x05, 0x00), Ref,            Ref, Ref}},
    {G::ModernC0Brightness, {In(0x0D, 0x00), Ref,            Ref,            In(0x0E, 0x00), In(0x05, 0x00), Ref,            Ref, Ref}},
    {G::ModernAltPower,     {In(0x0D, 0x00), In(0x06, 0x00), Ref,            Ref,            In(0x05, 0x00), Ref,            Ref, Ref}},
    {G::ModernAltPowerDp,   {In(0x0D, 0x00), In(0x06, 0x00), In(0x2C, 0x00), Ref,            In(0x05, 0x00), Ref,            Ref, Ref}},
    {G::Compact,            {In(0x22, 0x00), Ref,            In(0x23, 0x00), In(0x21, 0x00), In(0x20, 0x00), Ref,            Ref, Ref}},
    {G::CompactBacklight,   {In(0x22, 0x00), Ref,            In(0x23, 0x00), In(0x21, 0x00), In(0x20, 0x00), Ref,            Ref, Ref}},
    {G::NoInput,            {Sil,            Ref,            Sil,            Sil,            Sil,            Sil,            Sil, Sil}},
    {G::LevelsOnly,         {Ref,            Ref,            Ref,            Ref,            Ref,            Ref,            Ref, Ref}},
    {G::DpOnly,             {Ref,            Ref,            In(0x2C, 0x00), Ref,            Ref,            Ref,            Ref, Ref}},
    {G::DviOnly,            {Ref,            Ref,            Ref,            In(0x0E, 0x00), Ref,            Ref,            Ref, Ref}},
    {G::CmsCustomOnly,      {Ref,            Ref,            Ref,            Ref,            Ref,            Ref,            In(0x11, 0x00), In(0x18, 0x00)}},
};
constexpr InputRow kInputUnlisted{G::Classic, {Ref, Ref, Ref, Ref, Ref, Ref, Ref, Ref}};

// ---------------------------------------------------------------------------------------
// Power off, levels and locks: a cell names the builder to run.

enum class V {
    Refused,
    Silent,
    Off18,          // 18 01
    OffA8,          // A8 00
    Backlight30,    // 30
    QueryFive,      // query, then 32 five
    QuerySeven,     // query, then 32 seven
    QuerySevenEven, // query, then 32 seven even
    Br68,           // 68
    BrC0,           // C0
    VolOneCap60,    // one, cap 60
    VolOne,         // one
    VolTwoCap31,    // two, cap 31
    VolTwo,         // two
    LockBits,       // lock bits
    Key1A12,        // 1A 1 or 2
    Ir1C12,         // 1C 1 or 2
    Either,         // either
    Key1C17,        // 1C 1 or 7
};

// Columns: "Off", Backlight "Set", Brightness "Set", Volume "Set", Key Lock "Set", IR Lock "Set".
// A brightness cell of Refused is "refused, twice": the pre-read lookup refuses as well.
struct LevelsRow {
    G group;
    V off, backlight, brightness, volume, keyLock, irLock;
};

constexpr LevelsRow kLevelsTable[] = {
    {G::Classic,            V::Off18, V::Backlight30, V::QueryFive,      V::VolOneCap60, V::LockBits, V::LockBits},
    {G::ClassicNoBacklight, V::Off18, V::Refused,     V::QueryFive,      V::VolOneCap60, V::LockBits, V::LockBits},
    {G::ClassicAltDp,       V::Off18, V::Backlight30, V::QueryFive,      V::VolOne,      V::LockBits, V::LockBits},
    {G::ClassicRawVolume,   V::Off18, V::Backlight30, V::QueryFive,      V::VolOne,      V::LockBits, V::LockBits},
    {G::ModernCms,          V::Off18, V::Silent,      V::QuerySeven,     V::VolTwo,      V::Key1A12,  V::Ir1C12},
    {G::ModernCmsDp,        V::Off18, V::Silent,      V::QuerySeven,     V::VolTwo,      V::Key1A12,  V::Ir1C12},
    {G::ModernSixInput,     V::Off18, V::Silent,      V::QuerySeven,     V::VolOne,      V::Either,   V::Either},
    {G::ModernFiveInput,    V::Off18, V::Silent,      V::QuerySeven,     V::VolTwo,      V::Key1A12,  V::Ir1C12},
    {G::ModernFourInput,    V::Off18, V::Silent,      V::QuerySeven,     V::VolTwo,      V::Key1A12,  V::Ir1C12},
    {G::ModernThreeInput,   V::Off18, V::Refused,     V::QuerySeven,     V::VolTwo,      V::Key1A12,  V::Ir1C12},
    {G::ModernCappedVolume, V::Off18, V::Refused,     V::QuerySevenEven, V::VolTwoCap31, V::Key1A12,  V::Ir1C12},
    {G::ModernC0Brightness, V::Off18, V::Backlight30, V::BrC0,           V::VolOne,      V::Key1A12,  V::Ir1C12},
    {G::ModernAltPower,     V::OffA8, V::Backlight30, V::Br68,           V::VolOne,      V::Key1A12,  V::Ir1C12},
    {G::ModernAltPowerDp,   V::OffA8, V::Backlight30, V::Br68,           V::VolOne,      V::Key1A12,  V::Ir1C12},
    {G::Compact,            V::Off18, V::Refused,     V::BrC0,           V::VolOne,      V::LockBits, V::LockBits},
    {G::CompactBacklight,   V::Off18, V::Backlight30, V::BrC0,           V::VolOne,      V::Key1C17,  V::Silent},
    {G::NoInput,            V::Off18, V::Backlight30, V::BrC0,           V::VolOne,      V::Key1C17,  V::Silent},
    {G::LevelsOnly,         V::Off18, V::Backlight30, V::BrC0,           V::VolOne,      V::Refused,  V::Refused},
    {G::DpOnly,             V::Off18, V::Refused,     V::Refused,        V::Refused,     V::Refused,  V::Refused},
    {G::DviOnly,            V::Off18, V::Refused,     V::Refused,        V::Refused,     V::Refused,  V::Refused},
    {G::CmsCustomOnly,      V::Off18, V::Refused,     V::Refused,        V::Refused,     V::Refused,  V::Refused},
};
constexpr LevelsRow kLevelsUnlisted{G::Classic, V::Off18, V::Refused, V::Refused, V::Refused, V::Refused, V::Refused};

template <typename Row, std::size_t N>
constexpr bool RowsInGroupOrder(const Row (&rows)[N]) {
    if (N != kModelGroupCount) return false;
    for (std::size_t i = 0; i < N; ++i)
        if (rows[i].group != static_cast<G>(i)) return false;
    return true;
}
static_assert(RowsInGroupOrder(kInputTable));
static_assert(RowsInGroupOrder(kLevelsTable));

const InputRow& InputRowFor(std::string_view model) {
    const auto group = GroupOf(model);
    return group ? kInputTable[static_cast<std::size_t>(*group)] : kInputUnlisted;
}

const LevelsRow& LevelsRowFor(std::string_view model) {
    const auto group = GroupOf(model);
    return group ? kLevelsTable[static_cast<std::size_t>(*group)] : kLevelsUnlisted;
}

Selection Made(Frame f) { return {Outcome::Frame, std::move(f)}; }

Selection Realize(V v, DisplayValues& values) {
    switch (v) {
        case V::Refused: return {Outcome::Refused, {}};
        case V::Silent: return {Outcome::Silent, {}};
        case V::Off18: return Made(BuildPowerOff());
        case V::OffA8: return Made(BuildPowerOffAlt());
        case V::Backlight30: return Made(BuildBacklight(values));
        case V::QueryFive: return Made(BuildVideoParamsSetFive(values));
        case V::QuerySeven: return Made(BuildVideoParamsSetSeven(values));
        case V::QuerySevenEven: return Made(BuildVideoParamsSetSevenEven(values));
        case V::Br68: return Made(BuildBrightness68(values));
        case V::BrC0: return Made(BuildBrightnessC0(values));
        case V::VolOneCap60: return Made(BuildVolumeOneCap60(values));
        case V::VolOne: return Made(BuildVolumeOne(values));
        case V::VolTwoCap31: return Made(BuildVolumeTwoCap31(values));
        case V::VolTwo: return Made(BuildVolumeTwo(values));
        case V::LockBits: return Made(BuildLockBits(values));
        case V::Key1A12: return Made(BuildKeyLock12(values));
        case V::Ir1C12: return Made(BuildIrLock12(values));
        case V::Either: return Made(BuildEitherLock(values));
        case V::Key1C17: return Made(BuildKeyLock17(values));
    }
    return {Outcome::Refused, {}};
}

Selection FromInput(std::size_t column, std::string_view model) {
    const InputCell& cell = InputRowFor(model).cells[column];
    if (cell.outcome != Outcome::Frame) return {cell.outcome, {}};
    return Made(BuildInputSource(cell.source, cell.sub));
}

// Service commands: membership of the model sets.
Selection Service(Command command, std::string_view model) {
    switch (command) {
        case Command::Reset:
            if (Contains(sets::kReset, model)) return Made(BuildResetFrame());
            break;
        case Command::MediaPlayer:
            if (Contains(sets::kMediaPlayer, model)) return Made(BuildMediaPlayerFrame());
            break;
        case Command::Ops:
            if (Contains(sets::kOpsFirst, model)) return Made(BuildOpsFirstFrame());
            if (Contains(sets::kOpsSecond, model)) return Made(BuildOpsSecondFrame());
            if (Contains(sets::kOpsSilent, model)) return {Outcome::Silent, {}};
            break;
        case Command::Info: return Made(BuildInfoFrame());
        default: break;
    }
    return {Outcome::Refused, {}};
}

}  // namespace

Selection Select(Command command, std::string_view model, DisplayValues& values) {
    switch (command) {
        case Command::Hdmi1: return FromInput(0, model);
        case Command::Hdmi2: return FromInput(1, model);
        case Command::DisplayPort: return FromInput(2, model);
        case Command::Dvi: return FromInput(3, model);
        case Command::Vga: return FromInput(4, model);
        case Command::Usb: return FromInput(5, model);
        case Command::Cms: return FromInput(6, model);
        case Command::Custom: return FromInput(7, model);
        case Command::Off: return Realize(LevelsRowFor(model).off, values);
        case Command::Backlight: return Realize(LevelsRowFor(model).backlight, values);
        case Command::BrightnessQuery: return BuildVideoParamsQuery(model);
        case Command::BrightnessSet: return Realize(LevelsRowFor(model).brightness, values);
        case Command::Volume: return Realize(LevelsRowFor(model).volume, values);
        case Command::KeyLock: return Realize(LevelsRowFor(model).keyLock, values);
        case Command::IrLock: return Realize(LevelsRowFor(model).irLock, values);
        case Command::Reset:
        case Command::MediaPlayer:
        case Command::Ops:
        case Command::Info: return Service(command, model);
    }
    return {Outcome::Refused, {}};
}

std::string RefusalText(std::string_view model) {
    std::string text(model);
    text += " No This Function or unsupported !\r\n";
    return text;
}

}  // namespace dravik::protocol
