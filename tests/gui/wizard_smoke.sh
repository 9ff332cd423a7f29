#!/bin/sh
# The wizard as a user meets it, under a real window manager (Xvfb + openbox, keys sent by xdotool):
#  1. a new setting Demos/Artikel.DB -> a copy of Demos/ArtikelNeu.DB walked page by page to
#     "Fertigstellen"; the content viewer opens after the run, and closing it ends the program;
#  2. a long run cancelled halfway: the progress window's question must be the topmost window and
#     answerable; the program ends when its windows close and the target is a sound table.
# Run by ctest as: sh wizard_smoke.sh BIN_DIR  (started again under xvfb-run when no display is set).
set -eu

BIN=$(cd "$1" && pwd)
if [ -z "${SMOKE_UNDER_X:-}" ]; then
    export SMOKE_UNDER_X=1
    exec xvfb-run -a -s "-screen 0 1024x768x24" sh "$0" "$BIN"
fi

WORK=$(mktemp -d)
APP=$WORK/app
export HOME=$WORK/home
export XDG_RUNTIME_DIR=$WORK/xdg
mkdir -p "$APP" "$HOME" "$XDG_RUNTIME_DIR"
chmod 700 "$XDG_RUNTIME_DIR"
unset QT_QPA_PLATFORM
WM_PID=""
APP_PID=""
cleanup() {
    [ -n "$APP_PID" ] && kill -9 "$APP_PID" 2>/dev/null || true
    [ -n "$WM_PID" ] && kill "$WM_PID" 2>/dev/null || true
    rm -rf "$WORK"
}
trap cleanup EXIT

fail() {
    echo "FEHLER: $*" >&2
    echo "--- Fenster:" >&2
    for w in $(xdotool search --onlyvisible --name "." 2>/dev/null); do
        echo "  $w $(xdotool getwindowname "$w") $(xdotool getwindowgeometry "$w" | tr '\n' ' ')" >&2
        [ -n "${SMOKE_SHOTS:-}" ] && xwd -id "$w" -silent >"$SMOKE_SHOTS/window-$w.xwd"
    done
    [ -f "$WORK/app.log" ] && { echo "--- Programmausgabe:" >&2; cat "$WORK/app.log" >&2; }
    exit 1
}

# The program directory: programs, control tables, help and demo data, without the tests.
for f in "$BIN"/*; do
    case "$(basename "$f")" in
        test_*|bench_*|kimport_core_tests|make_program_files|pxread|Temp|*.LCK) ;;
        *) cp -r "$f" "$APP/" ;;
    esac
done
cd "$APP"

openbox >/dev/null 2>&1 &
WM_PID=$!
sleep 1

TITLE="Kelvaro Import 1.0c"

# Waits up to $2 tenths of a second for a visible window whose name is exactly $1; prints its ids.
wait_window() {
    i=0
    while [ $i -lt "$2" ]; do
        ids=$(xdotool search --onlyvisible --name "^$1\$" 2>/dev/null || true)
        [ -n "$ids" ] && { echo "$ids"; return 0; }
        sleep 0.1
        i=$((i + 1))
    done
    return 1
}

# Waits up to $1 tenths of a second for the program to end; fails with $2 otherwise.
wait_end() {
    i=0
    while kill -0 "$APP_PID" 2>/dev/null; do
        [ $i -ge "$1" ] && fail "$2"
        sleep 0.1
        i=$((i + 1))
    done
    wait "$APP_PID" || true
    APP_PID=""
}

SHOT=0
# Waits until the program has used no processor time for 0.3 s (at most 30 s): a page that reads a
# large table takes a while, and a key sent meanwhile may be dropped as the page changes.
settle() {
    [ -n "$APP_PID" ] || return 0
    last=""
    i=0
    while [ $i -lt 100 ]; do
        now=$(awk '{print $14 + $15}' "/proc/$APP_PID/stat" 2>/dev/null || echo gone)
        [ "$now" = "$last" ] && return 0
        last=$now
        sleep 0.3
        i=$((i + 1))
    done
}

key() {
    xdotool key --delay 40 "$@"
    sleep 0.1
    settle
    # SMOKE_SHOTS=DIR keeps a picture of the screen after every key, to see where a walk went astray.
    if [ -n "${SMOKE_SHOTS:-}" ]; then
        SHOT=$((SHOT + 1))
        for w in $(xdotool search --onlyvisible --name "." 2>/dev/null); do
            xwd -id "$w" -silent >"$SMOKE_SHOTS/$SHOT-$1-$w.xwd"
        done
    fi
}
typeinto() { xdotool key ctrl+a; xdotool type --delay 5 "$1"; sleep 0.2; }

start_wizard() {
    ./kelvaro-import >"$WORK/app.log" 2>&1 &
    APP_PID=$!
    main=$(wait_window "$TITLE" 100 | head -1) || fail "das Hauptfenster erschien nicht"
    # The start screen closes by itself after five seconds; a key sent as it closes may reach no window.
    i=0
    while xdotool search --onlyvisible --name "Kelvaro" 2>/dev/null | grep -qvx "$main"; do
        [ $i -ge 100 ] && fail "der Startbildschirm schloss sich nicht"
        sleep 0.1
        i=$((i + 1))
    done
    xdotool windowactivate --sync "$main" 2>/dev/null || true
}

# Page 1 "Neue Importeinstellungen" (a fresh home), pages 2 and 3 by name, the automatic mapping,
# appending new keys, a setting name, then "Fertigstellen".
walk_wizard() {
    key alt+i                     # rbtNeueImport
    key alt+w                     # -> page 2, the source field has the focus
    typeinto "$1"; key alt+w      # -> page 3
    typeinto "$2"; key alt+w      # -> page 4
    key alt+w                     # -> page 5
    key alt+e; key alt+i          # append, skipping keys the target holds
    key alt+w                     # -> page 6
    typeinto "$3"; key alt+f      # Fertigstellen
    wait_window "$TITLE" 1 >/dev/null
    # "Die Importeinstellung ... ist gespeichert worden."; the run starts at once, so no pause here:
    # the long run below must still be going when the cancel key reaches it.
    xdotool key Return
}

# --- 1. a small import, the viewer after the run, the program's end with the viewer --------------
./kimport copy Demos/ArtikelNeu.DB Ziel1.DB >/dev/null
start_wizard
walk_wizard "$APP/Demos/Artikel.DB" "$APP/Ziel1.DB" "Rauchtest eins"
viewer=$(wait_window "$TITLE - Datenbankinhalte" 100) || fail "der Tabelleninhalt erschien nach dem Lauf nicht"
xdotool windowactivate --sync "$viewer" 2>/dev/null || true
key alt+s                         # btnInhSchliessen: on page 6 this ends the program
wait_end 100 "das Programm endete nicht, als der Tabelleninhalt geschlossen wurde"
records=$(./kimport dump Ziel1.DB | tail -n +2 | wc -l)
[ "$records" -eq 30 ] || fail "Ziel1.DB hat $records Datensätze statt 30"
echo "1: Lauf, Tabelleninhalt und Programmende in Ordnung ($records Datensätze)"

# --- 2. a long run cancelled through the progress window's question ------------------------------
N=1500000
awk -v n=$N 'BEGIN { print "ArtNr;Bezeichnung;Preis"; for (i = 1; i <= n; i++) printf "A%07d;Artikel %d;%d,50\n", i, i, i % 1000 }' \
    >gross.txt
./kimport copy Demos/ArtikelNeu.DB Gross.DB >/dev/null
./kimport run --source gross.txt --target Gross.DB --names-first-line --separator ';' >/dev/null 2>&1 ||
    fail "die große Quelltabelle ließ sich nicht anlegen"
./kimport copy Demos/ArtikelNeu.DB Ziel2.DB >/dev/null
start_wizard
walk_wizard "$APP/Gross.DB" "$APP/Ziel2.DB" "Rauchtest zwei"
# The progress window of the run: the title's other window, as high as the run's window is (the short
# checks before the run show a smaller one).
gauge=""
i=0
while [ -z "$gauge" ] && [ $i -lt 400 ]; do
    for w in $(xdotool search --onlyvisible --name "^$TITLE\$" 2>/dev/null || true); do
        [ "$w" != "$main" ] && xdotool getwindowgeometry "$w" | grep -q "x248\$" && gauge=$w
    done
    [ -z "$gauge" ] && sleep 0.05
    i=$((i + 1))
done
[ -n "$gauge" ] || fail "das Fortschrittsfenster des Laufs erschien nicht"
xdotool windowactivate --sync "$gauge" 2>/dev/null || true
key alt+a                         # btnGaugeAbbrechen: the cancel question
box=""
i=0
while [ -z "$box" ] && [ $i -lt 50 ]; do
    for w in $(xdotool search --onlyvisible --name "^$TITLE\$" 2>/dev/null || true); do
        [ "$w" != "$main" ] && [ "$w" != "$gauge" ] && box=$w
    done
    sleep 0.1
    i=$((i + 1))
done
[ -n "$box" ] || fail "die Abbruchfrage erschien nicht (der Lauf war vielleicht schon fertig)"
# On top: the window manager stacks the question above the progress window.
stacking=$(xprop -root _NET_CLIENT_LIST_STACKING | sed 's/.*# //; s/,//g')
pos() { n=0; for id in $stacking; do n=$((n + 1)); [ $((id)) -eq "$1" ] && echo $n; done; }
[ "$(pos "$box")" -gt "$(pos "$gauge")" ] || fail "die Abbruchfrage liegt unter dem Fortschrittsfenster"
[ "$(xdotool getactivewindow)" = "$box" ] || fail "die Abbruchfrage hat nicht den Fokus"
key alt+j                         # "&Ja" (Enter would answer "Nein"): the run stops before its next record
viewer=$(wait_window "$TITLE - Datenbankinhalte" 150) || fail "der Tabelleninhalt erschien nach dem Abbruch nicht"
xdotool windowactivate --sync "$viewer" 2>/dev/null || true
key alt+s
wait_end 150 "das Programm endete nicht nach dem Abbruch"
records=$(./kimport dump Ziel2.DB | tail -n +2 | wc -l) || fail "Ziel2.DB ist nach dem Abbruch nicht lesbar"
[ "$records" -gt 0 ] && [ "$records" -lt $N ] || fail "Ziel2.DB hat $records Datensätze (erwartet: zwischen 1 und $((N - 1)))"
echo "2: Abbruch über die Frage, Programmende und Ziel in Ordnung ($records von $N Datensätzen)"
