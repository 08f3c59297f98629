#!/usr/bin/env bash
# Builds the Debian package from the build folder, installs it, runs both programs from their
# installed paths and removes the package again. Runs as root on a disposable machine (CI):
# the package is installed into the system for the length of the check.
#
#   scripts/package-check.sh [BUILD_DIR]     (default: build, already built)
set -euo pipefail

# Runs inside xvfb-run: starts the desktop entry's command and waits for its first message
# window. Arguments: the log file, then the command.
if [ "${1:-}" = --window ]; then
    log=$2
    shift 2
    "$@" >"$log" 2>&1 &
    pid=$!
    found=""
    for _ in $(seq 1 150); do
        found=$(xdotool search --onlyvisible --name '^Korvex Brevant$' 2>/dev/null | head -n1 || true)
        [ -n "$found" ] && break
        kill -0 "$pid" 2>/dev/null || break
        sleep 0.2
    done
    status=0
    if [ -z "$found" ]; then
        echo "package-check: no message window appeared" >&2
        status=1
    elif [ "$(xdotool getwindowpid "$found" 2>/dev/null || true)" != "$pid" ]; then
        echo "package-check: the message window belongs to another process" >&2
        status=1
    elif [ "$(readlink -f "/proc/$pid/exe")" != /usr/bin/korvex-brevant ]; then
        echo "package-check: the window was not started from /usr/bin/korvex-brevant" >&2
        status=1
    else
        echo "package-check: message window \"$(xdotool getwindowname "$found")\" of" \
            "$(readlink -f "/proc/$pid/exe") appeared"
    fi
    kill "$pid" 2>/dev/null || true
    for _ in $(seq 1 25); do
        kill -0 "$pid" 2>/dev/null || break
        sleep 0.2
    done
    kill -9 "$pid" 2>/dev/null || true
    wait "$pid" 2>/dev/null || true
    [ "$status" = 0 ] || cat "$log" >&2
    exit "$status"
fi

cd "$(dirname "${BASH_SOURCE[0]}")/.."
build_dir=$(readlink -f "${1:-build}")
package=korvex-brevant
work=$(mktemp -d)
installed=""

cleanup() {
    if [ -n "$installed" ]; then
        dpkg --purge "$package" >/dev/null || echo "package-check: could not remove $package" >&2
    fi
    rm -rf "$work"
}
trap cleanup EXIT

fail() {
    echo "package-check: $*" >&2
    exit 1
}

echo "package-check: building the package"
(cd "$build_dir" && cpack -G DEB -B "$work/package" >"$work/cpack.log") ||
    { cat "$work/cpack.log" >&2; fail "cpack failed"; }
deb=$(ls "$work"/package/${package}_*.deb)
dpkg-deb --field "$deb" Package Version Depends
size=$(stat -c %s "$deb")
echo "package-check: $(basename "$deb") is $size bytes"
[ "$size" -lt 1048576 ] || fail "the package is larger than 1 MB"

# Debian's own checks: any error fails; warnings are shown.
echo "package-check: lintian"
lintian --fail-on error --tag-display-limit 0 "$deb" || fail "lintian found errors"

installed=yes
dpkg -i "$deb"
for file in /usr/bin/korvex-brevant /usr/bin/scrivo /usr/share/applications/$package.desktop \
    /usr/share/icons/hicolor/scalable/apps/$package.svg /usr/share/man/man1/scrivo.1.gz \
    /usr/share/man/man1/korvex-brevant.1.gz /usr/share/bash-completion/completions/scrivo \
    /usr/share/metainfo/org.example.korvex_brevant.metainfo.xml \
    /usr/share/doc/$package/copyright /usr/share/$package/translations/brevant_de.qm; do
    [ -f "$file" ] || fail "$file was not installed"
done
for program in scrivo korvex-brevant; do
    "/usr/bin/$program" --version | grep -q "^$program [0-9]" || fail "$program --version failed"
done
appstreamcli validate --no-net /usr/share/metainfo/org.example.korvex_brevant.metainfo.xml >/dev/null ||
    fail "the AppStream data does not validate"
man -l /usr/share/man/man1/scrivo.1.gz >/dev/null 2>&1 || fail "man cannot show scrivo(1)"
# The installed programs find their catalogues: a German user reads German messages.
german=$(env -u LC_ALL -u LANGUAGE LANG=de_DE.UTF-8 /usr/bin/scrivo nosuch 2>&1 || true)
grep -q "unbekannter Befehl nosuch" <<<"$german" || fail "scrivo did not speak German: $german"
# The completion offers the commands.
completion=$(bash -c 'source /usr/share/bash-completion/completions/scrivo
    COMP_WORDS=(scrivo l); COMP_CWORD=1; _scrivo; echo "${COMPREPLY[*]}"')
[ "$completion" = list ] || fail "the completion of \"scrivo l\" is \"$completion\", not list"

# A private Scrivo home with a Shared sample project, so the start-up shows its backup
# warning; nothing touches the real home folder.
export KORVEX_SCRIVO_HOME="$work/scrivo-home" XDG_STATE_HOME="$work/state"
/usr/bin/scrivo sample "$work/sample" >/dev/null
projects=$(/usr/bin/scrivo projects)
echo "$projects"
[ "$projects" = "* $work/sample/Sample.kpj" ] || fail "scrivo projects did not list the sample"

# The desktop entry's command, without its field codes, found on the PATH as the desktop
# would start it.
exec_line=$(sed -n 's/^Exec=//p' /usr/share/applications/$package.desktop | head -n1)
read -r -a command <<<"$(sed 's/%[fFuUdDnNickvm]//g' <<<"$exec_line")"
[ "$(command -v "${command[0]}")" = /usr/bin/korvex-brevant ] ||
    fail "the desktop entry's command \"${command[0]}\" is not the installed program"
timeout 120 xvfb-run -a -s "-screen 0 1280x1024x24" \
    env QT_QPA_PLATFORM=xcb "$0" --window "$work/window.log" "${command[@]}"

dpkg --purge "$package" >/dev/null
installed=""
[ ! -e /usr/bin/korvex-brevant ] && [ ! -e /usr/bin/scrivo ] || fail "removing left programs behind"
echo "package-check: installed, ran and removed $(basename "$deb")"
