#!/usr/bin/env bash
# Benchmark of the download engine (not a test): a 512 MiB package with its meta
# served by nginx on loopback. Times, in one run,
#   (a) a fresh verified download by the engine under Wine, and curl of the same file;
#   (b) verification of an already complete file by the engine, and sha1sum of it;
# and prints both pairs with their ratios (goal: at least 0.8 for each).
# Usage: bench/downloader-bench.sh [size-MiB]   (needs scripts/build to have run)
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
mib="${1:-512}"
work="$root/build/bench-downloader"
cli="$root/build/x64/tools/download-cli.exe"
export WINEPREFIX="$root/build/x64/wineprefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
[ -x "$cli" ] || ninja -C "$root/build/x64" download-cli >/dev/null
ninja -C "$root/build/native" make-meta >/dev/null
"$root/scripts/wine-prefix" "$WINEPREFIX"
mkdir -p "$work/www"
pkg="$work/www/package.bin"
if [ ! -f "$pkg" ] || [ "$(stat -c %s "$pkg")" -ne $((mib * 1048576)) ]; then
  head -c $((mib * 1048576)) /dev/urandom >"$pkg"
fi
"$root/build/native/tools/native/make-meta" "$pkg"

port=$((40000 + RANDOM % 10000))
cat >"$work/nginx.conf" <<CONF
worker_processes 1;
daemon off;
pid $work/nginx.pid;
error_log $work/nginx-error.log;
events { worker_connections 64; }
http {
  access_log $work/nginx-access.log;
  client_body_temp_path $work/tmp-body;
  proxy_temp_path $work/tmp-proxy;
  fastcgi_temp_path $work/tmp-fastcgi;
  uwsgi_temp_path $work/tmp-uwsgi;
  scgi_temp_path $work/tmp-scgi;
  types { }
  default_type application/octet-stream;
  sendfile on;
  server { listen 127.0.0.1:$port; root $work/www; }
}
CONF
/usr/bin/timeout 900 /usr/sbin/nginx -c "$work/nginx.conf" -p "$work" &
nginx_pid=$!
trap 'kill "$nginx_pid" 2>/dev/null || true' EXIT
for _ in $(seq 50); do curl -s -o /dev/null "http://127.0.0.1:$port/package.bin.meta" && break; sleep 0.1; done

url="http://127.0.0.1:$port/package.bin"
dest="$work/engine.bin"
winpath() { echo "Z:${1//\//\\}"; }
seconds() { local start end; start=$(date +%s.%N); "$@" >/dev/null; end=$(date +%s.%N); awk -v a="$start" -v b="$end" 'BEGIN { print b - a }'; }
div() { awk -v a="$1" -v b="$2" 'BEGIN { print a / b }'; }

# Warm the page cache and the prefix's wineserver so neither is timed.
cat "$pkg" >/dev/null
/usr/lib/wine/wine64 "$cli" bogus >/dev/null 2>&1 || true

rm -f "$dest" "$work/curl.bin" "$work/range.bin"
t_curl=$(seconds curl -s -o "$work/curl.bin" "$url")
t_engine=$(seconds /usr/lib/wine/wine64 "$cli" verify "$url" "$url.meta" "$(winpath "$dest")")
cmp -s "$dest" "$pkg" || { echo "engine download differs from the package"; exit 1; }
t_verify=$(seconds /usr/lib/wine/wine64 "$cli" verify "$url" "$url.meta" "$(winpath "$dest")")
t_sha1=$(seconds sha1sum "$dest")
# Where (a) goes: the transfer alone (a ranged download of the whole file, no hashing).
rm -f "$work/range.bin"
t_range=$(seconds /usr/lib/wine/wine64 "$cli" range "$url" "$(winpath "$work/range.bin")" 0 $((mib * 1048576)))
cmp -s "$work/range.bin" "$pkg" || { echo "ranged download differs from the package"; exit 1; }
if grep -q "GET /package.bin HTTP" <(tail -n 1 "$work/nginx-access.log"); then
  echo "warning: the verification run requested the package"
fi

printf '(a) fresh download of %d MiB: engine %.2f s (%.0f MiB/s), curl %.2f s (%.0f MiB/s), ratio %.2f\n' \
  "$mib" "$t_engine" "$(div "$mib" "$t_engine")" "$t_curl" "$(div "$mib" "$t_curl")" \
  "$(div "$t_curl" "$t_engine")"
printf '    of which the transfer alone (download-cli range, no verification): %.2f s (%.0f MiB/s)\n' \
  "$t_range" "$(div "$mib" "$t_range")"
printf '(b) verify complete file:   engine %.2f s (%.0f MiB/s), sha1sum %.2f s (%.0f MiB/s), ratio %.2f\n' \
  "$t_verify" "$(div "$mib" "$t_verify")" "$t_sha1" "$(div "$mib" "$t_sha1")" \
  "$(div "$t_sha1" "$t_verify")"
rm -f "$dest" "$work/curl.bin" "$work/range.bin"
