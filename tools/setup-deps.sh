# shellcheck shell=bash
# Sourced by the build scripts: installs the Debian packages the project
# needs when any is missing (apt-get update once, then apt-get install), as
# root or through sudo.

# fonts-baekmuk: the tests' face with letters on a half pixel.
VANTREL_PACKAGES=(
    cmake ninja-build g++ pkg-config clang-format clang libclang-rt-14-dev
    libgtest-dev libgmock-dev libbenchmark-dev
    libudev-dev umockdev libumockdev-dev nlohmann-json3-dev
    qt6-base-dev libqt6svg6 fonts-baekmuk
    libsqlite3-dev libpq-dev libpqxx-dev libcli11-dev postgresql libssl-dev
    help2man man-db groff-base bash-completion appstream desktop-file-utils dpkg-dev file lintian
)

install_missing_packages() {
    local missing=()
    local package
    for package in "${VANTREL_PACKAGES[@]}"; do
        dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" ||
            missing+=("$package")
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    echo "==> installing: ${missing[*]}"
    local sudo=()
    [ "$(id -u)" -eq 0 ] || sudo=(sudo)
    "${sudo[@]}" apt-get update
    DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y --no-install-recommends "${missing[@]}"
}
