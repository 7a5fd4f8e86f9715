#!/bin/sh
# Installs the Debian packages the game needs that this machine lacks.
#   tools/install-deps.sh play   - to build and play
#   tools/install-deps.sh test   - to build and run every test (adds the test tools and,
#                                  since the tests cover it, the Windows and web profiles)
#   tools/install-deps.sh package - to build the Debian package (adds the packaging tools)
#   tools/install-deps.sh bench   - to build and run the benchmarks (adds a peer game to time)
#   tools/install-deps.sh windows - to cross-build the Windows program and run it under Wine
#   tools/install-deps.sh web     - to build the browser program with Emscripten and run its tests
#   tools/install-deps.sh fuzz    - to build the fuzz targets (tests/fuzz/) with clang and libFuzzer
set -eu

profile=${1:-play}
# What the program loads at run time is named here itself, not left to a neighbour's
# Recommends: --no-install-recommends skips those on a fresh machine.
#   libgdk-pixbuf-2.0-0      PNG, GIF, BMP and TIFF loaders, and the loader cache
#   libjpeg62-turbo-dev      JPEG photos (libjpeg-turbo); libstb-dev the Targa decoder's header
#   zlib1g-dev               deflate for the PNG files the tools write (with stb_image_write)
#   libwmf-0.2-7-gtk         the metafile loader; fonts-urw-base35 are the fonts it draws text with
#   fonts-liberation         the dialogs' font and the tile numbers' "Arial"
#   fonts-dejavu-core        the stand-in for every other face
#   shared-mime-info         GTK's file chooser sorts files by type with it
#   xdg-utils                xdg-open, which hands the About box's address to the browser
packages="g++ cmake make pkg-config libfreetype-dev libfontconfig-dev fonts-liberation
  fonts-dejavu-core libgdk-pixbuf-2.0-dev libgdk-pixbuf-2.0-0 libwmf-0.2-7-gtk fonts-urw-base35
  shared-mime-info xdg-utils libjpeg62-turbo-dev libstb-dev zlib1g-dev libcairo2-dev libgtk-3-dev libx11-dev libwxgtk3.2-dev"
# The tests also check the desktop entry and the AppStream metadata with the desktop's own
# validators, and render the scalable icon (librsvg2-common is gdk-pixbuf's SVG loader).
if [ "$profile" = test ]; then
  packages="$packages googletest libgtest-dev libgmock-dev libbenchmark-dev imagemagick xvfb xauth xdotool
    x11-utils libfaketime libxdamage-dev desktop-file-utils appstream librsvg2-common"
fi
# The desktop measuring program also times SGT's Fifteen, started the same way, for comparison.
if [ "$profile" = bench ]; then
  packages="$packages googletest libgtest-dev libgmock-dev libbenchmark-dev imagemagick xvfb xauth xdotool
    x11-utils libfaketime libxdamage-dev sgt-puzzles valgrind"
fi
# The fuzz targets: clang 14, whose libFuzzer and sanitizer runtimes come in libclang-rt-14-dev,
# besides the libraries the readers themselves link; node for the page's picture reader.
fuzz_packages="clang-14 libclang-rt-14-dev nodejs"
if [ "$profile" = fuzz ] || [ "$profile" = test ]; then
  packages="$packages $fuzz_packages"
fi
# cpack finds the package's library dependencies with dpkg-shlibdeps; lintian checks it.
if [ "$profile" = package ]; then
  packages="$packages dpkg-dev lintian"
fi

# The Windows program: MinGW-w64 (the posix threading model), the help compiler, the
# installer maker, stb_image's headers for Targa; Wine and what it loads at run time
# (its fonts, the X extensions its display driver opens), Xvfb, xdotool and ImageMagick
# to run and look at it.
windows_packages="cmake make g++-mingw-w64-x86-64-posix g++-mingw-w64-i686-posix binutils-mingw-w64-x86-64
  binutils-mingw-w64-i686 fp-utils nsis libstb-dev googletest wine wine64 fonts-wine fonts-liberation libxrender1
  libxrandr2 libxi6 libxcursor1 libxfixes3 libxinerama1 libxcomposite1 xvfb xauth xdotool imagemagick"
if [ "$profile" = windows ]; then
  packages="$windows_packages"
elif [ "$profile" = test ]; then
  packages="$packages $windows_packages"
fi

# The browser program: Emscripten and what it runs - python3, clang, lld and llvm 14, binaryen's
# optimiser, node with Debian's acorn for the link - named here, not left to its dependencies
# (its Recommends, d3 and numpy, serve tools the build never runs); GoogleTest's sources, built
# with em++ for the unit tests that run under node; stb_image's headers for Targa;
# fonts-liberation's Liberation Sans, which the site carries for its numbers and dialogs, cut
# to what each needs by fontTools' subsetter (pyftsubset, in fonttools; WOFF2 through
# python3-brotli; python3-munkres named so that apt meets fonttools' "scipy or munkres" with the
# small one); webp's cwebp, which compresses the built-in picture losslessly; terser, which
# minifies the page's scripts. The tests also drive the page in Chromium, whose fonts are a
# Recommends of chromium-common.
web_packages="cmake make python3 emscripten clang-14 lld-14 llvm-14 binaryen nodejs node-acorn googletest
  libstb-dev fonts-liberation fonttools python3-fonttools python3-brotli python3-munkres webp terser"
if [ "$profile" = web ]; then
  packages="$web_packages"
elif [ "$profile" = test ]; then
  packages="$packages $web_packages chromium fonts-liberation fonts-dejavu-core"
fi

# npm: Debian 12's node (18) leaves it to a package of its own, while a node from elsewhere
# (NodeSource's 20, say) brings its own npm and conflicts with Debian's. So it is asked for by
# whether the command is there, not by the package: asking apt for it beside such a node would
# take that node away.
case $profile in
  web|test|fuzz)
    command -v npm >/dev/null 2>&1 || packages="$packages npm" ;;
esac

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
