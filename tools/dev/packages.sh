# Debian packages for playing and for testing, and a quiet installer for them.
game_packages=(cmake g++ make pkg-config liballegro4-dev libxrandr-dev freepats)
test_packages=(libgtest-dev procps xvfb xdotool imagemagick x11-utils x11-xserver-utils openbox wmctrl sox clang libclang-rt-14-dev)

install_packages() {
    local missing=()
    for p in "$@"; do
        dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    local sudo=""
    [ "$(id -u)" -eq 0 ] || sudo=sudo
    echo "Installing: ${missing[*]}"
    $sudo apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
}
