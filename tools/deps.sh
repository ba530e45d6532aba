# Debian packages the build and the tests need; sourced by run.sh and test.sh.
# postgresql: the tests start a server of their own from its programs (no
# service of the machine is used).
packages=(cmake ninja-build g++ pkg-config clang-format libsqlite3-dev libicu-dev libxml2-dev nlohmann-json3-dev sqlite3 libgtest-dev googletest python3
          qt6-base-dev qt6-qpa-plugins fonts-dejavu-core
          libcurl4-openssl-dev python3-aiosmtpd openssl libqt6svg6 desktop-file-utils
          xvfb x11-utils x11-apps netpbm xdotool poppler-utils
          libpq-dev postgresql)

install_missing_packages() {
  local missing=()
  for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  local sudo=""
  [ "$(id -u)" -ne 0 ] && sudo="sudo"
  $sudo apt-get update
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y --no-install-recommends "${missing[@]}"
}
