// One simulated display: its configuration, its state and how it answers a request frame.
// Transport-free: LanDisplay and SerialLine feed it checked frames and send what it returns.
#pragma once

#include "protocol/frame.h"
#include "protocol/reply.h"

#include <array>
#include <chrono>
#include <cstdint>
#include <mutex>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace dravik::sim {

using protocol::Byte;
using protocol::Bytes;

// How a display misbehaves on purpose.
enum class Fault {
    None,
    NeverAnswer,   // hears and applies frames, answers nothing
    AnswerLate,    // answers after DisplayConfig::lateMs
    WrongHeader,   // replies start with 0x12 instead of 0x21
    ShortReply,    // a data reply comes back in the acknowledge layout (byte 4 = 4)
    Nack,          // every frame refused with status 3, nothing applied
    Nav,           // every frame refused with status 4, nothing applied
    LongReply,     // replies padded with zero bytes past 32 (LAN) / 128 (serial) bytes
    CloseAtOnce,   // LAN: connections closed as soon as accepted; serial: like NeverAnswer
};

// Random faults: each frame is answered well or by one of the fault modes, drawn with the
// given odds from a generator of the display's own, so that a run repeats exactly for the
// same seed and the same frames, whatever other displays are asked meanwhile.
struct FaultOdds {
    Fault fault = Fault::None;
    int weight = 0;
    int lateMs = 0;  // Fault::AnswerLate: the delay of this entry
};

struct RandomFaults {
    bool enabled = false;
    std::uint64_t seed = 1;
    // Tells displays sharing a seed apart (the command line uses where the display is).
    std::string stream;
    std::vector<FaultOdds> odds;  // empty: DefaultFaultOdds()
};

// well 70, never 5, late 5 (4000 ms), wrong-header 4, short 4, nack 4, nav 4, long 2, close 2.
std::vector<FaultOdds> DefaultFaultOdds();

// The fault of one draw: `value` taken modulo the sum of the weights (which must be > 0).
const FaultOdds& PickFault(const std::vector<FaultOdds>& odds, std::uint64_t value);

// Which identity queries answer with the model name.
//  A1: A2 01 answers a family tag ("LM", "JSV-Q", "KA-xxQ", "ORV"), A1 00 the model name.
//  A2: A2 01 and A1 00 both answer the model name.
enum class IdentityStyle { Auto, A1, A2 };

struct DisplayConfig {
    std::string model = "LM-55";
    int monitorId = 1;                         // low 8 bits used
    IdentityStyle identity = IdentityStyle::Auto;  // Auto: DefaultIdentityStyle(model)
    std::string familyTag;                     // A1 form's tag; empty: FamilyTag(model)
    bool makerPrefix = false;                  // model-name answers read "ORVANTE <model>"
    Fault fault = Fault::None;
    int lateMs = 0;                            // delay for Fault::AnswerLate
    bool answerAnyId = true;                   // LAN only: answer whatever byte 1 says
    RandomFaults random;                       // when enabled, overrides `fault` frame by frame
};

// Which link a reply goes out on; it sets the size a LongReply must exceed.
enum class Link { Lan, Serial };

inline constexpr std::size_t kLanReplyLimit = 32;
inline constexpr std::size_t kSerialReplyLimit = 128;

struct DisplayState {
    bool powerOn = true;
    Byte inputSource = 0x0D;
    Byte inputSubCode = 0x00;
    Byte backlight = 50;
    // Video parameters 1..7 as the 0x33 reply carries them; [0] is the brightness.
    std::array<Byte, 7> video{50, 50, 50, 10, 50, 0, 1};
    Byte volume = 30;
    Byte keyLock = 0x01;        // last data byte of command 1A
    Byte irLock = 0x01;         // last data byte of command 1C
    std::array<Byte, 3> gains{128, 128, 128};
    std::int8_t temperature = 32;
    std::uint16_t hours = 1200;
    std::array<Byte, 4> wall{0, 0, 0, 0};   // last data of command 22: E F P M
    Byte lastIrKey = 0;
    int irKeyCount = 0;
    int resetCount = 0;

    Byte brightness() const { return video[0]; }
    bool operator==(const DisplayState&) const = default;
};

// What to do with one received frame.
struct Reply {
    Bytes bytes;                            // empty: no answer
    std::chrono::milliseconds delay{0};     // send this much later
    std::string note;                       // why there is no answer, or the fault applied
    Fault fault = Fault::None;              // the fault applied to this frame
    bool closeConnection = false;           // LAN: close the connection instead of answering
};

IdentityStyle DefaultIdentityStyle(std::string_view model);
std::string FamilyTag(std::string_view model);
const char* FaultName(Fault fault);                 // "none", "never", "late", ...
std::optional<Fault> FaultFromName(std::string_view name);

// 21 ID 00 00 04 01 CMD STATUS CS.
Bytes ShortReplyFrame(Byte monitorId, Byte command, Byte status);
// 21 ID 00 00 LEN 01 CMD DATA... CS, LEN = bytes after byte 4.
Bytes DataReplyFrame(Byte monitorId, Byte command, std::span<const Byte> data);

using protocol::kStatusExecuted;
using protocol::kStatusNack;
using protocol::kStatusNav;

// Thread-safe: the transport thread calls respond() while a test reads or changes state.
class Display {
public:
    explicit Display(DisplayConfig config = {});

    // `frame` must be a complete, checked request (header, length, checksum).
    Reply respond(std::span<const Byte> frame, Link link);

    DisplayConfig config() const;
    void setConfig(const DisplayConfig& config);
    DisplayState state() const;
    void setState(const DisplayState& state);

    void setFault(Fault fault, int lateMs = 0);
    void setTemperature(int celsius);   // low 8 bits, read back signed
    void setHours(int hours);           // low 16 bits

    Byte monitorId() const;
    // The texts this display answers A2 01 and A1 00 with.
    std::string identityText(Byte command) const;

private:
    Bytes execute(Byte command, std::span<const Byte> data);
    void seedGenerator();
    std::uint64_t nextRandom();
    std::string identityTextLocked(Byte command) const;

    mutable std::mutex mutex_;
    DisplayConfig config_;
    DisplayState state_;
    std::uint64_t rng_ = 0;
};

}  // namespace dravik::sim
