# Debian packages for playing and for testing, and a quiet installer for them.
game_packages=(cmake g++ make pkg-config liballegro4-dev libxext-dev libxrandr-dev libxinerama-dev libasound2-dev freepats
               libsqlite3-dev libpq-dev libssl-dev nlohmann-json3-dev libcurl4-openssl-dev)
test_packages=(libgtest-dev libcpp-httplib-dev procps xvfb xdotool imagemagick x11-utils x11-xserver-utils openbox icewm wmctrl xserver-xephyr sox
               clang libclang-rt-14-dev appstream desktop-file-utils lintian dpkg-dev man-db
               curl postgresql chromium socat openssl sqlite3 jq git nginx debootstrap emscripten nodejs)

# install_packages <log> <package...>: installs the missing ones, in one line of output.
install_packages() {
    local log=$1; shift
    local missing=()
    for p in "$@"; do
        dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    local sudo=""
    [ "$(id -u)" -eq 0 ] || sudo=sudo
    # sudo may ask for a password, so it asks before the phase line starts.
    [ -z "$sudo" ] || sudo -v
    phase "Installing ${#missing[@]} Debian packages (a few minutes on a fresh machine)" "$log" \
        apt_install $sudo "${missing[@]}"
}

apt_install() {
    local sudo=()
    [ "$1" != sudo ] || { sudo=(sudo); shift; }
    echo "Installing: $*"
    "${sudo[@]}" apt-get update -q &&
        "${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends "$@"
}
