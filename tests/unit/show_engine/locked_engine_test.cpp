// A shared engine's operations and data are reachable only while its lock is
// held: checked as this file compiles, so a call or a read that forgot the
// lock fails the build.
#include <type_traits>
#include <utility>

#include "show_engine/locked_engine.h"

namespace {

// Whether Probe<E> can be formed from outside the engine: an inaccessible
// member is a substitution failure, not an error.
template <typename E, template <typename> class Probe, typename = void>
struct Reaches : std::false_type {};
template <typename E, template <typename> class Probe>
struct Reaches<E, Probe, std::void_t<Probe<E>>> : std::true_type {};

template <typename E>
using Go = decltype(std::declval<E&>().GoCuelist(0, 0, 0));
template <typename E>
using Calculate = decltype(std::declval<E&>().CalculateFrame());
template <typename E>
using Frame = decltype(std::declval<E&>().outputFrame);
template <typename E>
using Stack = decltype(std::declval<E&>().layers);
template <typename E>
using ListLayers = decltype(std::declval<E&>().cuelistLayers);
template <typename E>
using LoadedShow = decltype(std::declval<E&>().show);
template <typename E>
using StartValues = decltype(std::declval<E&>().startValues);

template <typename E, template <typename> class... Probes>
constexpr bool ReachesAll = (Reaches<E, Probes>::value && ...);
template <typename E, template <typename> class... Probes>
constexpr bool ReachesNone = (!Reaches<E, Probes>::value && ...);

static_assert(ReachesNone<DmxEngine, Go, Calculate, Frame, Stack, ListLayers, LoadedShow,
                          StartValues>,
              "a shared engine must not be driven or read without its lock");
static_assert(!std::is_convertible_v<DmxEngine*, const ChannelTables*>,
              "nor its channel tables read through its base");
static_assert(ReachesAll<LockedEngine, Go, Calculate>);
static_assert(ReachesAll<OwnedEngine, Go, Calculate, Frame, Stack, ListLayers, LoadedShow>);

}  // namespace
