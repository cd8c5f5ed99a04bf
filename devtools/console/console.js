// Request console of the dev device: lists the routes of /catalogue.json,
// sends a request to /cgi-bin/nvrweb.cgi/<route> with the browser's cookies
// and shows the reply and the daemon messages it caused (the simulator's
// message log, served read-only at /sim.jsonl).
'use strict';
(() => {
  const CGI = '/cgi-bin/nvrweb.cgi';
  const SIM_LOG = '/sim.jsonl';
  const LOGIN_ROUTE = '/1000';
  const LOGOUT_ROUTE = '/1014';
  // Placeholder of each key type in a request template.
  const PLACEHOLDER = { int: '0', double: '0.0', string: '""', bool: 'false', array: '[]', object: '{}' };

  const $ = (id) => document.getElementById(id);
  const state = { routes: [], current: null, busy: false };

  // Builds an element: el('span', {class: 'x'}, 'text', child...).
  function el(tag, attrs, ...children) {
    const node = document.createElement(tag);
    for (const [k, v] of Object.entries(attrs || {})) {
      if (v === true) node.setAttribute(k, '');
      else if (v !== false && v != null) node.setAttribute(k, v);
    }
    for (const c of children) if (c != null) node.append(c);
    return node;
  }

  // ---- Catalogue and route list --------------------------------------------------------

  async function loadCatalogue() {
    try {
      const resp = await fetch('/catalogue.json', { cache: 'no-store' });
      if (!resp.ok) throw new Error(`HTTP ${resp.status}`);
      const cat = await resp.json();
      if (!cat || !Array.isArray(cat.routes)) throw new Error('no "routes" list');
      state.routes = cat.routes.filter((r) => r && typeof r.route === 'string');
    } catch (e) {
      $('route-count').textContent = `No route catalogue (${e.message}): scripts/run-dev.sh writes /catalogue.json.`;
      return;
    }
    renderRoutes();
    const wanted = decodeURIComponent(location.hash.slice(1));
    const route = state.routes.find((r) => r.route === wanted);
    if (route) selectRoute(route);
  }

  // Every word of the filter must be part of the route code, handler,
  // module or one of the key names.
  function matches(route, words) {
    const hay = [route.route, route.handler, route.module, ...(route.keys || []).map((k) => k.key)]
      .filter((s) => typeof s === 'string')
      .join(' ')
      .toLowerCase();
    return words.every((w) => hay.includes(w));
  }

  function renderRoutes() {
    const words = $('filter').value.toLowerCase().split(/\s+/).filter(Boolean);
    const groups = new Map();
    for (const r of state.routes) {
      if (!matches(r, words)) continue;
      const name = r.module || '(no module)';
      if (!groups.has(name)) groups.set(name, []);
      groups.get(name).push(r);
    }
    const list = $('route-list');
    list.replaceChildren();
    let shown = 0;
    for (const [module, routes] of groups) {
      shown += routes.length;
      const items = routes.map((r) => {
        const button = el('button', { type: 'button', class: 'route', 'data-route': r.route, title: r.handler },
          el('code', {}, r.route), el('span', { class: 'handler' }, r.handler || ''),
          accessBadge(r.access), r.upload ? el('span', { class: 'badge upload' }, 'upload') : null);
        if (state.current === r) button.classList.add('selected');
        button.addEventListener('click', () => selectRoute(r));
        return button;
      });
      list.append(el('details', { open: true, class: 'module', 'data-module': module },
        el('summary', {}, module, el('span', { class: 'muted' }, ` ${routes.length}`)), ...items));
    }
    $('route-count').textContent = `${shown} of ${state.routes.length} routes`;
  }

  function accessBadge(access) {
    return access ? el('span', { class: `badge access-${access}` }, access) : null;
  }

  // ---- One route: its keys and the request template ------------------------------------

  function template(route) {
    const keys = Array.isArray(route.keys) ? route.keys : [];
    if (keys.length === 0) return '{}';
    const lines = keys.map((k) => `  ${JSON.stringify(k.key)}: ${PLACEHOLDER[k.type] || 'null'}`);
    return `{\n${lines.join(',\n')}\n}`;
  }

  function selectRoute(route) {
    state.current = route;
    for (const b of document.querySelectorAll('button.route'))
      b.classList.toggle('selected', b.dataset.route === route.route);
    history.replaceState(null, '', `#${route.route}`);

    const keys = Array.isArray(route.keys) ? route.keys : null;
    const info = $('route-info');
    info.className = '';
    info.replaceChildren(
      el('h2', {}, el('code', {}, route.route), ' ', route.handler || ''),
      el('p', {}, `module ${route.module || '?'} · access `, accessBadge(route.access) || '?',
        ' · ', route.upload ? el('span', { class: 'badge upload' }, 'upload') : 'no upload'),
      keys
        ? el('table', { class: 'keys' },
          el('thead', {}, el('tr', {}, el('th', {}, 'key'), el('th', {}, 'type'))),
          el('tbody', {}, ...keys.map((k) => el('tr', {}, el('td', {}, el('code', {}, k.key)), el('td', {}, k.type)))))
        : el('p', { class: 'muted' }, 'The handler declares no key table: write the request text by hand.'));

    $('request-text').value = template(route);
    $('method').value = 'POST';
    $('file-row').hidden = !route.upload;
    $('file').value = '';
    $('send').disabled = false;
    updateRequestLine();
  }

  // ---- Sending --------------------------------------------------------------------------

  // The request text in a query string: JSON compacted, then escaped the way
  // the device's pages do (the CGI takes the JSON punctuation back).
  function queryOf(text) {
    let t = text.trim();
    try {
      t = JSON.stringify(JSON.parse(t));
    } catch (_) {
      // not JSON: sent as written
    }
    return t ? `?${encodeURI(t).replace(/#/g, '%23')}` : '';
  }

  function buildRequest() {
    const route = state.current;
    const text = $('request-text').value;
    const file = route.upload ? $('file').files[0] : null;
    if (file) {
      const form = new FormData();
      form.append('file', file, file.name);
      return { url: CGI + route.route + queryOf(text), init: { method: 'POST', body: form },
        type: 'multipart/form-data' };
    }
    if ($('method').value === 'GET') return { url: CGI + route.route + queryOf(text), init: { method: 'GET' } };
    const type = $('body-type').value === 'form' ? 'application/x-www-form-urlencoded' : 'application/json';
    return { url: CGI + route.route, init: { method: 'POST', body: text, headers: { 'Content-Type': type } }, type };
  }

  function updateRequestLine() {
    if (!state.current) return;
    const req = buildRequest();
    $('request-line').textContent = `${req.init.method} ${req.url}${req.type ? ` (${req.type})` : ''}`;
  }

  async function send(event) {
    event.preventDefault();
    if (!state.current || state.busy) return;
    state.busy = true;
    $('send').disabled = true;
    const route = state.current;
    const req = buildRequest();
    req.init.credentials = 'same-origin';
    req.init.cache = 'no-store';
    $('reply-status').textContent = 'sending…';
    $('reply-status').className = 'status';
    try {
      const logStart = await logSize();
      const started = performance.now();
      let resp;
      let body;
      try {
        resp = await fetch(req.url, req.init);
        body = await resp.text();
      } catch (e) {
        showFailure(`request failed: ${e.message}`);
        return;
      }
      showReply(resp, body, performance.now() - started);
      followSession(route, resp, body);
      showMessages(await messagesSince(logStart));
    } finally {
      state.busy = false;
      $('send').disabled = false;
      document.body.dataset.sent = String(Number(document.body.dataset.sent || 0) + 1);
    }
  }

  function showFailure(text) {
    $('reply-status').textContent = text;
    $('reply-status').className = 'status error';
    delete $('reply-status').dataset.code;
    $('reply-headers').textContent = '';
    $('reply-body').textContent = '';
  }

  function showReply(resp, body, ms) {
    const status = $('reply-status');
    status.textContent = `${resp.status} ${resp.statusText} · ${Math.round(ms)} ms · ${new Blob([body]).size} bytes`;
    status.className = `status ${resp.ok ? 'ok' : 'error'}`;
    status.dataset.code = String(resp.status);
    const headers = [];
    resp.headers.forEach((value, name) => headers.push(`${name}: ${value}`));
    $('reply-headers').textContent = headers.join('\n');
    let shown = body;
    try {
      shown = JSON.stringify(JSON.parse(body), null, 2);
    } catch (_) {
      // not JSON: shown as it came
    }
    $('reply-body').textContent = shown;
  }

  // The log-in answers the session id in its body: the following requests
  // carry it as the "sessionId" cookie. The log-out ends it.
  function followSession(route, resp, body) {
    if (!resp.ok) return;
    if (route.route === LOGIN_ROUTE) {
      let reply = null;
      try {
        reply = JSON.parse(body);
      } catch (_) {
        return;
      }
      const id = reply && reply.sessionId;
      if ((typeof id === 'string' || typeof id === 'number') && /^[0-9A-Za-z]+$/.test(String(id)))
        document.cookie = `sessionId=${id}; path=/`;
    } else if (route.route === LOGOUT_ROUTE) {
      document.cookie = 'sessionId=; path=/; max-age=0';
    }
    showSession();
  }

  function showSession() {
    const m = document.cookie.match(/(?:^|;\s*)sessionId=([^;]*)/);
    $('session').textContent = m && m[1] ? `session ${m[1]}` : 'no session';
    $('session').classList.toggle('active', Boolean(m && m[1]));
  }

  // ---- The simulator's message log ------------------------------------------------------

  // Length of the log in bytes; 0 when there is none (no simulator running).
  async function logSize() {
    try {
      const resp = await fetch(SIM_LOG, { method: 'HEAD', cache: 'no-store' });
      return resp.ok ? Number(resp.headers.get('Content-Length') || 0) : 0;
    } catch (_) {
      return 0;
    }
  }

  const sleep = (ms) => new Promise((done) => setTimeout(done, ms));

  // The log lines written since `start`. A notice to the daemon may reach
  // the log just after the reply: wait until the log stops growing.
  async function messagesSince(start) {
    let size = await logSize();
    for (let waited = 0, still = 0; waited < 2000 && still < 2; waited += 100) {
      await sleep(100);
      const now = await logSize();
      still = now === size ? still + 1 : 0;
      size = now;
    }
    if (size < start) start = 0; // the simulator started a new log
    if (size === start) return [];
    let bytes;
    try {
      const resp = await fetch(SIM_LOG, { cache: 'no-store', headers: { Range: `bytes=${start}-${size - 1}` } });
      if (!resp.ok) return [];
      bytes = new Uint8Array(await resp.arrayBuffer());
      if (resp.status === 200) bytes = bytes.subarray(start, size); // the server ignored the range
    } catch (_) {
      return [];
    }
    return new TextDecoder().decode(bytes).split('\n').filter((l) => l.trim()).map((line) => {
      try {
        return JSON.parse(line);
      } catch (_) {
        return { unreadable: line };
      }
    });
  }

  // Hex and text of a payload, 16 bytes a row; a row repeating the one
  // before it is shown as "*" (records are mostly zeros).
  function payloadView(hex) {
    const bytes = (hex.match(/[0-9a-fA-F]{2}/g) || []).map((h) => parseInt(h, 16));
    const rows = [];
    let previous = null;
    for (let i = 0; i < bytes.length; i += 16) {
      const chunk = bytes.slice(i, i + 16);
      const hexPart = chunk.map((b) => b.toString(16).padStart(2, '0')).join(' ');
      if (hexPart === previous && i + 16 < bytes.length) {
        if (rows[rows.length - 1] !== '*') rows.push('*');
        continue;
      }
      previous = hexPart;
      const text = chunk.map((b) => (b >= 32 && b < 127 ? String.fromCharCode(b) : '.')).join('');
      rows.push(`${i.toString(16).padStart(4, '0')}  ${hexPart.padEnd(47)}  ${text}`);
    }
    // The texts in it: runs of 3 or more printable characters.
    const texts = (bytes.map((b) => String.fromCharCode(b)).join("").match(/[\x20-\x7e]{3,}/g) || []).slice(0, 4);
    const summary = [`${bytes.length} bytes`, ...texts.map((t) => JSON.stringify(t.slice(0, 40)))].join(' · ');
    return { summary, dump: rows.join('\n'), empty: bytes.length === 0 };
  }

  const SHOWN_FIELDS = new Set(['code', 'seq', 'length', 'payload_hex', 'direction', 'kind']);

  function showMessages(messages) {
    const body = $('daemon-messages').tBodies[0];
    body.replaceChildren();
    $('daemon-messages').hidden = messages.length === 0;
    $('daemon-count').textContent = messages.length
      ? `${messages.length} message${messages.length > 1 ? 's' : ''} to the daemon`
      : 'none: the request did not reach the daemon';
    messages.forEach((m, i) => {
      const extra = Object.entries(m).filter(([k]) => !SHOWN_FIELDS.has(k))
        .map(([k, v]) => `${k}: ${typeof v === 'string' ? v : JSON.stringify(v)}`);
      const payload = payloadView(typeof m.payload_hex === 'string' ? m.payload_hex : '');
      // The dump opens in a row of its own, as wide as the table.
      const dumpRow = el('tr', { class: 'dump', hidden: true }, el('td', { colspan: '6' }, el('pre', {}, payload.dump)));
      let cell = el('span', { class: 'muted' }, 'empty');
      if (!payload.empty) {
        cell = el('details', {}, el('summary', {}, payload.summary));
        cell.addEventListener('toggle', () => { dumpRow.hidden = !cell.open; });
      }
      body.append(el('tr', { 'data-code': m.code != null ? String(m.code) : '' },
        el('td', {}, String(i + 1)),
        el('td', {}, el('code', {}, m.code != null ? String(m.code) : '?')),
        el('td', {}, m.direction || m.kind || 'to daemon'),
        el('td', {}, m.seq != null ? String(m.seq) : ''),
        el('td', {}, m.length != null ? `${m.length} B` : ''),
        el('td', {}, cell, extra.length ? el('div', { class: 'muted' }, extra.join(' · ')) : null)), dumpRow);
    });
  }

  // ---- Log-in helper --------------------------------------------------------------------

  // MD5 of a text's UTF-8 bytes, as lower-case hex: the log-in sends the
  // password's digest.
  function md5(text) {
    const bytes = new TextEncoder().encode(text);
    const blocks = ((bytes.length + 8) >>> 6) + 1;
    const w = new Uint32Array(blocks * 16);
    bytes.forEach((b, i) => { w[i >> 2] |= b << ((i % 4) * 8); });
    w[bytes.length >> 2] |= 0x80 << ((bytes.length % 4) * 8);
    w[blocks * 16 - 2] = bytes.length * 8;
    const S = [7, 12, 17, 22, 5, 9, 14, 20, 4, 11, 16, 23, 6, 10, 15, 21];
    const K = Array.from({ length: 64 }, (_, i) => Math.floor(Math.abs(Math.sin(i + 1)) * 2 ** 32) | 0);
    const h = [0x67452301, 0xefcdab89, 0x98badcfe, 0x10325476];
    for (let at = 0; at < w.length; at += 16) {
      let [a, b, c, d] = h;
      for (let i = 0; i < 64; i++) {
        const round = i >> 4;
        const f = [(b & c) | (~b & d), (d & b) | (~d & c), b ^ c ^ d, c ^ (b | ~d)][round];
        const g = [i, 5 * i + 1, 3 * i + 5, 7 * i][round] % 16;
        const s = S[round * 4 + (i % 4)];
        const x = (a + f + K[i] + w[at + g]) | 0;
        [a, d, c] = [d, c, b];
        b = (b + ((x << s) | (x >>> (32 - s)))) | 0;
      }
      h[0] = (h[0] + a) | 0; h[1] = (h[1] + b) | 0; h[2] = (h[2] + c) | 0; h[3] = (h[3] + d) | 0;
    }
    return h.map((v) => [0, 8, 16, 24].map((sh) => ((v >>> sh) & 0xff).toString(16).padStart(2, '0')).join(''))
      .join('');
  }

  // Fills the log-in route's request with the user and the password's
  // digest and sends it like any other request.
  function logIn(event) {
    event.preventDefault();
    const route = state.routes.find((r) => r.route === LOGIN_ROUTE);
    if (!route) return;
    selectRoute(route);
    $('request-text').value = JSON.stringify(
      { userName: $('login-user').value, md5: md5($('login-password').value) }, null, 2);
    updateRequestLine();
    $('request-form').requestSubmit();
  }

  // ---- Wiring ---------------------------------------------------------------------------

  $('filter').addEventListener('input', renderRoutes);
  $('request-form').addEventListener('submit', send);
  $('login').addEventListener('submit', logIn);
  for (const id of ['method', 'body-type', 'request-text', 'file'])
    $(id).addEventListener(id === 'request-text' ? 'input' : 'change', updateRequestLine);
  window.nvrConsole = { md5 }; // for the browser test and the developer's own console
  showSession();
  loadCatalogue();
})();
