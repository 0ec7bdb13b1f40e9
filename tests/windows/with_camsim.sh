#!/usr/bin/env bash
# with_camsim.sh CAMSIM WINE PORT PROGRAM [ARGS...]
# Serves a simulated camera on a pseudo-terminal (the Linux camsim), makes wine's PORT (COMn)
# lead to it, runs the Windows PROGRAM under wine with CTRL_TEST_COM_PORT=PORT, and stops the
# camera. Exits with the program's status. Needs the wine server of WINEPREFIX running.
#
# Wine's mount manager turns HKLM\Software\Wine\Ports into the dosdevices/comN links only when
# it starts (wineboot); a running server takes a new port from the link itself. So the port is
# set in both places, and both are removed again at the end.
set -euo pipefail
camsim=$1 wine=$2 port=$3
shift 3

folder=$(mktemp -d "${TMPDIR:-/tmp}/ctrl-camsim.XXXXXX")
link=$folder/tty$port
device_link=${WINEPREFIX:-$HOME/.wine}/dosdevices/${port,,}
camsim_pid=
stop() {
  if [ -n "$camsim_pid" ]; then kill "$camsim_pid" 2>/dev/null || true; wait "$camsim_pid" 2>/dev/null || true; fi
  "$wine" reg delete 'HKLM\Software\Wine\Ports' /v "$port" /f >/dev/null 2>&1 || true
  if [ -L "$device_link" ] && [ "$(readlink "$device_link")" = "$link" ]; then rm -f "$device_link"; fi
  rm -rf "$folder"
}
trap stop EXIT
trap 'exit 143' TERM  # ctest's time-out: still stop camsim and undo the port.
trap 'exit 130' INT

# camsim prints the slave device and the link once it serves: reading them waits for that.
coproc CAMSIM { exec "$camsim" --link "$link"; }
camsim_pid=$CAMSIM_PID
read -r slave <&"${CAMSIM[0]}"
read -r _ <&"${CAMSIM[0]}"
echo "camsim serves $slave as $link; wine's $port leads there"

"$wine" reg add 'HKLM\Software\Wine\Ports' /v "$port" /d "$link" /f >/dev/null
ln -sfn "$link" "$device_link"
CTRL_TEST_COM_PORT=$port "$wine" "$@"
