#!/usr/bin/env bash
# Installs what the Wine tests need, and returns at once when it is all there: the MinGW-w64 cross
# compiler, Wine with its 32-bit loader, and, on a machine whose kernel cannot run 32-bit x86 code
# itself, a user-mode emulator registered for 32-bit programs, with Wine's 64-bit server and loader.
# Needs root (apt-get, binfmt_misc) only when something is missing.
set -euo pipefail

readonly binfmt_dir=/proc/sys/fs/binfmt_misc
readonly emulator=/usr/bin/qemu-i386-static
# Older emulators cannot give Wine the fixed low mappings it asks for (its shared user data page).
readonly emulator_least_major=8
readonly emulator_least_minor=1

say() {
    echo "install-wine-tools: $*"
}

apt_updated=false
apt_install() {
    if ! $apt_updated; then
        apt-get update -qq
        apt_updated=true
    fi
    DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "$@" > /dev/null
}

runs_32_bit() {
    /usr/lib/wine/wine --version > /dev/null 2>&1
}

emulator_is_recent() {
    [ -x "$emulator" ] || return 1
    local version major minor
    version=$("$emulator" --version | awk 'NR == 1 { print $3 }')
    major=${version%%.*}
    minor=${version#*.}
    minor=${minor%%.*}
    [ "$major" -gt "$emulator_least_major" ] ||
        { [ "$major" -eq "$emulator_least_major" ] && [ "$minor" -ge "$emulator_least_minor" ]; }
}

# Every 32-bit x86 executable (ELF class 32, little-endian, machine 3) goes to the emulator; the F flag
# keeps the emulator open so that it also serves programs in other mount namespaces.
register_emulator() {
    if ! [ -e "$binfmt_dir/register" ]; then
        mount -t binfmt_misc binfmt_misc "$binfmt_dir"
    fi
    if [ -e "$binfmt_dir/qemu-i386" ]; then
        echo -1 > "$binfmt_dir/qemu-i386"
    fi
    echo ':qemu-i386:M::\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00:\xff\xff\xff\xff\xff\xfe\xfe\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff:'"$emulator"':F' \
        > "$binfmt_dir/register"
}

# A recent emulator: from the distribution, or on Debian 12 from its backports.
install_emulator() {
    apt_install qemu-user-static
    emulator_is_recent && return
    . /etc/os-release
    if [ "${VERSION_CODENAME:-}" = bookworm ]; then
        say "adding Debian's bookworm-backports for a recent qemu-user-static"
        cat > /etc/apt/sources.list.d/dyx-wine-backports.sources << 'SOURCES'
Types: deb
URIs: http://deb.debian.org/debian
Suites: bookworm-backports
Components: main
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg
SOURCES
        apt-get update -qq
        DEBIAN_FRONTEND=noninteractive apt-get install -y -qq -t bookworm-backports qemu-user-static > /dev/null
    fi
    emulator_is_recent || { say "no qemu-user-static of version $emulator_least_major.$emulator_least_minor or later to be had"; exit 1; }
}

packages=()
command -v i686-w64-mingw32-g++ > /dev/null || packages+=(g++-mingw-w64-i686)
command -v i686-w64-mingw32-objdump > /dev/null || packages+=(binutils-mingw-w64-i686)
{ command -v wine > /dev/null && [ -x /usr/lib/wine/wine ]; } || packages+=(wine wine32:i386)
if [ ${#packages[@]} -gt 0 ]; then
    say "installing ${packages[*]}"
    if ! dpkg --print-foreign-architectures | grep -qx i386; then
        dpkg --add-architecture i386
    fi
    apt_install "${packages[@]}"
fi

if ! runs_32_bit; then
    say "this kernel does not run 32-bit x86 programs; registering a user-mode emulator for them"
    emulator_is_recent || install_emulator
    register_emulator
    # The server and the services of a 64-bit prefix then run natively; only the test host and the
    # driver run under the emulator.
    [ -x /usr/lib/wine/wineserver64 ] || apt_install wine64
    runs_32_bit || { say "32-bit programs still do not run"; exit 1; }
fi
say "ready: $(wine --version)$([ -e "$binfmt_dir/qemu-i386" ] && echo ", 32-bit programs through $("$emulator" --version | head -1)")"
