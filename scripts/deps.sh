#!/usr/bin/env bash
# Installs the Debian packages Kolu needs to build, run and test, but only those
# that are missing, so a second run costs nothing.
set -euo pipefail

packages=(
  cmake ninja-build g++ pkg-config
  qt6-base-dev qt6-base-dev-tools libqt6test6
  libcanberra-dev libssl-dev libsqlite3-dev ca-certificates openssl
  libgtest-dev libgmock-dev libbenchmark-dev
  ngircd inspircd anope dbus
)
# --with-fuzz: the fuzzers' compiler; --with-package: building and checking the
# Debian package (scripts/package_check.sh).
for option in "$@"; do
  case "$option" in
    --with-fuzz) packages+=(clang) ;;
    --with-package) packages+=(dpkg-dev file lintian desktop-file-utils appstream) ;;
    *) echo "deps.sh: unknown option $option" >&2; exit 2 ;;
  esac
done

missing=()
for package in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "ok installed"; then
    missing+=("$package")
  fi
done
[[ ${#missing[@]} -eq 0 ]] && exit 0

echo "Installing missing packages: ${missing[*]}"
sudo=()
[[ $(id -u) -ne 0 ]] && sudo=(sudo)
export DEBIAN_FRONTEND=noninteractive
"${sudo[@]}" apt-get update -qq
"${sudo[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
