#!/bin/sh
# Installs the Debian packages the game needs that this machine lacks.
#   tools/install-deps.sh play   - to build and play
#   tools/install-deps.sh test   - to build and run every test (adds the test tools)
set -eu

profile=${1:-play}
packages="g++ cmake make pkg-config libfreetype-dev libfontconfig-dev fonts-liberation
  fonts-dejavu-core libgdk-pixbuf-2.0-dev libwmf-0.2-7-gtk libwxgtk3.2-dev"
if [ "$profile" = test ]; then
  packages="$packages googletest libgtest-dev libgmock-dev libbenchmark-dev imagemagick xvfb xauth xdotool
    x11-utils libfaketime"
fi

missing=""
for package in $packages; do
  if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed"; then
    missing="$missing $package"
  fi
done
[ -z "$missing" ] && exit 0

echo "Installing:$missing"
sudo=""
[ "$(id -u)" -ne 0 ] && sudo="sudo"
$sudo apt-get update
# shellcheck disable=SC2086
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y --no-install-recommends $missing
