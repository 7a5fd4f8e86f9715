#!/bin/sh
# Builds the game for the browser: a static site in build/web/ (page, script, wasm, help
# pages, icons, manifest, service worker) that any static web server can serve, e.g.
#   python3 -m http.server --directory build/web --bind 127.0.0.1 8000
set -eu
cd "$(dirname "$0")/.."
tools/install-deps.sh web

# Debian's node does not search Debian's node modules, which emcc's linker needs.
export NODE_PATH=/usr/share/nodejs
emcmake cmake -S . -B build/web-wasm -DCMAKE_BUILD_TYPE=Release -DPUZZLE_BUILD_TESTS=OFF -DPUZZLE_BUILD_BENCH=OFF
cmake --build build/web-wasm -j"$(nproc)"

# The decoders the page takes from npm (TIFF and metafiles), pinned in the lock file.
(cd shell/web && npm ci --no-audit --no-fund --ignore-scripts >/dev/null)

site=build/web
rm -rf "$site"
mkdir -p "$site/icons" "$site/fonts" "$site/help"
cp build/web-wasm/shell/web/game.js build/web-wasm/shell/web/game.wasm "$site/"
# The page's modules (sw.js is written below), its style and its manifest.
for file in shell/web/site/*.js shell/web/site/page.css shell/web/site/manifest.webmanifest; do
  [ "$(basename "$file")" = sw.js ] || cp "$file" "$site/"
done
cp shell/web/site/help/viewer.html shell/web/site/help/viewer.css shell/web/site/help/viewer.js "$site/help/"
cp resources/help/*.html resources/help/help.css resources/help/contents.hhc resources/help/index.hhk "$site/help/"
for size in 16 32 192 512; do cp "resources/icons/program-$size.png" "$site/icons/"; done
cp resources/icons/program.svg resources/icons/exclamation-32.png "$site/icons/"
# The numbers' and the dialogs' face, the same on every device.
cp /usr/share/fonts/truetype/liberation/LiberationSans-Regular.ttf "$site/fonts/"

# vendor.txt: each line a file under shell/web/ and where it goes in the site. The page's
# picture worker loads those decoders the first time a picture needs them.
grep -v '^#' shell/web/vendor.txt | while read -r from to; do
  [ -n "$from" ] || continue
  mkdir -p "$site/$(dirname "$to")"
  cp "shell/web/$from" "$site/$to"
done
# page.js is a module that imports the others: they are named up front so that they load
# with it rather than after it. The picture worker and the reader it loads come when a
# picture is first read.
scripts="<script type=\"module\" src=\"page.js\"></script>"
for file in shell/web/site/*.js; do
  case $(basename "$file") in page.js|pictures.js|picture_worker.js|sw.js) ;; *) scripts="$scripts<link rel=\"modulepreload\" href=\"$(basename "$file")\">" ;; esac
done
sed "s|<!--PAGE SCRIPTS-->|$scripts|" shell/web/site/index.html > "$site/index.html"

# The service worker keeps every file of this build; a new build is a new version.
files=$(cd "$site" && find . -type f ! -name sw.js | sed 's|^\./||' | LC_ALL=C sort)
version=$(cd "$site" && cat $files | sha256sum | cut -c1-16)
list=$(printf '%s\n' $files | sed "s|.*|'&'|" | paste -sd, -)
sed -e "s|@VERSION@|$version|" -e "s|@FILES@|$list|" shell/web/site/sw.js > "$site/sw.js"
echo "The site is in $site/ (version $version)."
