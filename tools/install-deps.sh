#!/bin/sh
# Debian packages the engine, its tests, fuzzers and benchmarks need.
set -e
SUDO=""
[ "$(id -u)" -eq 0 ] || SUDO=sudo
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq
$SUDO apt-get install -y -qq --no-install-recommends \
  build-essential cmake g++ clang libclang-rt-dev \
  libgoogle-glog-dev liboscpack-dev libgtest-dev libbenchmark-dev \
  python3 iproute2 util-linux mount liblo-tools tshark >/dev/null
