#include "page_scripts.h"

namespace quorvane {

namespace {

// QTWEBENGINE_6_4_QUIRK fetch-on-custom-scheme: the engine serves our scheme to XMLHttpRequest
// but not to fetch(); a page that reads its log with fetch() gets it through XMLHttpRequest
// instead, from the same router.
constexpr char kFetchThroughXhr[] = R"JS(
(() => {
  const nativeFetch = window.fetch;
  if (!nativeFetch) return;
  window.fetch = function (input, init) {
    let request;
    try { request = new Request(input, init); } catch (e) { return Promise.reject(e); }
    if (new URL(request.url).protocol !== location.protocol)
      return nativeFetch.call(this, input, init);
    return request.arrayBuffer().then(body => new Promise((resolve, reject) => {
      const xhr = new XMLHttpRequest();
      xhr.open(request.method, request.url);
      xhr.responseType = 'arraybuffer';
      request.headers.forEach((value, name) => xhr.setRequestHeader(name, value));
      xhr.onload = () => {
        const headers = new Headers();
        for (const line of xhr.getAllResponseHeaders().trim().split(/[\r\n]+/)) {
          const colon = line.indexOf(':');
          if (colon > 0) headers.append(line.slice(0, colon).trim(), line.slice(colon + 1).trim());
        }
        resolve(new Response(xhr.response, {status: xhr.status || 200, headers}));
      };
      xhr.onerror = () => reject(new TypeError('Failed to fetch'));
      xhr.send(body.byteLength ? body : null);
    }));
  };
})();
)JS";

// A router page has no business with peer-to-peer connections, and WebRTC is the one door the
// engine leaves open to the network: its ICE gathering sends packets to any address a page names
// and looks up any name. So the constructors are gone before the page's first script, in every
// frame of the page's world. Our own world, where only our reading runs, keeps them: no script of
// the page reaches it, and shutting it too gave every document a second world to set up and a
// second watch over every node the page adds: 8 ms of the 135 ms a 64 KiB table took to load.
//
// QTWEBENGINE_6_4_QUIRK user-scripts-skip-empty-frames: the engine runs our scripts in each
// document it loads, but not in the empty document of a frame that a script makes, nor in the
// document a javascript: address writes into it (which keeps the empty document's window). So
// every frame's window is shut by its parent as soon as it can be reached: when the frame element
// hands it out, when the frame's empty document loads, which happens as the element is inserted,
// before the script that inserted it can reach the frame by index, and once that script is done.
constexpr char kNoWebRtc[] = R"JS(
(() => {
  const shut = Symbol();
  const shutWindow = w => {
    try {
      if (!w || w[shut]) return;
      for (const name of Object.getOwnPropertyNames(w)) {
        if (/^(webkit)?RTC/.test(name)) delete w[name];
      }
      Object.defineProperty(w, shut, {value: true});
      guardFrames(w);
    } catch (e) {}  // another origin's window: the engine shows no such frame
  };
  const shutFrames = w => {
    try { for (let i = 0; i < w.length; ++i) shutWindow(w[i]); } catch (e) {}
  };
  const guardFrames = w => {
    for (const type of ['HTMLIFrameElement', 'HTMLFrameElement', 'HTMLObjectElement']) {
      const prototype = w[type] && w[type].prototype;
      for (const key of ['contentWindow', 'contentDocument']) {
        const own = prototype && Object.getOwnPropertyDescriptor(prototype, key);
        if (!own || !own.get) continue;
        const get = own.get;
        Object.defineProperty(prototype, key, {
          configurable: false, enumerable: own.enumerable,
          get() {
            const got = get.call(this);
            shutWindow(key === 'contentWindow' ? got : got && got.defaultView);
            return got;
          }
        });
      }
    }
    w.document.addEventListener('load', () => shutFrames(w), true);
    // A frame whose address is javascript: gets its document in a task of its own; frames added
    // to the page are shut before any such task runs.
    new w.MutationObserver(() => shutFrames(w))
        .observe(w.document, {childList: true, subtree: true});
  };
  shutWindow(globalThis);
})();
)JS";

// The page's scripts may still be at work when the page has loaded: a request they sent may not
// have reached us yet, or a timer set for a moment later may be about to fill the log. Our
// reading (engine_render.cpp) asks with two events, which the watch refuses:
// - 'quorvane-waiting' while a request is under way, or a short timer that was already pending
//   when the reading before asked has still not run: what the page waits on is still to come;
// - 'quorvane-moving' while any short timer is pending: the page may change again, though what
//   it waited on at the reading before has happened, as with a banner redrawn for ever.
constexpr char kSettleWatch[] = R"JS(
(() => {
  let requests = 0;
  let asked = 0;  // readings so far
  const shortMs = 50;
  const send = XMLHttpRequest.prototype.send;
  XMLHttpRequest.prototype.send = function (...args) {
    let ended = false;
    const end = () => { if (!ended) { ended = true; --requests; } };
    ++requests;
    this.addEventListener('loadend', end);
    try { return send.apply(this, args); } catch (e) { end(); throw e; }
  };
  const set = window.setTimeout;
  const clear = window.clearTimeout;
  // A fetch is waited on until what the page does with its answer has had a turn too.
  const fetch = window.fetch;
  if (fetch) {
    window.fetch = function (...args) {
      ++requests;
      const end = () => set.call(window, () => --requests, 0);
      const answer = fetch.apply(this, args);
      answer.then(end, end);
      return answer;
    };
  }
  const short = new Map();  // pending short timer -> the readings before it was set
  window.setTimeout = function (handler, delay, ...args) {
    if (!(Number(delay || 0) <= shortMs)) return set.call(this, handler, delay, ...args);
    const id = set.call(this, function (...got) {
      short.delete(id);
      return typeof handler === 'function' ? handler.apply(this, got) : (0, eval)(String(handler));
    }, delay, ...args);
    short.set(id, asked);
    return id;
  };
  window.clearTimeout = function (id) {
    short.delete(id);
    return clear.call(this, id);
  };
  window.addEventListener('quorvane-waiting', event => {
    const stale = Array.from(short.values()).some(at => at < asked);
    ++asked;
    if (requests > 0 || stale) event.preventDefault();
  });
  window.addEventListener('quorvane-moving', event => { if (short.size) event.preventDefault(); });
})();
)JS";

QWebEngineScript Script(const char* name, const char* source, quint32 world) {
    QWebEngineScript script;
    script.setName(QLatin1String(name));
    script.setSourceCode(QString::fromLatin1(source));
    script.setInjectionPoint(QWebEngineScript::DocumentCreation);
    script.setWorldId(world);
    script.setRunsOnSubFrames(true);
    return script;
}

}  // namespace

QList<QWebEngineScript> PageScripts(bool shutWebRtc) {
    QList<QWebEngineScript> scripts;
    if (shutWebRtc) {
        scripts << Script("no-webrtc", kNoWebRtc, QWebEngineScript::MainWorld);
    }
    scripts << Script("fetch-through-xhr", kFetchThroughXhr, QWebEngineScript::MainWorld);
    QWebEngineScript watch = Script("settle-watch", kSettleWatch, QWebEngineScript::MainWorld);
    watch.setRunsOnSubFrames(false);
    scripts << watch;
    return scripts;
}

}  // namespace quorvane
