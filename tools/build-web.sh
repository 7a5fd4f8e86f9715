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
mkdir -p "$site/icons" "$site/fonts" "$site/help" "$site/bitmaps"
cp build/web-wasm/shell/web/game.js build/web-wasm/shell/web/game.wasm "$site/"
# The page's modules (sw.js is written below), its style and its manifest.
for file in shell/web/site/*.js shell/web/site/page.css shell/web/site/manifest.webmanifest; do
  [ "$(basename "$file")" = sw.js ] || cp "$file" "$site/"
done
cp shell/web/site/help/viewer.html shell/web/site/help/viewer.css shell/web/site/help/viewer.js "$site/help/"
cp resources/help/*.html resources/help/help.css resources/help/contents.hhc resources/help/index.hhk "$site/help/"
for size in 16 32 192 512; do cp "resources/icons/program-$size.png" "$site/icons/"; done
cp resources/icons/program.svg resources/icons/program-maskable-512.png resources/icons/exclamation-32.png "$site/icons/"
# The numbers' and the dialogs' face, the same on every device, cut to what each use needs
# (fontTools' subsetter, pyftsubset); the page's faces as WOFF2 (its Brotli from python3-brotli).
face=/usr/share/fonts/truetype/liberation/LiberationSans-Regular.ttf
# The menus and dialogs: printable Latin-1 and the punctuation of typed text.
pyftsubset "$face" --unicodes=U+0020-007E,U+00A0-00FF,U+2010-2027,U+2030-203A,U+20AC,U+2122 \
  --drop-tables+=FFTM --flavor=woff2 --output-file="$site/fonts/page.woff2"
# What the page shows before its first frame: the menu bar's titles (the menu table's), the
# title and the starting message (the page's).
start_text=$(python3 - resources/resource_tables.cpp shell/web/site/index.html <<'PYTHON'
import html, re, sys
tables = open(sys.argv[1], encoding='utf-8').read()
menu = re.search(r'kMainMenu\[\] = \{(.*?)\};', tables, re.S).group(1)
titles = re.findall(r'\{"([^"]*)",', menu)
page = open(sys.argv[2], encoding='utf-8').read()
shown = [html.unescape(re.search(r'<(?:p|span) id="%s"[^>]*>(.*?)</' % name, page, re.S).group(1))
         for name in ('title', 'starting')]
assert titles and all(shown)
print(''.join(sorted(set(''.join(titles).replace('&', '') + ''.join(shown) + ' '))))
PYTHON
)
pyftsubset "$face" --text="$start_text" --no-hinting --no-glyph-names --name-IDs=1,2 \
  --drop-tables+=FFTM,kern,GPOS,GSUB,GDEF,gasp,DSIG --flavor=woff2 --output-file="$site/fonts/start.woff2"
# The tile numbers are digits: the rasteriser gets those glyphs alone, outlines and metrics as
# the whole face has them (it reads no hinting, kerning or names, so none is kept).
pyftsubset "$face" --text=0123456789 --no-hinting --no-glyph-names \
  --drop-tables+=FFTM,GDEF,GPOS,GSUB,kern,gasp,name,post --output-file="$site/fonts/numbers.ttf"

# The built-in picture, losslessly compressed: the browser decodes it while the module
# compiles. cwebp reads no BMP, so the bitmap goes to it as a PPM.
work=build/web-files
mkdir -p "$work"
python3 - resources/bitmaps/picture.bmp "$work/picture.ppm" <<'PYTHON'
import struct, sys
data = open(sys.argv[1], 'rb').read()
offset, = struct.unpack_from('<I', data, 10)
width, height, _, bits, compression = struct.unpack_from('<iiHHI', data, 18)
assert data[:2] == b'BM' and bits == 24 and compression == 0
stride = (width * 3 + 3) & ~3
rows = []
for y in range(abs(height)):
    at = offset + stride * (height - 1 - y if height > 0 else y)
    row = bytearray(data[at:at + width * 3])
    row[0::3], row[2::3] = row[2::3], row[0::3]
    rows.append(bytes(row))
with open(sys.argv[2], 'wb') as out:
    out.write(b'P6\n%d %d\n255\n' % (width, abs(height)) + b''.join(rows))
PYTHON
cwebp -quiet -lossless -exact -z 9 -metadata none "$work/picture.ppm" -o "$site/bitmaps/picture.webp"

# vendor.txt: each line a file under shell/web/ and where it goes in the site. The page's
# picture worker loads those decoders the first time a picture needs them.
grep -v '^#' shell/web/vendor.txt | while read -r from to; do
  [ -n "$from" ] || continue
  mkdir -p "$site/$(dirname "$to")"
  cp "shell/web/$from" "$site/$to"
done
# Smaller to fetch: each script minified on its own by terser (the program's glue with its own
# names too, all but Module, which the page gives it), the style without its comments.
terser "$site/game.js" --compress --toplevel --mangle reserved=[Module] --output "$work/game.js"
mv "$work/game.js" "$site/game.js"
for file in shell/web/site/*.js; do
  name=$(basename "$file")
  case $name in
    sw.js) continue ;;
    pictures.js|picture_worker.js|start_files.js) terser "$site/$name" --compress --mangle --output "$work/$name" ;;
    *) terser "$site/$name" --module --compress --mangle --output "$work/$name" ;;
  esac
  mv "$work/$name" "$site/$name"
done
python3 - "$site/page.css" <<'PYTHON'
import re, sys
style = open(sys.argv[1], encoding='utf-8').read()
style = re.sub(r'/\*.*?\*/', '', style, flags=re.S)
open(sys.argv[1], 'w', encoding='utf-8').write(re.sub(r'\n\s*', '\n', style).strip() + '\n')
PYTHON

# page.js is a module whose imports are named up front (its static imports and theirs), so
# that they load with it rather than after it. The rest (input, dialogs, files, sound, links)
# is imported once the start's files are in, after the first frame, or when first wanted.
scripts=$(python3 - shell/web/site <<'PYTHON'
import os, re, sys
root = sys.argv[1]
seen, todo = [], ['page.js']
while todo:
    name = todo.pop()
    text = open(os.path.join(root, name), encoding='utf-8').read()
    for found in re.findall(r"^import\s[^;]*?from\s+'\./([\w.]+)'", text, re.M | re.S):
        if found not in seen:
            seen.append(found)
            todo.append(found)
links = ''.join('<link rel="modulepreload" href="%s">' % name for name in sorted(seen))
print('<script type="module" src="page.js"></script>' + links)
PYTHON
)
sed "s|<!--PAGE SCRIPTS-->|$scripts|" shell/web/site/index.html > "$site/index.html"
# What the first frame needs from files this small is written into the page itself, so that
# none of them waits its turn for a connection: the style, the start's face, the title bar's
# icon (whose files stay for the help viewer) and start_files.js, which then starts the
# module's compiling and the picture's decoding while the page is still being parsed.
python3 - "$site" <<'PYTHON'
import base64, os, sys
site = sys.argv[1]
def data(name, kind, keep=False):
    with open(os.path.join(site, name), 'rb') as file:
        encoded = base64.b64encode(file.read()).decode('ascii')
    if not keep:
        os.remove(os.path.join(site, name))
    return 'data:%s;base64,%s' % (kind, encoded)
page = open(os.path.join(site, 'index.html'), encoding='utf-8').read()
style = open(os.path.join(site, 'page.css'), encoding='utf-8').read()
os.remove(os.path.join(site, 'page.css'))
def swap(text, old, new):
    assert text.count(old) == 1, old
    return text.replace(old, new)
style = swap(style, 'url("fonts/start.woff2")', 'url("%s")' % data('fonts/start.woff2', 'font/woff2'))
page = swap(page, '<link rel="preload" href="fonts/start.woff2" as="font" type="font/woff2" crossorigin>\n', '')
page = swap(page, '<link rel="stylesheet" href="page.css">', '<style>\n%s</style>' % style)
icon16, icon32 = (data('icons/program-%d.png' % size, 'image/png', keep=True) for size in (16, 32))
page = swap(page, 'src="icons/program-16.png" srcset="icons/program-16.png 1x, icons/program-32.png 2x"',
            'src="%s" srcset="%s 1x, %s 2x"' % (icon16, icon16, icon32))
page = swap(page, 'href="icons/program-32.png"', 'href="%s"' % icon32)
page = swap(page, 'href="icons/program-16.png"', 'href="%s"' % icon16)
start = open(os.path.join(site, 'start_files.js'), encoding='utf-8').read()
os.remove(os.path.join(site, 'start_files.js'))
assert '</script' not in start.lower()
page = swap(page, '<script src="start_files.js"></script>', '<script>%s</script>' % start.strip())
open(os.path.join(site, 'index.html'), 'w', encoding='utf-8').write(page)
PYTHON

# The service worker keeps every file of this build; a new build is a new version.
files=$(cd "$site" && find . -type f ! -name sw.js | sed 's|^\./||' | LC_ALL=C sort)
version=$(cd "$site" && cat $files | sha256sum | cut -c1-16)
list=$(printf '%s\n' $files | sed "s|.*|'&'|" | paste -sd, -)
sed -e "s|@VERSION@|$version|" -e "s|@FILES@|$list|" shell/web/site/sw.js > "$site/sw.js"
echo "The site is in $site/ (version $version)."
