#!/usr/bin/env bash
# Installs every Debian package the project needs (scripts/packages.txt),
# then configures and builds into build/.  Extra arguments go to cmake.
set -euo pipefail
cd "$(dirname "$0")/.."

packages=$(grep -v -E '^\s*(#|$)' scripts/packages.txt | tr '\n' ' ')
missing=$(dpkg-query -W -f='${db:Status-Abbrev} ${Package}\n' $packages 2>/dev/null \
          | awk '$1 != "ii" {print $2}' || true)
# dpkg-query says nothing about packages it has never heard of
for p in $packages; do
    dpkg-query -W "$p" >/dev/null 2>&1 || missing="$missing $p"
done
if [ -n "${missing// /}" ]; then
    if [ "$(id -u)" -ne 0 ]; then
        echo "setup: missing packages:$missing (run as root to install them)" >&2
        exit 1
    fi
    export DEBIAN_FRONTEND=noninteractive
    apt-get update
    apt-get install -y --no-install-recommends $packages
fi

cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@"
cmake --build build
