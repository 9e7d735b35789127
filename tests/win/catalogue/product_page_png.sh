#!/bin/sh
# Renders the product page that win.catalogue had MSXML write (from the
# service's product document and the program's stylesheet) in headless
# Chromium, and saves it to build/screenshots/product_page.png.
#   product_page_png.sh PAGE.html SCREENSHOT_DIR
set -u
page=$1
shots=$2
if [ ! -s "$page" ]; then
    echo "product_page_png: $page is missing: run win.catalogue first" >&2
    exit 1
fi
chromium=$(command -v chromium || command -v chromium-browser || true)
if [ -z "$chromium" ]; then
    echo "product_page_png: chromium is not installed: run scripts/setup.sh" >&2
    exit 77
fi
mkdir -p "$shots"
profile=$(mktemp -d /tmp/varnel-chromium-XXXXXX)
png="$shots/product_page.png"
rm -f "$png"
timeout 90 "$chromium" --headless --no-sandbox --disable-gpu --no-first-run --disable-background-networking \
    --disable-component-update --disable-sync --disable-dev-shm-usage --hide-scrollbars \
    --user-data-dir="$profile" --screenshot="$png" --window-size=520,360 "file://$page" >/dev/null 2>&1
rm -rf "$profile"
size=$(wc -c <"$png" 2>/dev/null || echo 0)
if [ "$size" -lt 5000 ]; then
    echo "product_page_png: $png was not written or looks blank ($size bytes)" >&2
    exit 1
fi
echo "product page rendered to $png ($size bytes)"
