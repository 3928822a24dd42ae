#!/bin/sh
# Debian packages the engine, its tests, fuzzers and benchmarks need. When
# every one is present already, apt is not called at all.
set -e
PACKAGES="build-essential cmake g++ clang libclang-rt-dev
  libgoogle-glog-dev liboscpack-dev libgtest-dev libbenchmark-dev
  python3 iproute2 util-linux mount liblo-tools tshark tcpdump ola"
missing=""
for package in $PACKAGES; do
  status="$(dpkg-query -W -f='${db:Status-Status}' "$package" 2>/dev/null || true)"
  [ "$status" = "installed" ] || missing="$missing $package"
done
[ -n "$missing" ] || exit 0
echo "installing:$missing"
SUDO=""
[ "$(id -u)" -eq 0 ] || SUDO=sudo
export DEBIAN_FRONTEND=noninteractive

# olad is only a test peer, which the tests start in namespaces of their own.
# As a service it would hold UDP 6454 and the engine could not bind it, so
# the package must neither start it now nor at boot.
case " $missing " in *" ola "*) new_ola=1 ;; *) new_ola="" ;; esac
POLICY=/usr/sbin/policy-rc.d
if [ -n "$new_ola" ] && [ ! -e "$POLICY" ]; then
  printf '#!/bin/sh\nexit 101\n' | $SUDO tee "$POLICY" >/dev/null
  $SUDO chmod +x "$POLICY"
  trap '$SUDO rm -f "$POLICY"' EXIT
fi
$SUDO apt-get update -qq
# shellcheck disable=SC2086
$SUDO apt-get install -y -qq --no-install-recommends $missing >/dev/null
if [ -n "$new_ola" ] && [ -x /etc/init.d/olad ] && command -v update-rc.d >/dev/null; then
  $SUDO update-rc.d olad disable >/dev/null 2>&1 || true
fi
