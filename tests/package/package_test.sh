#!/bin/sh
# The Debian package as an administrator and a user meet it: built with cpack, installed with dpkg,
# both programs started from /usr/bin in a fresh per-user folder, then removed again - leaving
# nothing of it in /usr, whatever happens in between. Installing needs root: skipped (77) otherwise,
# and also when the package is installed already (the test would remove it).
# Run by ctest as: sh package_test.sh BUILD_DIR
set -eu

BUILD=$(cd "$1" && pwd)
PACKAGE=kelvaro-import

if [ "$(id -u)" != 0 ]; then
    echo "ÜBERSPRUNGEN: dpkg -i braucht root"
    exit 77
fi
# Any state but "not installed": also unpacked, half-configured or left with its configuration.
installed() {
    status=$(dpkg-query -W -f='${db:Status-Status}' "$PACKAGE" 2>/dev/null || true)
    [ -n "$status" ] && [ "$status" != "not-installed" ]
}
if installed; then
    echo "ÜBERSPRUNGEN: $PACKAGE ist schon installiert; der Test würde es entfernen"
    exit 77
fi
for tool in cpack dpkg-shlibdeps file; do
    command -v "$tool" >/dev/null || { echo "FEHLER: $tool fehlt (sh scripts/install-deps --package)" >&2; exit 1; }
done

WORK=$(mktemp -d)
WIZARD_PID=""
cleanup() {
    [ -n "$WIZARD_PID" ] && kill -9 "$WIZARD_PID" 2>/dev/null || true
    if installed; then
        dpkg --purge "$PACKAGE" >/dev/null 2>&1 || echo "FEHLER: $PACKAGE ließ sich nicht entfernen" >&2
    fi
    rm -rf "$WORK"
}
trap cleanup EXIT
trap 'exit 1' INT TERM HUP

fail() {
    echo "FEHLER: $*" >&2
    exit 1
}
export DEBIAN_FRONTEND=noninteractive

# The package: its name, control fields and files.
(cd "$WORK" && cpack -G DEB --config "$BUILD/CPackConfig.cmake" -B "$WORK/pkg" >"$WORK/cpack.log" 2>&1) ||
    { cat "$WORK/cpack.log" >&2; fail "cpack"; }
DEB="$WORK/pkg/${PACKAGE}_1.0c_$(dpkg --print-architecture).deb"
[ -f "$DEB" ] || fail "kein $DEB: $(ls "$WORK/pkg")"
[ "$(dpkg-deb -f "$DEB" Maintainer)" = "Kelvaro Import <import@kelvaro.example>" ] || fail "Maintainer"
[ "$(dpkg-deb -f "$DEB" Section)" = "misc" ] || fail "Section"
DEPENDS=$(dpkg-deb -f "$DEB" Depends)
for dep in libc6 libstdc++6 libqt6core6 libqt6gui6 libqt6widgets6 qt6-translations-l10n; do
    echo "$DEPENDS" | tr ',' '\n' | grep -q "^ *$dep\( \|$\)" || fail "Depends ohne $dep: $DEPENDS"
done
dpkg-deb -c "$DEB" | awk '{print $6}' >"$WORK/contents"
for f in ./usr/bin/kelvaro-import ./usr/bin/kimport ./usr/share/applications/kelvaro-import.desktop \
    ./usr/share/icons/hicolor/scalable/apps/kelvaro-import.svg ./usr/share/man/man1/kimport.1.gz \
    ./usr/share/man/man1/kelvaro-import.1.gz ./usr/share/kelvaro-import/vorlage/ImpList.DB \
    ./usr/share/kelvaro-import/vorlage/Demos/Artikel.DB ./usr/share/kelvaro-import/vorlage/DEMO1.DB \
    ./usr/share/kelvaro-import/vorlage/help/index.html; do
    grep -qx "$f" "$WORK/contents" || fail "$f fehlt im Paket"
done
grep -qi "PKIMPORT.LCK" "$WORK/contents" && fail "Sperrdatei im Paket"

dpkg -i "$DEB" </dev/null >"$WORK/dpkg.log" 2>&1 || { cat "$WORK/dpkg.log" >&2; fail "dpkg -i"; }
dpkg -L "$PACKAGE" >"$WORK/files"

/usr/bin/kimport --version | grep -q "Kelvaro Import 1.0c" || fail "kimport --version"
zcat /usr/share/man/man1/kimport.1.gz | grep -q "settings export" || fail "Handbuchseite von kimport"

# kimport as a user without a program folder yet: it is made from the template.
mkdir -p "$WORK/home" "$WORK/run"
chmod 700 "$WORK/run"
USER_DIR="$WORK/data/Kelvaro/Import"
(
    cd "$WORK"
    export HOME="$WORK/home" XDG_DATA_HOME="$WORK/data"
    /usr/bin/kimport settings list >"$WORK/list.txt" 2>"$WORK/list.err" || fail "settings list: $(cat "$WORK/list.err")"
    grep -q "Demo: Artikel übernehmen" "$WORK/list.txt" || fail "Demo-Einstellung fehlt: $(cat "$WORK/list.txt")"
    /usr/bin/kimport run --source "$USER_DIR/Demos/Artikel.DB" --target "$USER_DIR/Demos/ArtikelNeu.DB" \
        >"$WORK/run.out" 2>"$WORK/run.err" || fail "kimport run: $(cat "$WORK/run.err")"
    source_rows=$(/usr/bin/kimport dump "$USER_DIR/Demos/Artikel.DB" | wc -l)
    target_rows=$(/usr/bin/kimport dump "$USER_DIR/Demos/ArtikelNeu.DB" | wc -l)
    [ "$source_rows" -gt 1 ] && [ "$source_rows" = "$target_rows" ] ||
        fail "ArtikelNeu.DB hat $target_rows Zeilen statt $source_rows"
)
for f in ImpList.DB ImpList.PX ZStrukt.DB QStrukt.db DEMO1.DB DEMO2.DB Demos/KUNDEN.DBF help/index.html; do
    [ -f "$USER_DIR/$f" ] || fail "$USER_DIR/$f fehlt"
done

# The wizard as another user, on the offscreen platform: it makes ~/.local/share/Kelvaro/Import
# and keeps running.
mkdir -p "$WORK/home2"
(
    export HOME="$WORK/home2" XDG_RUNTIME_DIR="$WORK/run" QT_QPA_PLATFORM=offscreen
    unset XDG_DATA_HOME
    cd "$WORK"
    exec /usr/bin/kelvaro-import </dev/null >"$WORK/wizard.log" 2>&1
) &
WIZARD_PID=$!
# Waits until it has made its files or has ended, however long the machine takes (the test's own
# time limit ends a hang).
made_files() {
    for f in ImpList.DB ZStrukt.DB QStrukt.db Demos/Artikel.DB help/index.html; do
        [ -f "$WORK/home2/.local/share/Kelvaro/Import/$f" ] || return 1
    done
}
while kill -0 "$WIZARD_PID" 2>/dev/null && ! made_files; do sleep 0.1; done
kill -0 "$WIZARD_PID" 2>/dev/null || fail "kelvaro-import endete: $(cat "$WORK/wizard.log")"
for f in ImpList.DB ZStrukt.DB QStrukt.db Demos/Artikel.DB help/index.html; do
    [ -f "$WORK/home2/.local/share/Kelvaro/Import/$f" ] || fail "kelvaro-import legte $f nicht an"
done
kill "$WIZARD_PID"
wait "$WIZARD_PID" 2>/dev/null || true
WIZARD_PID=""

# Nothing the programs did touched the installed files.
dpkg --verify "$PACKAGE" || fail "installierte Dateien verändert"

dpkg -r "$PACKAGE" </dev/null >"$WORK/remove.log" 2>&1 || { cat "$WORK/remove.log" >&2; fail "dpkg -r"; }
left=""
while read -r f; do
    [ -d "$f" ] && continue  # shared folders such as /usr/bin stay
    [ -e "$f" ] || [ -L "$f" ] && left="$left $f"
done <"$WORK/files"
[ -z "$left" ] || fail "nach dpkg -r noch da:$left"
[ ! -e /usr/share/kelvaro-import ] || fail "/usr/share/kelvaro-import blieb"
installed && fail "noch installiert"
# The users' folders are theirs: removing the package leaves them.
[ -f "$USER_DIR/ImpList.DB" ] || fail "dpkg -r nahm den Benutzerordner mit"
echo "Paket gebaut, installiert, benutzt und entfernt"
