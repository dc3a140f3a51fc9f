#!/usr/bin/env bash
# Builds the Debian packages from the normal CI build (build/ci-normal,
# configured and built first when missing) and has lintian check both. Then
# it installs them with dpkg as a line would: vantrel-tools alone first, as
# on a headless bench PC without Qt, where each program runs from /usr/bin,
# the installed vantrel-cli updates a sample image into the installed
# vantrel-boxsim, man finds the pages and bash-completion the completions;
# then vantrel, the window, on top, as on a desk. It removes both again, also
# when a step fails, and checks that nothing of either is left. It refuses to
# start when either package or any of their files is already on the machine,
# so that it never removes what it did not install.
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
tool_programs=(vantrel-cli vantrel-station vantrel-records vantrel-boxsim)
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
made=$(cd "$dir/package" && ls -- *.deb 2>/dev/null) || true
tools_deb=$(ls "$dir"/package/vantrel-tools_*.deb 2>/dev/null) || true
window_deb=$(ls "$dir"/package/vantrel_*.deb 2>/dev/null) || true
if [ -z "$tools_deb" ] || [ -z "$window_deb" ] || [ "$(wc -l <<<"$made")" -ne 2 ]; then
    fail "cpack made $(tr '\n' ' ' <<<"$made")instead of one vantrel-tools_*.deb and one vantrel_*.deb"
fi
for deb in "$tools_deb" "$window_deb"; do
    echo "    $(basename "$deb"): $(du -h "$deb" | cut -f1)"
done

echo "==> [package] lintian"
for deb in "$tools_deb" "$window_deb"; do
    # Its exit status says only whether it could check the package; its E:
    # and W: lines say what it found.
    report=$(lintian --fail-on none --tag-display-limit 0 "$deb" 2>&1) ||
        fail "lintian could not check $(basename "$deb"): $report"
    report=$(grep -v '^running with root privileges' <<<"$report") || true
    [ -z "$report" ] || sed 's/^/    /' <<<"$report"
    if grep -q '^[EW]: ' <<<"$report"; then
        fail "lintian finds errors or warnings in $(basename "$deb")"
    fi
done

# The files (not folders) of a package, as absolute paths.
files_of() {
    dpkg-deb -c "$1" | grep -v '^d' | awk '{print $NF}' | sed 's|^\./|/|'
}
tools_files=$(files_of "$tools_deb")
window_files=$(files_of "$window_deb")

# What each package must hold, and where: PACKAGE_FILES FILE...
expect_files() {
    local files=$1 path
    shift
    for path in "$@"; do
        grep -qx "$path" <<<"$files" || fail "$path is not in the package"
    done
}
man_and_completion() {
    local program
    for program in "$@"; do
        echo "/usr/share/man/man1/$program.1.gz"
        echo "/usr/share/bash-completion/completions/$program"
    done
}
doc_files() {
    echo "/usr/share/doc/$1/copyright"
    echo "/usr/share/doc/$1/changelog.Debian.gz"
}
mapfile -t expected_tools_files < <(
    printf '/usr/bin/%s\n' "${tool_programs[@]}"
    man_and_completion "${tool_programs[@]}"
    doc_files vantrel-tools
    echo /usr/lib/udev/rules.d/60-vantrel.rules)
mapfile -t expected_window_files < <(
    echo /usr/bin/vantrel
    man_and_completion vantrel
    doc_files vantrel
    echo /usr/share/applications/vantrel.desktop
    echo /usr/libexec/vantrel/vantrel-station-window
    echo /usr/share/applications/vantrel-station.desktop
    echo /usr/share/lintian/overrides/vantrel
    echo /usr/share/icons/hicolor/scalable/apps/vantrel.svg
    echo /usr/share/metainfo/org.example.vantrel.metainfo.xml)
expect_files "$tools_files" "${expected_tools_files[@]}"
expect_files "$window_files" "${expected_window_files[@]}"
shared=$(comm -12 <(sort <<<"$tools_files") <(sort <<<"$window_files"))
[ -z "$shared" ] || fail "in both packages: $shared"

# The tools run where no Qt is installed; the window needs exactly these tools.
deb_version=$(dpkg-deb -f "$tools_deb" Version)
[[ "$deb_version" == "$version-"* ]] || fail "vantrel-tools is version $deb_version, not $version-*"
tools_depends=$(dpkg-deb -f "$tools_deb" Depends)
window_depends=$(dpkg-deb -f "$window_deb" Depends)
echo "    vantrel-tools Depends: $tools_depends"
echo "    vantrel Depends: $window_depends"
grep -q 'libc6' <<<"$tools_depends" || fail "vantrel-tools names no shared libraries: $tools_depends"
if grep -qi 'qt' <<<"$tools_depends"; then
    fail "vantrel-tools depends on Qt: $tools_depends"
fi
for needed in "vantrel-tools (= $deb_version)" libqt6svg6 libqt6widgets6; do
    grep -qF "$needed" <<<"$window_depends" || fail "vantrel does not depend on $needed"
done

# Whether dpkg holds any of PACKAGE's files: installed, or half way there.
is_installed() {
    local state
    state=$(dpkg-query -W -f='${db:Status-Status}' "$1" 2>/dev/null) || return 1
    case $state in
        '' | not-installed | config-files) return 1 ;;
    esac
}
# Fails, naming the first of FILES that is on the machine, with WHY:
# fail_if_any_file_is_there FILES WHY.
fail_if_any_file_is_there() {
    local path
    while read -r path; do
        if [ -e "$path" ] || [ -L "$path" ]; then
            fail "$path $2"
        fi
    done <<<"$1"
}

# Never take over or remove what someone else put there.
for package in vantrel-tools vantrel; do
    if is_installed "$package"; then
        fail "the $package package is installed already; remove it first (dpkg -r $package)"
    fi
done
fail_if_any_file_is_there "$tools_files"$'\n'"$window_files" \
    "exists already and would be replaced: remove it first"

work=$(mktemp -d)
installed=()
box_pid=""
remove_installed() {
    [ ${#installed[@]} -gt 0 ] || return 0
    echo "==> [package] dpkg -r ${installed[*]}"
    "${sudo[@]}" dpkg -r "${installed[@]}" >/dev/null
    installed=()
}
cleanup() {
    local status=$?
    [ -z "$box_pid" ] || kill "$box_pid" 2>/dev/null || true
    remove_installed || status=1
    rm -rf "$work"
    exit $status
}
trap cleanup EXIT

# Man finds each PROGRAM's page and shows it without a warning, and
# bash-completion loads the project's completion for it.
check_man_and_completion() {
    local program page warnings registered
    for program in "$@"; do
        page=$(man -w "$program") || fail "man finds no page for $program"
        [ "$page" = "/usr/share/man/man1/$program.1.gz" ] || fail "man $program finds $page"
        warnings=$(LC_ALL=C MANWIDTH=80 man "$program" 2>&1 >/dev/null)
        [ -z "$warnings" ] || fail "man $program warns: $warnings"
        # bash-completion loads a program's script on its first Tab (its
        # loader answers 124, "try again", when it found one).
        registered=$(bash -c 'source /usr/share/bash-completion/bash_completion || exit
            _completion_loader "$1"
            complete -p "$1"' complete "$program") ||
            fail "bash-completion finds nothing for $program"
        grep -q -- "-F _vantrel" <<<"$registered" || fail "bash-completion for $program: $registered"
    done
}

echo "==> [package] dpkg -i vantrel-tools alone"
installed=(vantrel-tools)
"${sudo[@]}" dpkg -i "$tools_deb" >/dev/null
if is_installed vantrel; then
    fail "installing vantrel-tools installed the window too"
fi

# A program whose --help lists --version must give the version with it;
# the others at least their --help.
for program in "${tool_programs[@]}"; do
    help=$("/usr/bin/$program" --help) || fail "/usr/bin/$program --help failed"
    if grep -q -- '--version' <<<"$help"; then
        out=$("/usr/bin/$program" --version) || fail "/usr/bin/$program --version failed"
        grep -qF "$version" <<<"$out" || fail "/usr/bin/$program --version does not say $version"
        echo "    $program --version: $out"
    else
        echo "    $program --help: ok"
    fi
done

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
check_man_and_completion "${tool_programs[@]}"
# Without the window's package, the station says where its window is.
station_status=0
/usr/bin/vantrel-station --window --no-record "$work/sample-load.bin" 1 >"$work/station.out" 2>&1 ||
    station_status=$?
[ "$station_status" -eq 2 ] && grep -qF "vantrel package" "$work/station.out" ||
    { cat "$work/station.out" >&2; fail "vantrel-station --window without the window: status $station_status"; }

echo "==> [package] dpkg -i vantrel on top"
installed=(vantrel vantrel-tools)
"${sudo[@]}" dpkg -i "$window_deb" >/dev/null
for path in "${expected_window_files[@]}"; do
    [ -f "$path" ] || fail "$path is not there after installing vantrel"
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
check_man_and_completion vantrel
# The station's window, offscreen, with one slot whose port does not open:
# it keeps running until stopped.
station_status=0
QT_QPA_PLATFORM=offscreen timeout 3 /usr/bin/vantrel-station --window --no-record \
    "$work/sample-load.bin" /dev/nonexistent >"$work/station.out" 2>&1 || station_status=$?
[ "$station_status" -eq 124 ] ||
    { cat "$work/station.out" >&2; fail "vantrel-station --window ended with status $station_status"; }
echo "    vantrel-station --window: the station window started offscreen"

remove_installed
for package in vantrel-tools vantrel; do
    if is_installed "$package"; then
        fail "$package is still installed after dpkg -r"
    fi
done
fail_if_any_file_is_there "$tools_files"$'\n'"$window_files" "is still there after dpkg -r"
echo "==> [package] installed, used and removed: $(basename "$tools_deb") $(basename "$window_deb")"
