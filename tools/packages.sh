# Installs the Debian 12 packages the project needs, when some are missing.
# Sourced by the set-up commands; needs root (or sudo) only to install.

ROMSCRIBER_PACKAGES=(
  build-essential cmake ninja-build pkg-config
  qt6-base-dev qt6-tools-dev qt6-tools-dev-tools qt6-l10n-tools qt6-translations-l10n
  fonts-dejavu-core fonts-liberation
  libgtest-dev libgmock-dev libbenchmark-dev libcli11-dev
  libtomlplusplus-dev zlib1g-dev libgettextpo-dev gettext
  dpkg-dev help2man file man-db
)

ensure_packages() {
  local missing=()
  local pkg
  for pkg in "${ROMSCRIBER_PACKAGES[@]}" "$@"; do
    dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q "install ok installed" || missing+=("$pkg")
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  echo "Installing: ${missing[*]}"
  local sudo=()
  [ "$(id -u)" -eq 0 ] || sudo=(sudo)
  "${sudo[@]}" apt-get update -qq
  DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
}
