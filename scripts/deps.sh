#!/usr/bin/env bash
# Installs the Debian packages that building, running and testing need. Safe to run again.
set -euo pipefail

packages=(
  cmake g++ make pkg-config
  libgtest-dev libgmock-dev libbenchmark-dev
  libsndfile1-dev libcli11-dev nlohmann-json3-dev libfmt-dev
  clang libclang-rt-14-dev
  locales
  libcairo2-dev libpango1.0-dev libx11-dev fonts-dejavu-core
  xvfb xauth xdotool xclip zenity imagemagick openbox x11-utils
  librtaudio-dev libasound2-dev libjack-jackd2-dev
  lv2-dev liblilv-dev lilv-utils sordi lv2file
  jalv jackd2 python3
  ardour
  calf-plugins lsp-plugins-lv2
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done

if [ ${#missing[@]} -gt 0 ]; then
  echo "installing: ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

# The parameter text check of `marovex validate` runs in the German and Dutch locales.
need_locales=0
for loc in de_DE nl_NL; do
  if ! locale -a 2>/dev/null | grep -qx "${loc}.utf8"; then
    grep -q "^${loc}.UTF-8 UTF-8" /etc/locale.gen 2>/dev/null || echo "${loc}.UTF-8 UTF-8" >> /etc/locale.gen
    need_locales=1
  fi
done
if [ "$need_locales" -eq 1 ]; then
  echo "generating locales de_DE.UTF-8 and nl_NL.UTF-8"
  locale-gen >/dev/null
fi
