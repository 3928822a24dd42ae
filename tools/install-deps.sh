#!/bin/sh
# Debian packages the engine, its tests, fuzzers and benchmarks need. When
# every one is present already, apt is not called at all.
set -e
PACKAGES="build-essential cmake g++ clang libclang-rt-dev
  libgoogle-glog-dev liboscpack-dev libgtest-dev
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
$SUDO apt-get update -qq
# shellcheck disable=SC2086
$SUDO apt-get install -y -qq --no-install-recommends $missing >/dev/null
