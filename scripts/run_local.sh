#!/usr/bin/env bash
# scripts/run.sh --local: runs the built client (first argument) against a private
# ngIRCd on 127.0.0.1, in a profile of its own, so nothing but this machine is
# contacted and the user's own settings and files are never touched:
#   ${XDG_CACHE_HOME:-~/.cache}/kolu-local/   config/, data/, runtime/
# The profile's only server is that ngIRCd, selected, so File > Connect works at
# once. ngIRCd is stopped when the client exits.
set -euo pipefail
client=$(realpath "$1")
shift

profile="${XDG_CACHE_HOME:-$HOME/.cache}/kolu-local"
mkdir -p "$profile/config" "$profile/data/kolu" "$profile/runtime"
chmod 0700 "$profile" "$profile/runtime"

# One local session at a time: a second would give the first's server list a new port.
exec 9>"$profile/lock"
if ! flock -n 9; then
  echo "A local session is already running (profile $profile)." >&2
  exit 1
fi

server_dir=$(mktemp -d "${TMPDIR:-/tmp}/kolu-ngircd.XXXXXX")
ngircd_pid=
stop_server() {
  if [[ -n "$ngircd_pid" ]]; then
    kill "$ngircd_pid" 2>/dev/null || true
    wait "$ngircd_pid" 2>/dev/null || true
  fi
  rm -rf "$server_dir"
}
trap stop_server EXIT
trap 'exit 130' INT TERM HUP

# ngIRCd will not stay root: as root it runs as nobody, which must be able to
# write its PID file into the server's folder.
identity=
if [[ $(id -u) -eq 0 ]]; then
  identity="ServerUID = $(id -u nobody)
ServerGID = $(id -g nobody)"
  chown "$(id -u nobody):$(id -g nobody)" "$server_dir"
fi

write_config() {
  cat >"$server_dir/ngircd.conf" <<CONF
[Global]
Name = kolu.localhost
Info = Kolu local server
AdminInfo1 = scripts/run.sh --local
AdminInfo2 = 127.0.0.1
AdminEMail = kolu@localhost
Listen = 127.0.0.1
Ports = $1
MotdFile = $server_dir/motd.txt
PidFile = $server_dir/ngircd.pid
$identity

[Limits]
MaxNickLength = 30

[Options]
PAM = no
Ident = no
DNS = no
CONF
  echo "Kolu's local server: only 127.0.0.1 is served." >"$server_dir/motd.txt"
}

# A random high port; taken ports are retried, as the integration tests do.
start_server() {
  local port log="$server_dir/ngircd.log"
  for _ in 1 2 3 4 5; do
    port=$((20000 + RANDOM % 40000))
    write_config "$port"
    /usr/sbin/ngircd -n -f "$server_dir/ngircd.conf" </dev/null >"$log" 2>&1 9>&- &
    ngircd_pid=$!
    for _ in $(seq 50); do
      if ! kill -0 "$ngircd_pid" 2>/dev/null; then
        wait "$ngircd_pid" || true
        ngircd_pid=
        grep -q "Address already in use" "$log" && continue 2
        echo "ngIRCd did not start:" >&2
        cat "$log" >&2
        exit 1
      fi
      if grep -q "Now listening on \[127.0.0.1\]:$port" "$log" &&
        (exec 3<>"/dev/tcp/127.0.0.1/$port") 2>/dev/null; then
        server_port=$port
        return
      fi
      sleep 0.1
    done
    echo "ngIRCd did not accept connections on 127.0.0.1:$port within 5 s:" >&2
    cat "$log" >&2
    exit 1
  done
  echo "ngIRCd found its port taken 5 times in a row." >&2
  exit 1
}

server_port=
start_server

# The server list holds only the local server (written whole, then renamed into
# place; it may hold passwords, so only the user reads it). Position 0 is the
# selected server: the client's first run writes 0, and an earlier session's
# choice of a server that is gone now is reset to it.
servers="$profile/data/kolu/servers.txt"
printf 'Local\t127.0.0.1\t%s\t\r\n' "$server_port" >"$servers.new"
chmod 0600 "$servers.new"
mv -f "$servers.new" "$servers"
registry="$profile/config/kolu/registry"
if [[ -f "$registry" ]]; then
  sed -i '/^\[HKEY_LOCAL_MACHINE\\SOFTWARE\\Marvoline\\Kolu\]$/,/^\[/ s/^"server"=dword:.*/"server"=dword:00000000/' \
    "$registry"
fi

# A runtime folder of its own keeps a Kolu the user is running from taking this
# start over; the display, sound and session bus stay those of the user's session.
if [[ -n "${XDG_RUNTIME_DIR:-}" ]]; then
  if [[ -n "${WAYLAND_DISPLAY:-}" && "$WAYLAND_DISPLAY" != /* ]]; then
    export WAYLAND_DISPLAY="$XDG_RUNTIME_DIR/$WAYLAND_DISPLAY"
  fi
  if [[ -z "${PULSE_SERVER:-}" && -S "$XDG_RUNTIME_DIR/pulse/native" ]]; then
    export PULSE_SERVER="unix:$XDG_RUNTIME_DIR/pulse/native"
  fi
  if [[ -z "${DBUS_SESSION_BUS_ADDRESS:-}" && -S "$XDG_RUNTIME_DIR/bus" ]]; then
    export DBUS_SESSION_BUS_ADDRESS="unix:path=$XDG_RUNTIME_DIR/bus"
  fi
fi

echo "ngIRCd on 127.0.0.1:$server_port; profile $profile"
XDG_CONFIG_HOME="$profile/config" XDG_DATA_HOME="$profile/data" \
  XDG_RUNTIME_DIR="$profile/runtime" "$client" "$@" 9>&-
