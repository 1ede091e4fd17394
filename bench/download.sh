#!/usr/bin/env bash
# Download benchmark: a 256 MB file served by nginx on loopback, fetched by DownloadFile under
# Wine and by curl. Data, configuration and Wine prefix live under the build folder.
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=$(cd "${1:-$here/build/win64}" && pwd)
work=$build/bench-download
exe=$build/bench_download.exe
mkdir -p "$work/www" "$work/tmp" "$work/out"

size=$((256 * 1024 * 1024))
if [ "$(stat -c %s "$work/www/package.bin" 2>/dev/null || echo 0)" != "$size" ]; then
  head -c "$size" /dev/urandom >"$work/www/package.bin"
fi

port=$(python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1",0)); print(s.getsockname()[1])')
cat >"$work/nginx.conf" <<CONF
daemon off;
master_process off;
worker_processes 1;
pid $work/nginx.pid;
error_log $work/error.log;
events { worker_connections 64; }
http {
  access_log off;
  sendfile on;
  client_body_temp_path $work/tmp/body;
  proxy_temp_path $work/tmp/proxy;
  fastcgi_temp_path $work/tmp/fastcgi;
  uwsgi_temp_path $work/tmp/uwsgi;
  scgi_temp_path $work/tmp/scgi;
  types { application/octet-stream bin; }
  server { listen 127.0.0.1:$port; root $work/www; }
}
CONF

# The test build's prefix: a second one would cost ~700 MB.
export WINEPREFIX=$build/wineprefix WINEDEBUG=-all
cache=$WINEPREFIX/drive_c/users/$(id -un)/AppData/Local/Microsoft/Windows/INetCache
nginx_pid=
cleanup() {
  if [ -n "$nginx_pid" ]; then kill "$nginx_pid" 2>/dev/null || true; wait "$nginx_pid" 2>/dev/null || true; fi
  rm -rf "$cache" "$work/out"
  /usr/lib/wine/wineserver -k 2>/dev/null || true
}
trap cleanup EXIT

/usr/sbin/nginx -c "$work/nginx.conf" -p "$work" -e "$work/error.log" &
nginx_pid=$!
url=http://127.0.0.1:$port/package.bin
for _ in $(seq 1 100); do curl -s -o /dev/null "$url" --max-filesize 1 -r 0-0 && break; sleep 0.05; done

"$here/scripts/wine-prefix" "$WINEPREFIX" >/dev/null 2>&1
/usr/lib/wine/wineserver -p
rm -rf "$cache"
windows_out="Z:$(echo "$work/out/" | tr / '\\')"
ours=$(/usr/lib/wine/wine64 "$exe" "$url" "$windows_out" | tr -d '\r')
echo "$ours"
rm -rf "$cache"

start=$(date +%s.%N)
curl -s -o "$work/out/curl.bin" "$url"
end=$(date +%s.%N)
curl_rate=$(python3 -c "print('%.1f' % ($size / 1048576 / ($end - $start)))")
rm -f "$work/out/curl.bin"
echo "bench: curl_throughput $curl_rate MB/s"
our_rate=$(echo "$ours" | awk '$2 == "download_throughput" { print $3 }')
python3 -c "print('bench: download_vs_curl %.3f ratio' % ($our_rate / $curl_rate))"
