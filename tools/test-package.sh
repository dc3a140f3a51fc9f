#!/usr/bin/env bash
# Builds the Debian package from the normal CI build (build/ci-normal,
# configured and built first when missing), installs it with dpkg, and
# tries it as an operator would: each program runs from /usr/bin, the
# installed vantrel-cli updates a sample image into the installed
# vantrel-boxsim, man finds the pages and bash-completion the completions.
# Then it removes the package again, also when a step fails, and checks
# that nothing of it is left. It refuses to start when the package or any
# of its files is already on the machine, so that it never removes what it
# did not install.
#
#   tools/test-package.sh
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
# shellcheck source=tools/setup-deps.sh
source "$root/tools/setup-deps.sh"
install_missing_packages

dir="$root/build/ci-normal"
jobs=$(nproc 2>/dev/null || echo 2)
sudo=()
[ "$(id -u)" -eq 0 ] || sudo=(sudo)
programs=(vantrel vantrel-cli vantrel-station vantrel-records vantrel-boxsim)
version=$(sed -n 's/^project(Vantrel VERSION \([0-9.]*\).*/\1/p' "$root/CMakeLists.txt")

fail() {
    echo "test-package: $*" >&2
    exit 1
}

if [ ! -f "$dir/CPackConfig.cmake" ]; then
    echo "==> [package] no $dir yet: configure and build it"
    cmake -S "$root" -B "$dir" -G Ninja -DVANTREL_WERROR=ON
fi
cmake --build "$dir" -j "$jobs"

echo "==> [package] cpack -G DEB"
rm -rf "$dir/package"
(cd "$dir" && cpack -G DEB -B "$dir/package" >/dev/null)
debs=("$dir"/package/vantrel_*.deb)
if [ ${#debs[@]} -ne 1 ] || [ ! -f "${debs[0]}" ]; then
    fail "cpack made no single vantrel_*.deb"
fi
deb=${debs[0]}
echo "    $(basename "$deb"): $(du -h "$deb" | cut -f1)"

# What the package must hold, and where.
contents=$(dpkg-deb -c "$deb" | awk '{print $NF}' | sed 's|^\./|/|')
for path in /usr/bin/vantrel /usr/bin/vantrel-cli /usr/bin/vantrel-station \
    /usr/bin/vantrel-records /usr/bin/vantrel-boxsim \
    /usr/lib/udev/rules.d/60-vantrel.rules \
    /usr/share/applications/vantrel.desktop \
    /usr/share/icons/hicolor/scalable/apps/vantrel.svg \
    /usr/share/metainfo/org.example.vantrel.metainfo.xml; do
    grep -qx "$path" <<<"$contents" || fail "the package has no $path"
done
for program in "${programs[@]}"; do
    grep -qx "/usr/share/man/man1/$program.1.gz" <<<"$contents" ||
        fail "the package has no man page for $program"
    grep -qx "/usr/share/bash-completion/completions/$program" <<<"$contents" ||
        fail "the package has no bash completion for $program"
done
depends=$(dpkg-deb -f "$deb" Depends)
grep -q 'libc6' <<<"$depends" || fail "Depends names no shared libraries: $depends"
echo "    Depends: $depends"

# Fails, naming the first of the package's files (not its folders) that is
# on the machine, with `why`.
fail_if_any_file_is_there() {
    local path
    while read -r path; do
        [ -d "$path" ] && continue
        if [ -e "$path" ] || [ -L "$path" ]; then
            fail "$path $1"
        fi
    done <<<"$contents"
}

# Never take over or remove what someone else put there.
if dpkg-query -W -f='${Status}' vantrel 2>/dev/null | grep -q 'installed'; then
    fail "the vantrel package is installed already; remove it first (dpkg -r vantrel)"
fi
fail_if_any_file_is_there "exists already and would be replaced: remove it first"

work=$(mktemp -d)
installed=false
box_pid=""
cleanup() {
    local status=$?
    [ -z "$box_pid" ] || kill "$box_pid" 2>/dev/null || true
    if $installed; then
        echo "==> [package] dpkg -r vantrel"
        "${sudo[@]}" dpkg -r vantrel >/dev/null || status=1
    fi
    rm -rf "$work"
    exit $status
}
trap cleanup EXIT

echo "==> [package] dpkg -i"
installed=true
"${sudo[@]}" dpkg -i "$deb" >/dev/null

# A program whose --help lists --version must give the version with it;
# the others at least their --help.
for program in vantrel-cli vantrel-station vantrel-records vantrel-boxsim; do
    help=$("/usr/bin/$program" --help) || fail "/usr/bin/$program --help failed"
    if grep -q -- '--version' <<<"$help"; then
        out=$("/usr/bin/$program" --version) || fail "/usr/bin/$program --version failed"
        grep -qF "$version" <<<"$out" || fail "/usr/bin/$program --version does not say $version"
        echo "    $program --version: $out"
    else
        echo "    $program --help: ok"
    fi
done
# The window, offscreen: it either answers --version at once or, while it
# has no such option, opens and keeps running (with every library found).
window_status=0
QT_QPA_PLATFORM=offscreen timeout 3 /usr/bin/vantrel --version >"$work/window.out" 2>&1 ||
    window_status=$?
case $window_status in
    0) grep -qF "$version" "$work/window.out" || fail "/usr/bin/vantrel --version does not say $version"
       echo "    vantrel --version: $(head -n1 "$work/window.out")" ;;
    124) echo "    vantrel: the window started offscreen" ;;
    *) cat "$work/window.out" >&2; fail "/usr/bin/vantrel ended with status $window_status" ;;
esac

echo "==> [package] /usr/bin/vantrel-cli updates a sample image into /usr/bin/vantrel-boxsim"
"$root/tools/make-sample-images.sh" "$work" >/dev/null
coproc BOXSIM { exec /usr/bin/vantrel-boxsim --out "$work/received.bin"; }
box_pid=$BOXSIM_PID
# Its first line is the path of the pseudo-terminal's far end.
read -r -t 10 pty <&"${BOXSIM[0]}" || fail "vantrel-boxsim did not start"
timeout 60 /usr/bin/vantrel-cli --device "$pty" --timeout 20 "$work/sample-load.bin" \
    >"$work/cli.out" 2>&1 || { cat "$work/cli.out" >&2; fail "the update failed"; }
boxsim_status=0
wait "$box_pid" || boxsim_status=$?
box_pid=""
[ "$boxsim_status" -eq 0 ] || fail "vantrel-boxsim ended with status $boxsim_status"
cmp -s "$work/sample-load.bin" "$work/received.bin" || fail "the box received another module"
tail -n1 "$work/cli.out" | sed 's/^/    /'

echo "==> [package] man pages and completion in place"
for program in "${programs[@]}"; do
    page=$(man -w "$program") || fail "man finds no page for $program"
    [ "$page" = "/usr/share/man/man1/$program.1.gz" ] || fail "man $program finds $page"
    warnings=$(LC_ALL=C MANWIDTH=80 man "$program" 2>&1 >/dev/null)
    [ -z "$warnings" ] || fail "man $program warns: $warnings"
    # bash-completion loads a program's script on its first Tab (its loader
    # answers 124, "try again", when it found one).
    registered=$(bash -c 'source /usr/share/bash-completion/bash_completion || exit
        _completion_loader "$1"
        complete -p "$1"' complete "$program") ||
        fail "bash-completion finds nothing for $program"
    grep -q -- "-F _vantrel" <<<"$registered" || fail "bash-completion for $program: $registered"
done

echo "==> [package] dpkg -r vantrel"
"${sudo[@]}" dpkg -r vantrel >/dev/null
installed=false
if dpkg-query -W -f='${Status}' vantrel 2>/dev/null | grep -q 'installed'; then
    fail "vantrel is still installed after dpkg -r"
fi
fail_if_any_file_is_there "is still there after dpkg -r"
echo "==> [package] installed, used and removed: $(basename "$deb")"
