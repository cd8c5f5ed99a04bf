#!/usr/bin/env python3
"""The request console in a real browser.

Starts a dev device the way scripts/run-dev.sh does (its own device root and
port, the daemon simulator with its message log, lighttpd with the
configuration of scripts/lighttpd-conf.sh), opens the console in headless
Chromium and uses it as a person would: types a filter, clicks the route,
writes the request, clicks Send. Each row of STEPS is one such request with
what the reply panel and the daemon-messages panel must then show; the
messages shown are also compared with the lines the simulator logged.

The browser is driven over the DevTools protocol on a pipe
(--remote-debugging-pipe: commands on fd 3, answers and events on fd 4, each
message a JSON text ended by a NUL byte). Screenshots are kept in
BUILD_DIR/artifacts/.

Usage: tests/browser/console_test.py BUILD_DIR
Exit code 77 (skipped) when chromium or lighttpd is not installed.
"""
import base64
import collections
import fcntl
import hashlib
import json
import os
import select
import shutil
import socket
import subprocess
import sys
import tempfile
import time

SKIPPED = 77
ADMIN_MD5 = "21232f297a57a5a743894a0e4a801fc3"  # md5("admin")

Step = collections.namedtuple("Step", "filter route method body request upload reply codes")

# One request through the console per row: the filter typed, the route
# clicked, the method and body chosen, the request text written, the file
# chosen (a name, for upload routes), then the texts the reply shown must
# hold and the daemon message codes the panel must list, in order ([] when
# the request must not reach the daemon).
STEPS = [
    # The log-in answers the session id in its body; the daemon gets the
    # operation-log record of the log-in.
    Step("user", "/1000", "POST", "json", json.dumps({"userName": "admin", "md5": ADMIN_MD5}, indent=2), None,
         ['"sessionId"', '"userName": "admin"'], [3485]),
    # The user list is read from the settings: nothing goes to the daemon.
    Step("user", "/6070", "POST", "json", "{}", None, ['"name": "admin"'], []),
    # The camera list is the daemon's: one request, its answer shown.
    Step("ipc_list", "/2001", "GET", "json", "{}", None, ['"IPC"'], [3201]),
    # The request text in a query string and as a form body.
    Step("6010", "/6010", "GET", "json", '{"chnid": 5}', None, ['"chnid": 5'], []),
    Step("6010", "/6010", "POST", "form", '{"chnid":7}', None, ['"chnid": 7'], []),
    # An uploaded sound: stored under its name, which the reply encodes.
    Step("audio", "/6321", "POST", "json", "", "ding.wav", ["CGI OK", "ZGluZy53YXY"], []),
]
# The screenshot shown in the README: the log-in.
SHOWN_STEP = 0

# What the dev device's web server answers outside the CGI: the console's
# files, the generated catalogue and reference page, and the simulator's log
# (read-only); the device root stays private.
#   method, path, status, content type (its start)
SERVED = [
    ("GET", "/", 200, "text/html"),
    ("GET", "/index.html", 200, "text/html"),
    ("GET", "/console.js", 200, "text/javascript"),
    ("GET", "/console.css", 200, "text/css"),
    ("GET", "/catalogue.json", 200, "application/json"),
    ("GET", "/routes.html", 200, "text/html"),
    ("GET", "/sim.jsonl", 200, "text/plain"),
    ("HEAD", "/sim.jsonl", 200, "text/plain"),
    ("POST", "/sim.jsonl", 403, None),
    ("PUT", "/sim.jsonl", 403, None),
    ("POST", "/catalogue.json", 403, None),
    ("GET", "/sim.jsonl.1", 404, None),
    ("GET", "/var/log/sim.jsonl", 404, None),
    ("GET", "/lighttpd.conf", 404, None),
    ("GET", "/mnt/nand/app/qxdb.db", 404, None),
    ("GET", "/console/index.html", 404, None),
    ("GET", "/../lighttpd.conf", 404, None),
    ("GET", "/%2e%2e/mnt/nand/app/qxdb.db", 404, None),
]


class Failure(Exception):
    pass


def find_program(name, *fallbacks):
    found = shutil.which(name)
    if found:
        return found
    for path in fallbacks:
        if os.access(path, os.X_OK):
            return path
    return None


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def wait_until(check, what, timeout=10.0, interval=0.05):
    deadline = time.monotonic() + timeout
    while True:
        value = check()
        if value:
            return value
        if time.monotonic() > deadline:
            raise Failure("timed out waiting for " + what)
        time.sleep(interval)


class DevDevice:
    """A device root with settings, the simulator and lighttpd."""

    def __init__(self, source, build, lighttpd, work):
        self.root = os.path.join(work, "root")
        self.log = os.path.join(self.root, "var", "log", "sim.jsonl")
        self.port = free_port()
        self.url = "http://127.0.0.1:%d/" % self.port
        self.procs = []
        for d in ("tmp", "mnt/nand/app", "var/run", "var/log", "opt/app/www"):
            os.makedirs(os.path.join(self.root, d), exist_ok=True)
        env = dict(os.environ, NVRWEB_ROOT=self.root)
        env.pop("GATEWAY_INTERFACE", None)
        settings = os.path.join(build, "nvrweb-settings")
        for args in (["init"], ["param", "set", "session_check", "2"], ["user", "add", "admin", "admin", "0"]):
            subprocess.run([settings] + args, env=env, check=True, stdout=subprocess.DEVNULL)
        cgi = os.path.join(build, "nvrweb.cgi")
        if subprocess.run([os.path.join(source, "scripts", "console-files.sh"), self.root, cgi], env=env).returncode:
            raise Failure("nvrweb.cgi printed no route catalogue or reference page")
        conf = os.path.join(self.root, "lighttpd.conf")
        with open(conf, "w") as f:
            subprocess.run([os.path.join(source, "scripts", "lighttpd-conf.sh"), self.root, str(self.port), cgi],
                           env=env, check=True, stdout=f)
        out = open(os.path.join(work, "servers.log"), "w")
        self.procs.append(subprocess.Popen([os.path.join(build, "nvrweb-sim"), "--log", self.log],
                                           env=env, stdout=out, stderr=out))
        self.procs.append(subprocess.Popen([lighttpd, "-D", "-f", conf], env=env, stdout=out, stderr=out))
        socket_path = os.path.join(self.root, "var", "run", "qxsocket")
        wait_until(lambda: os.path.exists(socket_path) and self.listening(), "the simulator and lighttpd")

    def listening(self):
        try:
            with socket.create_connection(("127.0.0.1", self.port), timeout=0.2):
                return True
        except OSError:
            return False

    def log_lines(self):
        with open(self.log) as f:
            return [json.loads(line) for line in f if line.strip()]

    def stop(self):
        for p in reversed(self.procs):
            p.terminate()
        for p in self.procs:
            try:
                p.wait(timeout=5)
            except subprocess.TimeoutExpired:
                p.kill()


def high_fd(fd):
    """The descriptor moved above 10, so that neither end lands on 3 or 4."""
    moved = fcntl.fcntl(fd, fcntl.F_DUPFD_CLOEXEC, 10)
    os.close(fd)
    return moved


class Browser:
    """Headless Chromium spoken to over its DevTools pipe."""

    def __init__(self, chromium, profile, log):
        cmd_r, cmd_w = (high_fd(fd) for fd in os.pipe())
        evt_r, evt_w = (high_fd(fd) for fd in os.pipe())

        def child_fds():
            os.dup2(cmd_r, 3)  # dup2 leaves the copies inheritable
            os.dup2(evt_w, 4)

        self.proc = subprocess.Popen(
            [chromium, "--headless", "--no-sandbox", "--disable-gpu", "--disable-dev-shm-usage",
             "--remote-debugging-pipe", "--user-data-dir=" + profile, "--no-first-run",
             "--no-default-browser-check", "--hide-scrollbars", "--mute-audio", "--window-size=1440,900",
             "about:blank"],
            stdin=subprocess.DEVNULL, stdout=log, stderr=log, close_fds=False, preexec_fn=child_fds)
        os.close(cmd_r)
        os.close(evt_w)
        self.out, self.inp = cmd_w, evt_r
        self.buf = b""
        self.last_id = 0
        self.events = []

    def _message(self, deadline):
        while b"\0" not in self.buf:
            left = deadline - time.monotonic()
            if left <= 0 or not select.select([self.inp], [], [], left)[0]:
                raise Failure("the browser did not answer in time")
            chunk = os.read(self.inp, 1 << 16)
            if not chunk:
                raise Failure("the browser closed its DevTools pipe")
            self.buf += chunk
        text, _, self.buf = self.buf.partition(b"\0")
        return json.loads(text)

    def call(self, method, params=None, session=None, timeout=15.0):
        self.last_id += 1
        msg = {"id": self.last_id, "method": method, "params": params or {}}
        if session:
            msg["sessionId"] = session
        data = json.dumps(msg).encode() + b"\0"
        while data:
            data = data[os.write(self.out, data):]
        deadline = time.monotonic() + timeout
        while True:
            reply = self._message(deadline)
            if reply.get("id") != self.last_id:
                self.events.append(reply)
                continue
            if "error" in reply:
                raise Failure("%s: %s" % (method, reply["error"].get("message")))
            return reply.get("result", {})

    def close(self):
        try:
            self.call("Browser.close", timeout=5)
        except Failure:
            pass
        try:
            self.proc.wait(timeout=5)
        except subprocess.TimeoutExpired:
            self.proc.kill()
        os.close(self.out)
        os.close(self.inp)


class Page:
    """The console's tab: what a user sees and does."""

    def __init__(self, browser):
        self.browser = browser
        target = next(t for t in browser.call("Target.getTargets")["targetInfos"] if t["type"] == "page")
        self.session = browser.call("Target.attachToTarget", {"targetId": target["targetId"], "flatten": True})[
            "sessionId"]
        self.call("Emulation.setDeviceMetricsOverride",
                  {"width": 1440, "height": 900, "deviceScaleFactor": 1, "mobile": False})

    def call(self, method, params=None):
        return self.browser.call(method, params, session=self.session)

    def eval(self, expression):
        res = self.call("Runtime.evaluate", {"expression": expression, "returnByValue": True, "awaitPromise": True})
        if "exceptionDetails" in res:
            raise Failure("script error in %r: %s" % (expression, res["exceptionDetails"].get("text")))
        return res["result"].get("value")

    def open(self, url):
        self.call("Page.navigate", {"url": url})
        wait_until(lambda: self.eval("document.readyState") == "complete", "the console page to load")

    def text(self, selector):
        return self.eval("(document.querySelector(%s) || {}).innerText || ''" % json.dumps(selector))

    def click(self, selector):
        box = self.eval("""(() => {
            const e = document.querySelector(%s);
            if (!e) return null;
            e.scrollIntoView({block: 'center'});
            const r = e.getBoundingClientRect();
            return {x: r.left + r.width / 2, y: r.top + r.height / 2};
        })()""" % json.dumps(selector))
        if not box:
            raise Failure("nothing to click at " + selector)
        for kind in ("mouseMoved", "mousePressed", "mouseReleased"):
            self.call("Input.dispatchMouseEvent",
                      {"type": kind, "x": box["x"], "y": box["y"], "button": "left", "clickCount": 1})

    def type(self, selector, text):
        """Clicks into a field, selects what it holds and types over it."""
        self.click(selector)
        self.eval("document.querySelector(%s).select()" % json.dumps(selector))
        self.call("Input.insertText", {"text": text})

    def choose(self, selector, value):
        """Picks an option of a select box, as the keyboard would."""
        self.click(selector)
        self.eval("""(() => {
            const e = document.querySelector(%s);
            e.value = %s;
            e.dispatchEvent(new Event('change', {bubbles: true}));
            e.blur();
        })()""" % (json.dumps(selector), json.dumps(value)))

    def attach(self, selector, path):
        """Chooses a file in a file input, as the file dialog would."""
        root = self.call("DOM.getDocument")["root"]["nodeId"]
        node = self.call("DOM.querySelector", {"nodeId": root, "selector": selector})["nodeId"]
        self.call("DOM.setFileInputFiles", {"nodeId": node, "files": [path]})

    def screenshot(self, path):
        data = self.call("Page.captureScreenshot", {"format": "png"})["data"]
        with open(path, "wb") as f:
            f.write(base64.b64decode(data))


def check_served(device):
    for method, path, status, ctype in SERVED:
        with socket.create_connection(("127.0.0.1", device.port), timeout=5) as conn:
            # Written by hand: the path goes out exactly as it stands.
            conn.sendall(("%s %s HTTP/1.0\r\nHost: 127.0.0.1\r\nContent-Length: 0\r\n\r\n" % (method, path)).encode())
            head = b""
            while b"\r\n\r\n" not in head:
                chunk = conn.recv(4096)
                if not chunk:
                    break
                head += chunk
        lines = head.decode("latin-1").split("\r\n")
        got = int(lines[0].split()[1]) if len(lines[0].split()) > 1 else 0
        got_type = next((l.split(":", 1)[1].strip() for l in lines if l.lower().startswith("content-type:")), "")
        if got != status or (ctype and not got_type.startswith(ctype)):
            raise Failure("%s %s: %s %r, expected %s %s" % (method, path, got, got_type, status, ctype or ""))


def run_step(page, device, step, total, work):
    where = "%s %s (%s)" % (step.method, step.route, step.request or step.upload)
    page.type("#filter", step.filter)
    button = 'button.route[data-route="%s"]' % step.route
    wait_until(lambda: page.eval("!!document.querySelector(%s)" % json.dumps(button)),
               "%s in the list filtered by %r" % (step.route, step.filter), timeout=3)
    shown = page.eval("document.querySelectorAll('button.route').length")
    if shown >= total:
        raise Failure("the filter %r leaves all %d routes listed" % (step.filter, shown))
    page.click(button)
    if not page.text("#route-info").startswith(step.route):
        raise Failure("%s: the route view shows %r" % (where, page.text("#route-info")[:80]))
    page.choose("#method", step.method)
    page.choose("#body-type", step.body)
    page.type("#request-text", step.request)
    if step.upload:
        path = os.path.join(work, step.upload)
        with open(path, "wb") as f:
            f.write(os.urandom(2048))
        page.attach("#file", path)

    logged_before = len(device.log_lines())
    sent = page.eval("Number(document.body.dataset.sent || 0)")
    page.click("#send")
    wait_until(lambda: page.eval("Number(document.body.dataset.sent || 0)") > sent, "the reply to " + where,
               timeout=15, interval=0.1)

    status = page.eval("document.getElementById('reply-status').dataset.code")
    body = page.text("#reply-body")
    if status != "200":
        raise Failure("%s: status %s, reply %r" % (where, status, body[:200]))
    for text in step.reply:
        if text not in body:
            raise Failure("%s: the reply shown lacks %s: %r" % (where, text, body[:300]))

    # The panel lists the simulator's new log lines, in order, and only those.
    logged = [m["code"] for m in device.log_lines()[logged_before:]]
    panel = page.eval("[...document.querySelectorAll('#daemon-messages tbody tr[data-code]')].map(r => Number(r.dataset.code))")
    if panel != logged or logged != step.codes:
        raise Failure("%s: daemon messages shown %s, logged %s, expected %s" % (where, panel, logged, step.codes))
    if not step.codes and "none" not in page.text("#daemon-count"):
        raise Failure("%s: the panel does not say that no message went out" % where)


def main():
    if len(sys.argv) != 2:
        print("usage: console_test.py BUILD_DIR", file=sys.stderr)
        return 2
    build = os.path.abspath(sys.argv[1])
    source = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
    chromium = find_program("chromium", "/usr/bin/chromium")
    lighttpd = find_program("lighttpd", "/usr/sbin/lighttpd")
    if not chromium or not lighttpd:
        print("SKIPPED: the console's browser test needs chromium and lighttpd "
              "(scripts/deps.sh test installs them)")
        return SKIPPED
    artifacts = os.path.join(build, "artifacts")
    os.makedirs(artifacts, exist_ok=True)

    work = tempfile.mkdtemp(prefix="nvrweb-console-")
    device = browser = None
    ok = False
    try:
        device = DevDevice(source, build, lighttpd, work)
        browser = Browser(chromium, os.path.join(work, "profile"), open(os.path.join(work, "chromium.log"), "w"))
        check_served(device)
        page = Page(browser)
        page.open(device.url)
        routes = wait_until(lambda: page.eval("document.querySelectorAll('button.route').length"),
                            "the route list", timeout=5)
        catalogue = page.eval("fetch('/catalogue.json').then(r => r.json()).then(c => c.routes.length)")
        if routes != catalogue:
            raise Failure("the console lists %s routes of the catalogue's %s" % (routes, catalogue))
        if page.eval("fetch('/routes.html').then(r => r.status)") != 200:
            raise Failure("the route reference page is not served")

        # The log-in helper's digest against Python's, at the block edges.
        for text in ("", "admin", "x" * 55, "x" * 56, "x" * 64, "pässwörd"):
            got = page.eval("window.nvrConsole.md5(%s)" % json.dumps(text))
            if got != hashlib.md5(text.encode()).hexdigest():
                raise Failure("md5 of %r: %s" % (text, got))

        for i, step in enumerate(STEPS):
            run_step(page, device, step, routes, work)
            if i == 0 and "sessionId=" not in page.eval("document.cookie"):
                raise Failure("no sessionId cookie after the log-in")
            print("ok: %s %s" % (step.method, step.route))
            if i == SHOWN_STEP:
                page.click("#daemon-messages tbody summary")  # the payload's dump
                shot = os.path.join(artifacts, "console.png")
                page.screenshot(shot)
                print("screenshot: " + shot)
        ok = True
        return 0
    except Failure as e:
        print("FAILED: %s" % e)
        return 1
    finally:
        if browser:
            browser.close()
        if device:
            device.stop()
        if ok:
            shutil.rmtree(work, ignore_errors=True)
        else:
            print("kept for inspection: " + work)


if __name__ == "__main__":
    sys.exit(main())
