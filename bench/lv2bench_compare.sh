#!/usr/bin/env bash
# Times Marovex stereo against three stereo dynamics / width plug-ins people use, with lv2bench (one
# session, the same block length and frame count for each), and prints a Markdown table of
# nanoseconds per stereo frame. The plug-ins take turns for ROUNDS rounds and each keeps its fastest
# round, so that a burst of other work on a shared machine does not decide the comparison.
#   bash bench/lv2bench_compare.sh [BUILD_DIR] [FRAMES] [BLOCK] [ROUNDS]
set -euo pipefail
build="${1:-build}"
frames="${2:-524288}"
block="${3:-512}"
rounds="${4:-7}"
bundle="$(cd "$build" && pwd)/Marovex.lv2"
[ -f "$bundle/manifest.ttl" ] || { echo "no bundle at $bundle (build first)" >&2; exit 1; }

# Only our bundle and the system's plug-ins on the path.
path="$(mktemp -d)"
trap 'rm -rf "$path"' EXIT
ln -s "$bundle" "$path/Marovex.lv2"
export LV2_PATH="$path:/usr/lib/lv2"

plugins=(
  "Marovex Stereo|urn:halvik:marovex:stereo"
  "Calf Deesser|http://calf.sourceforge.net/plugins/Deesser"
  "Calf Stereo Tools|http://calf.sourceforge.net/plugins/StereoTools"
  "LSP Dynamic Processor Stereo|http://lsp-plug.in/plugins/lv2/dyna_processor_stereo"
)
echo "lv2bench -n $frames -b $block, fastest of $rounds rounds, $(nproc) cores, load $(cut -d' ' -f1 /proc/loadavg), $(date -u +%Y-%m-%d)"
declare -A best
for ((r = 0; r < rounds; ++r)); do
  for entry in "${plugins[@]}"; do
    uri="${entry#*|}"
    s="$(lv2bench -n "$frames" -b "$block" "$uri" 2>/dev/null | awk -v u="$uri" '$2 == u { print $1 }')"
    [ -n "$s" ] || continue
    if [ -z "${best[$uri]:-}" ] || awk -v a="$s" -v b="${best[$uri]}" 'BEGIN { exit !(a < b) }'; then
      best[$uri]="$s"
    fi
  done
done
echo
echo "| Plug-in | seconds | ns per frame | relative to Marovex |"
echo "|---|---:|---:|---:|"
ours=""
for entry in "${plugins[@]}"; do
  name="${entry%%|*}"
  uri="${entry#*|}"
  line="${best[$uri]:-}"
  if [ -z "$line" ]; then
    echo "| $name | not run | | |"
    continue
  fi
  ns="$(awk -v s="$line" -v n="$frames" 'BEGIN { printf "%.1f", s / n * 1e9 }')"
  [ -n "$ours" ] || ours="$ns"
  ratio="$(awk -v a="$ns" -v b="$ours" 'BEGIN { printf "%.2fx", a / b }')"
  echo "| $name | $line | $ns | $ratio |"
done
