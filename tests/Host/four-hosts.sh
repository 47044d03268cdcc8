#!/usr/bin/env bash
# Four people at one table: four headless lobby hosts against one kavdor-server over TCP play
# 10 hands with the mouse only (tests/Host/four-hosts.script, one copy per player; each host
# writes what its table showed with --record). In hand 3 the fourth host is killed: the server
# must play his seat, and the same host started again must be put back at his seat, with his
# hand as it stands, by logging in with the nickname it remembered. At the end: every host was
# shown the same plays in the same order, the result dialogs agree, and the server's database
# holds each player's sums.
#
#   tests/Host/four-hosts.sh RUN_DIR OUT_DIR
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
command -v python3 >/dev/null || { echo "no python3: skipped"; exit 77; }
run=$(cd "$1" && pwd)
mkdir -p "$2"
out=$(cd "$2" && pwd)
rm -f "$out"/*
work=$(mktemp -d)
pids=()
cleanup() {
  for pid in "${pids[@]}"; do kill -9 "$pid" 2>/dev/null || true; done
  rm -rf "$work"
}
trap cleanup EXIT
fail() {
  echo "four hosts: $*"
  for f in "$out"/*.log; do echo "--- $f"; tail -15 "$f"; done
  exit 1
}

# Nobody at this table is a bot: the server plays a seat only while its player is away, and
# slowly (--bot-delay), so that the killed host is back before hand 3 ends, as the checks need.
port=$(python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
mkdir "$work/server"
(cd "$work/server" && exec "$run/kavdor-server" --port "$port" --db players.db --tables 2 --turn-seconds 20 \
  --bot-delay 1000 >"$out/server.log" 2>&1) &
server=$!
pids+=("$server")
for _ in $(seq 100); do
  grep -q "listening on" "$out/server.log" 2>/dev/null && break
  sleep 0.1
done
grep -q "listening on" "$out/server.log" || fail "the server did not start"

nicknames=(east south west north)
# host INDEX ACCOUNT-BUTTON [SEATED]: starts the host of player INDEX in its own folder (the
# engine writes its log where it runs; the lobby remembers the nickname in its data folder).
host() {
  local i=$1 nick=${nicknames[$1]} name=$1.$2
  mkdir -p "$work/$nick"
  local edit=(-e "s|@PASSWORD@|secret-$nick|" -e "s|@ACCOUNT@|$2|" -e "s|@OUT@|$out/$name|")
  if [ "${3:-}" = seated ]; then
    # Back after a crash: the nickname is remembered, and the server seats him itself.
    edit+=(-e "s|^@NICKNAME@$|# the nickname is remembered|" -e '/^# sit$/,/^# seated$/d')
  else
    edit+=(-e "s|^@NICKNAME@$|click-window lobby_nickname\ntype $nick|")
  fi
  sed "${edit[@]}" "$here/four-hosts.script" >"$work/$name.script"
  (cd "$work/$nick" && exec env SDL_AUDIODRIVER=dummy "$run/kavdor-lobby" --headless --data . \
    --server "127.0.0.1:$port" --record "$out/$name.record" --script "$work/$name.script" \
    >"$out/$name.log" 2>&1) &
  pids+=($!)
  last=$!
}
lines() { { grep -c "^$2" "$1" 2>/dev/null || true; } | head -1; }

started=$(date +%s)
# One after the other, so that the seats go east, south, west, north.
hostpid=()
for i in 0 1 2 3; do
  host "$i" lobby_register
  hostpid[$i]=$last
  for _ in $(seq 300); do
    grep -q "seatIdx=$i" "$work/${nicknames[$i]}/KelLogFile.txt" 2>/dev/null && break
    sleep 0.1
  done
done

# Hand 3, a few plays in: north's host dies.
east=$out/0.lobby_register.record
for _ in $(seq 900); do
  [ "$(lines "$east" result)" -ge 2 ] && [ "$(awk '/^result/ {n++} n == 2 && /^(play|pass)/ {p++} END {print p + 0}' "$east")" -ge 6 ] && break
  sleep 0.1
done
[ "$(lines "$east" result)" -eq 2 ] || fail "hand 3 did not come"
kill -9 "${hostpid[3]}"
wait "${hostpid[3]}" 2>/dev/null || true
north=$(awk '/^deal/ {print $2; exit}' "$out/3.lobby_register.record")
killedAt=$(wc -l <"$east")
echo "north ($north) killed in hand 3 after $killedAt lines of the table record"

# The server plays his seat meanwhile.
for _ in $(seq 150); do
  tail -n +"$((killedAt + 1))" "$east" | grep -qE "^(play|pass) $north( |$)" && break
  sleep 0.1
done
tail -n +"$((killedAt + 1))" "$east" | grep -qE "^(play|pass) $north( |$)" || fail "nobody played north's seat"
echo "north's seat played by the server"

backAt=$(wc -l <"$east")
host 3 lobby_login seated
hostpid[3]=$last
for i in 0 1 2 3; do
  wait "${hostpid[$i]}" || fail "the host of ${nicknames[$i]} failed"
done
kill "$server"
wait "$server" || fail "the server did not stop cleanly"
echo "10 hands in $(($(date +%s) - started)) s"

python3 - "$out" "$work/server/players.db" "$north" "$backAt" <<'PY'
import sqlite3, sys
out, db, north, back_at = sys.argv[1], sys.argv[2], sys.argv[3], int(sys.argv[4])
def read(name):
    return open(f"{out}/{name}").read().splitlines()
def public(record):
    # What every seat is shown alike (a deal is the own hand, different at every seat).
    return [l for l in record if not l.startswith("deal")]
def hands(record):
    # The record cut at the results: hand i is the lines up to its result line.
    out, hand = [], []
    for l in record:
        hand.append(l)
        if l.startswith("result"):
            out.append(hand)
            hand = []
    return out
east, south, west = (read(f"{i}.lobby_register.record") for i in range(3))
north1, north2 = read("3.lobby_register.record"), read("3.lobby_login.record")
assert public(east) == public(south) == public(west), "the three hosts were shown different tables"
assert len(hands(east)) == 10, f"{len(hands(east))} hands"
assert public(north1) == public(east)[:len(public(north1))], "north was shown another table before the crash"

# Back at his seat: the hand as it stood, that is his hand of hand 3 less his plays made before
# he was back (at least those made before his host started again, the server's among them), and
# from then on the same plays as everybody.
def cards(line):
    # "deal ID C,C,..", "base C,C,..", "play ID C,C,..": the card list is the last word.
    return [int(c) for c in line.split()[-1].split(",")]
back = [l for l in north2 if l.startswith("deal")][0]
held = sorted(cards(back))
hand3 = hands(east)[2]
dealt = sorted(cards([l for l in north1 if l.startswith("deal")][-1]))
if f"landlord {north}" in hand3:
    dealt = sorted(dealt + cards([l for l in hand3 if l.startswith("base")][0]))
plays = [cards(l) for l in hand3 if l.startswith(f"play {north} ")]
remaining, states = list(dealt), [sorted(dealt)]
for p in plays:
    for c in p:
        remaining.remove(c)
    states.append(sorted(remaining))
hand3_start = sum(len(h) for h in hands(east)[:2])
before = sum(1 for l in east[hand3_start:back_at] if l.startswith(f"play {north} "))
assert held in states[before:], "north came back to another hand than his"
rejoined = hands(north2)
assert rejoined[0][-1] == hand3[-1], "north's first result is not hand 3's"
assert [public(h) for h in rejoined[1:]] == [public(h) for h in hands(east)[3:]], "north was shown other hands after his return"
print(f"north came back holding {len(held)} cards, {states.index(held)} of his {len(plays)} plays of hand 3 made"
      f" ({before} before his host started again)")

# The result dialogs: the same rows at every host, hand by hand.
results = [read(f"{i}.lobby_register.results") for i in range(3)]
assert results[0] == results[1] == results[2] and len(results[0]) == 10, "the result dialogs differ"
assert read("3.lobby_register.results") + read("3.lobby_login.results") == results[0], "north's dialogs differ"
sums = {}
for line in results[0]:
    for row in line.split("\t"):
        nick, score, coins = row.split(" ")
        s = sums.setdefault(nick, [0, 0])
        s[0] += int(score)
        s[1] += int(coins)
assert sorted(sums) == ["east", "north", "south", "west"], sorted(sums)
assert sum(s[0] for s in sums.values()) == 0, "the scores do not sum to zero"
con = sqlite3.connect(db)
for nick, (score, coins) in sorted(sums.items()):
    row = con.execute("SELECT score, coins, wins + losses + draws FROM players WHERE nickname = ?",
                      (nick.encode(),)).fetchone() or con.execute(
        "SELECT score, coins, wins + losses + draws FROM players WHERE nickname = ?", (nick,)).fetchone()
    assert row == (score, 1000 + coins, 10), f"{nick}: database {row}, dialogs {score} {1000 + coins} 10"
    print(f"{nick}: score {score}, coins {1000 + coins}, as stored")
PY
echo "four hosts: the same table at every host, the dialogs agree, the database holds the sums"
