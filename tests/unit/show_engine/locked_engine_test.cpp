// A shared engine's operations are reachable only while its lock is held: checked
// as this file compiles, so a call that forgot the lock fails the build.
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

}  // namespace
