// A shared engine's operations are reachable only while its lock is held.
#include <gtest/gtest.h>

#include <type_traits>
#include <utility>

#include "show_engine/locked_engine.h"

namespace {

// Whether an operation can be called on an E from outside the engine: an
// inaccessible member is a substitution failure, not an error.
template <typename E, typename = void>
struct CanGo : std::false_type {};
template <typename E>
struct CanGo<E, std::void_t<decltype(std::declval<E&>().GoCuelist(0, 0, 0))>> : std::true_type {};

template <typename E, typename = void>
struct CanCalculate : std::false_type {};
template <typename E>
struct CanCalculate<E, std::void_t<decltype(std::declval<E&>().CalculateFrame())>>
    : std::true_type {};

static_assert(!CanGo<DmxEngine>::value && !CanCalculate<DmxEngine>::value,
              "a shared engine must not be driven without its lock");
static_assert(CanGo<LockedEngine>::value && CanCalculate<LockedEngine>::value);
static_assert(CanGo<OwnedEngine>::value && CanCalculate<OwnedEngine>::value);

// The player's frame is the one the facade computed.
TEST(LockedEngine, FrameComesOutUnderTheLock) {
  DmxEngine engine;
  uint8_t frame[kEngineChannels];
  {
    LockedEngine locked(engine);
    locked.LoadShow("ENDP 1 Cues 0 Cuelists 1 Cues 1 Cue 0 Vals 1 4 200 Oscs 0 "
                    "Timing 1 0 0 0 -1 0 DefVals 0 ChTypes 0 ChSubtypes 0");
    EXPECT_EQ(locked.GoCuelist(0, 0, kFullLevel), 1);
    locked.CalculateFrame();
    locked.CopyOutputFrame(frame);
  }
  EXPECT_EQ(frame[4], 200);
  // The lock is free again once the facade is gone.
  LockedEngine again(engine);
  EXPECT_EQ(again.GetCuelistCount(), 1);
}

}  // namespace
