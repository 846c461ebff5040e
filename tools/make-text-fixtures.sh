#!/usr/bin/env bash
# Regenerates the expected body texts of the page-text fixtures from a real browser, so that the
# tests compare our rendering of a page with what Chromium's innerText gives for the same bytes.
# Needs Debian's chromium and python3; the build and the tests never run it.
#
#   tools/make-text-fixtures.sh [fixture-dir]      (default: tests/retrieval/fixtures/page-text)
#
# For each NAME.html it writes NAME.txt: document.body.innerText of the page as Chromium decodes
# and renders it, UTF-8 with LF line ends and no line end added at the end. The page is served
# over HTTP on the loopback address with the Content-Type of NAME.content-type when that file
# exists (plain "text/html" otherwise), so that header charsets take part.
#
# Our reader deliberately includes a textarea's text, as preformatted text on lines of its own;
# Chromium leaves it out. To record the text we expect, every textarea of the page is replaced
# by a <pre> holding the same text before innerText is read.
set -euo pipefail

here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
fixtures="$(cd "${1:-$here/../tests/retrieval/fixtures/page-text}" && pwd)"
work="$(mktemp -d)"
server_pid=""
cleanup() {
    if [[ -n "$server_pid" ]]; then kill "$server_pid" 2>/dev/null || true; fi
    rm -rf "$work"
}
trap cleanup EXIT

cat >"$work/harness.html" <<'HTML'
<!DOCTYPE html>
<html><head></head><body>
<iframe id="page" style="width:1000px;height:700px;border:0"></iframe>
<script>
const frame = document.getElementById('page');
frame.onload = () => {
  const doc = frame.contentDocument;
  for (const area of Array.from(doc.querySelectorAll('textarea'))) {
    const pre = doc.createElement('pre');
    pre.textContent = area.value;
    pre.hidden = area.hidden;
    area.replaceWith(pre);
  }
  const text = doc.body ? doc.body.innerText : '';
  const bytes = new TextEncoder().encode(text);
  let binary = '';
  for (const b of bytes) binary += String.fromCharCode(b);
  const out = document.createElement('pre');
  out.id = 'result';
  out.textContent = 'BEGIN' + btoa(binary) + 'END';
  document.body.appendChild(out);
};
frame.src = '/page/' + encodeURIComponent(new URLSearchParams(location.search).get('name'));
</script>
</body></html>
HTML

cat >"$work/serve.py" <<'PY'
import http.server, os, sys, urllib.parse

fixtures, harness = sys.argv[1], sys.argv[2]

class Handler(http.server.BaseHTTPRequestHandler):
    def do_GET(self):
        path = urllib.parse.urlparse(self.path).path
        if path == '/harness.html':
            # An unlabelled page in a frame takes the encoding of the page around it, so the
            # harness is windows-1252, the default that a browser gives unlabelled pages.
            body, ctype = open(harness, 'rb').read(), 'text/html; charset=windows-1252'
        elif path.startswith('/page/'):
            name = os.path.basename(urllib.parse.unquote(path[len('/page/'):]))
            file = os.path.join(fixtures, name)
            if not os.path.isfile(file):
                self.send_error(404)
                return
            body = open(file, 'rb').read()
            sidecar = file[:-len('.html')] + '.content-type'
            ctype = open(sidecar).read().strip() if os.path.isfile(sidecar) else 'text/html'
        else:
            self.send_error(404)
            return
        self.send_response(200)
        self.send_header('Content-Type', ctype)
        self.send_header('Content-Length', str(len(body)))
        self.end_headers()
        self.wfile.write(body)

    def log_message(self, *args):
        pass

server = http.server.HTTPServer(('127.0.0.1', 0), Handler)
print(server.server_address[1], flush=True)
server.serve_forever()
PY

python3 "$work/serve.py" "$fixtures" "$work/harness.html" >"$work/port" &
server_pid=$!
for _ in $(seq 50); do [[ -s "$work/port" ]] && break; sleep 0.1; done
port="$(cat "$work/port")"

for page in "$fixtures"/*.html; do
    name="$(basename "$page")"
    profile="$(mktemp -d "$work/profile.XXXXXX")"
    dom="$(chromium --headless --no-sandbox --disable-gpu --disable-quic --no-first-run \
        --disable-background-networking --disable-component-update --disable-sync \
        --lang=en-US --user-data-dir="$profile" --virtual-time-budget=5000 \
        --dump-dom "http://127.0.0.1:$port/harness.html?name=$name" 2>/dev/null)"
    encoded="$(sed -n 's/.*BEGIN\([A-Za-z0-9+\/=]*\)END.*/\1/p' <<<"$dom")"
    if ! grep -q 'BEGIN' <<<"$dom"; then
        echo "no result for $name" >&2
        exit 1
    fi
    base64 -d <<<"$encoded" >"${page%.html}.txt"
    echo "wrote ${page%.html}.txt"
done
