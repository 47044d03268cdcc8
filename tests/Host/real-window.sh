#!/usr/bin/env bash
# The lobby host in a real X window: started under Xvfb with SDL's X11 video driver, it is
# clicked through quick start, a bid and one play with xdotool (the X server's own input, as a
# person's mouse), and the screen is captured and checked for the table. The host runs
# tests/Host/real-window.script, which only says where the buttons are.
#
#   tests/Host/real-window.sh RUN_DIR OUT_DIR    (exit 77: no Xvfb or xdotool here, skipped)
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
if [ "${1:-}" != "--inside" ]; then
  for tool in xvfb-run xdotool xwd python3; do
    command -v "$tool" >/dev/null || { echo "no $tool: skipped"; exit 77; }
  done
  run=$(cd "$1" && pwd)
  out=$2
  mkdir -p "$out"
  out=$(cd "$out" && pwd)
  exec xvfb-run -a -s "-screen 0 1024x768x24" "$0" --inside "$run" "$out"
fi
run=$2
out=$3
data=$(mktemp -d)
log="$out/real-window.log"
trap 'kill "$pid" 2>/dev/null || true; rm -rf "$data"' EXIT
# In a folder of its own: the engine writes its log file where it runs.
(cd "$data" && exec env SDL_VIDEODRIVER=x11 SDL_AUDIODRIVER=dummy "$run/kavdor-lobby" --data "$data" \
  --script "$here/real-window.script" --turn-seconds 20 --bot-delay 1500 >"$log" 2>&1) &
pid=$!
window=$(timeout 30 xdotool search --sync --onlyvisible --name '^kavdor$' | head -1)
[ -n "$window" ] || { echo "the lobby's window did not appear"; exit 1; }
# Without a window manager the keyboard follows the pointer; focus the window all the same.
xdotool windowfocus "$window" 2>/dev/null || true

handled=0
while kill -0 "$pid" 2>/dev/null; do
  mapfile -t lines < <(grep '^window ' "$log" || true)
  while [ "$handled" -lt "${#lines[@]}" ]; do
    read -r _ name x y <<<"${lines[$handled]}"
    handled=$((handled + 1))
    if [ "$name" = screenshot ]; then
      xwd -root -silent >"$out/real-window.xwd"
      echo "screenshot taken"
      continue
    fi
    [ "$x" = none ] && { echo "$name: not shown"; continue; }
    echo "click $name at $x,$y"
    xdotool mousemove --window "$window" "$x" "$y" click 1
    if [ "$name" = lobby_nickname ]; then
      sleep 0.3
      xdotool type --delay 40 xvfbplayer
    fi
  done
  sleep 0.1
done
wait "$pid" && status=0 || status=$?
[ "$status" -eq 0 ] || { echo "the host's script failed ($status):"; tail -20 "$log"; exit 1; }
[ -f "$out/real-window.xwd" ] || { echo "no screenshot"; exit 1; }

# The picture: an X window dump made a PNG, and looked at: the 800 x 600 window in the middle
# of the screen must show a table (many colours, not black, not one flat colour).
python3 - "$out/real-window.xwd" "$out/real-window.png" <<'PY'
import struct, sys, zlib
data = open(sys.argv[1], "rb").read()
fields = struct.unpack(">25I", data[:100])
header, width, height = fields[0], fields[4], fields[5]
bits, line, colours = fields[11], fields[12], fields[19]
assert bits in (24, 32), f"{bits} bits per pixel"
step = bits // 8
pixels = data[header + colours * 12:]
big = fields[7] == 1  # byte order: most significant (red) first
rows = []
for y in range(height):
    row = pixels[y * line:y * line + width * step]
    if big:
        rgb = b"".join(row[i + step - 3:i + step] for i in range(0, len(row), step))
    else:
        rgb = b"".join(bytes((row[i + 2], row[i + 1], row[i])) for i in range(0, len(row), step))
    rows.append(rgb)
def chunk(kind, body):
    return struct.pack(">I", len(body)) + kind + body + struct.pack(">I", zlib.crc32(kind + body))
png = b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 2, 0, 0, 0))
png += chunk(b"IDAT", zlib.compress(b"".join(b"\0" + r for r in rows))) + chunk(b"IEND", b"")
open(sys.argv[2], "wb").write(png)
left, top = (width - 800) // 2, (height - 600) // 2
seen = set()
bright = 0
for y in range(top, top + 600, 3):
    for x in range(left, left + 800, 3):
        p = rows[y][x * 3:x * 3 + 3]
        seen.add(p)
        bright += sum(p) > 60
print(f"{len(seen)} colours, {bright} of {len(range(top, top + 600, 3)) * len(range(left, left + 800, 3))} samples lit")
assert len(seen) > 500, "the window shows too few colours for a table"
assert bright > 20000, "the window is mostly black"
PY
echo "real window: table shown, $out/real-window.png"
