#!/bin/sh
# Runs one example set-up of examples/ in the foreground; ctrl-c ends it.
#
#   tools/run-example.sh [--no-build] [NAME]
#
# NAME is a folder of examples/ (artnet, the default; serial; show). The
# script installs what is needed, builds the engine, copies the example's
# files into /tmp, makes the simulated UART driver's files in /tmp/xuart when
# the example has serial or LED ports (and runs the engine on that driver),
# prints the example's README (what to look at) and starts the engine. It
# works from any folder. With --no-build nothing is installed or built, and
# CORVANTA_ENGINE and CORVANTA_XUART_SIM may name the engine and
# libxuart_sim.so to use (by default those in build/).
set -e
ROOT="$(cd "$(dirname "$0")/.." && pwd)"
BUILD=yes
if [ "$1" = "--no-build" ]; then
  BUILD=""
  shift
fi
NAME="${1:-artnet}"
EXAMPLE="$ROOT/examples/$NAME"
if [ ! -f "$EXAMPLE/config.dat" ]; then
  echo "no example \"$NAME\"; there are: $(ls "$ROOT/examples" | tr '\n' ' ')" >&2
  exit 2
fi
ENGINE="${CORVANTA_ENGINE:-$ROOT/build/corvanta-engine}"
XUART_SIM="${CORVANTA_XUART_SIM:-$ROOT/build/libxuart_sim.so}"

if [ -n "$BUILD" ]; then
  "$ROOT/tools/install-deps.sh"
  cmake -S "$ROOT" -B "$ROOT/build" -DCORVANTA_TESTS=OFF >/dev/null
  cmake --build "$ROOT/build" -j"$(nproc)"
fi

# serial.dat, config.dat, rules.dat and whatever else the set-up names
# (a show file) go into /tmp as they are.
for file in "$EXAMPLE"/*; do
  case "$file" in
    */README.md) ;;
    *) if [ -f "$file" ]; then cp "$file" /tmp/; fi ;;
  esac
done

# Serial and LED ports open /dev/xuartN, which only the board has: here they
# run on the simulated driver, whose files are made fresh from config.dat.
if grep -q '^[PL]' "$EXAMPLE/config.dat"; then
  SIM=/tmp/xuart
  mkdir -p "$SIM"
  rm -f "$SIM"/xuart*.conf "$SIM"/xuart*.rx "$SIM"/xuart*.log
  if [ -d "$EXAMPLE/xuart" ]; then cp "$EXAMPLE"/xuart/* "$SIM"/; fi
  while IFS= read -r line; do
    port="$(printf '%s' "$line" | cut -c2-4 | sed 's/^0*\([0-9]\)/\1/')"
    case "$line" in
      L*) echo led >>"$SIM/xuart$port.conf" ;;      # an LED port's device
      P???I*) : >"$SIM/xuart$port.rx" ;;            # frames an input port receives
    esac
  done <"$EXAMPLE/config.dat"
  export LD_PRELOAD="$XUART_SIM" XUART_SIM_DIR="$SIM"
  # A sanitizer build insists on coming first among the loaded libraries.
  export ASAN_OPTIONS="${ASAN_OPTIONS:+$ASAN_OPTIONS:}verify_asan_link_order=0"
fi

cat "$EXAMPLE/README.md"
echo
exec "$ENGINE"
