#!/usr/bin/python3
"""Browser test of the preview page that `envhost serve` hands out.

Starts the server on a copy of the default environment, drives the page in
headless Chromium and checks what an Environment File author relies on: the
time slider changes the picture, a save changes it again, the checker's
findings appear with their line numbers, a broken file raises the banner and
keeps the last good picture. It also measures how long a slider move and a
save take to reach the screen; the figures are printed, not asserted, since
the machine's load decides them.

    /usr/bin/python3 tests/browser/preview_test.py BUILD_DIR [--screenshot PNG]
"""

import argparse
import base64
import os
import shlex
import shutil
import signal
import socket
import statistics
import subprocess
import sys
import tempfile
import time
import urllib.error
import urllib.request

CHROMIUM = "/usr/bin/chromium"
CHROMEDRIVER = "/usr/bin/chromedriver"
# The whole run, server and browser included, ends by then whatever happens.
WATCHDOG_SECONDS = 115
WAIT_SECONDS = 8  # the longest any single step may take

# Pixels of an image, drawn into a canvas and hashed (FNV-1a).
JS_HASH_FUNCTION = """
function pixelHash(img) {
  if (!img.complete || !img.naturalWidth) return null;
  const c = document.createElement('canvas');
  c.width = img.naturalWidth; c.height = img.naturalHeight;
  const g = c.getContext('2d');
  g.drawImage(img, 0, 0);
  const d = g.getImageData(0, 0, c.width, c.height).data;
  let h = 2166136261;
  for (let i = 0; i < d.length; i++) { h ^= d[i]; h = Math.imul(h, 16777619); }
  return (h >>> 0).toString(16) + '@' + c.width + 'x' + c.height;
}
"""
JS_PIXEL_HASH = JS_HASH_FUNCTION + "return pixelHash(document.getElementById('frame'));"
JS_PNG_HASH = JS_HASH_FUNCTION + """
const [dataUrl, done] = arguments;
const img = new Image();
img.onload = () => done(pixelHash(img));
img.onerror = () => done(null);
img.src = dataUrl;
"""

# Moves the time slider the way a user does (input while dragging, change on
# release) and returns the moment it did so on the page's clock.
JS_SET_TIME = """
const t = document.getElementById('time');
const before = window.envPreview.shown.seq;
const at = performance.now();
t.value = String(arguments[0]);
t.dispatchEvent(new Event('input', {bubbles: true}));
t.dispatchEvent(new Event('change', {bubbles: true}));
return [before, at];
"""

# Sets controls by id as a user does: the value, then its input and change
# events; a boolean sets a checkbox.
JS_SET_CONTROLS = """
for (const [id, value] of Object.entries(arguments[0])) {
  const el = document.getElementById(id);
  if (typeof value === 'boolean') el.checked = value; else el.value = value;
  el.dispatchEvent(new Event('input', {bubbles: true}));
  el.dispatchEvent(new Event('change', {bubbles: true}));
}
"""

# Resolves with the first picture shown after `seq` that satisfies the test
# given as a function body of `s` (the page's record of the shown picture).
JS_WAIT_SHOWN = """
const [seq, test, timeoutMs, done] = arguments;
const ok = new Function('s', 'return ' + test);
const end = performance.now() + timeoutMs;
(function poll() {
  const s = window.envPreview.shown;
  if (s.seq > seq && ok(s)) done(s);
  else if (performance.now() > end) done(null);
  else setTimeout(poll, 4);
})();
"""

# Resolves true once the page has nothing left to ask the server (with the
# hourly strip too when asked), false at the timeout.
JS_WAIT_IDLE = """
const [withThumbs, timeoutMs, done] = arguments;
const p = window.envPreview;
const end = performance.now() + timeoutMs;
let quiet = 0;
(function poll() {
  const idle = p && !p.busy() && !(withThumbs && p.thumbsPending());
  quiet = idle ? quiet + 1 : 0;
  if (quiet >= 3) done(true);
  else if (performance.now() > end) done(false);
  else setTimeout(poll, 10);
})();
"""

JS_WAIT_SELECTOR = """
const [css, text, timeoutMs, done] = arguments;
const end = performance.now() + timeoutMs;
(function poll() {
  for (const el of document.querySelectorAll(css)) {
    if (!text || el.textContent.includes(text)) { done(el.outerHTML); return; }
  }
  if (performance.now() > end) done(null); else setTimeout(poll, 10);
})();
"""


# What the page knows, for the report of a failed run.
JS_PAGE_REPORT = """
const p = window.envPreview || {};
const text = (id) => (document.getElementById(id) || {}).textContent;
return {requests: p.requests, frameErrors: p.frameErrors, shown: p.shown && [p.shown.seq, p.shown.params],
        busy: p.busy && p.busy(), banner: text('banner'), requestError: text('request-error'),
        status: text('status')};
"""


class Failure(Exception):
    pass


class Results:
    def __init__(self):
        self.failed = []

    def check(self, name, ok, detail=""):
        print(("PASS " if ok else "FAIL ") + name + (": " + detail if detail else ""), flush=True)
        if not ok:
            self.failed.append(name)
        return ok


def free_port():
    with socket.socket(socket.AF_INET, socket.SOCK_STREAM) as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def percentile(values, p):
    ordered = sorted(values)
    rank = max(1, min(len(ordered), int(-(-p * len(ordered) // 100))))  # nearest rank
    return ordered[rank - 1]


def http_get(url, timeout=5):
    with urllib.request.urlopen(url, timeout=timeout) as r:
        return r.status, r.read()


class Server:
    def __init__(self, envhost, env_file, log_path):
        self.port = free_port()
        self.base = "http://127.0.0.1:%d" % self.port
        self.log = open(log_path, "wb")
        self.proc = subprocess.Popen(
            [envhost, "serve", "--env", env_file, "--port", str(self.port), "--bind", "127.0.0.1"],
            stdout=self.log, stderr=subprocess.STDOUT, stdin=subprocess.DEVNULL, start_new_session=True)

    def wait_ready(self, seconds=20):
        end = time.monotonic() + seconds
        while time.monotonic() < end:
            if self.proc.poll() is not None:
                raise Failure("envhost serve exited with status %d" % self.proc.returncode)
            try:
                if http_get(self.base + "/status", timeout=1)[0] == 200:
                    return
            except (urllib.error.URLError, OSError):
                pass
            time.sleep(0.1)
        raise Failure("envhost serve did not answer on %s within %d s" % (self.base, seconds))

    def stop(self):
        """Ends the server; a note when it had ended by itself before."""
        if self.proc.poll() is not None:
            print("note: envhost serve had exited with status %d" % self.proc.returncode, flush=True)
        else:
            self.proc.terminate()
            try:
                self.proc.wait(timeout=5)
            except subprocess.TimeoutExpired:
                os.killpg(self.proc.pid, signal.SIGKILL)
                self.proc.wait(timeout=5)
        self.log.close()


def start_browser(profile, log_path):
    from selenium import webdriver
    from selenium.webdriver.chrome.service import Service

    options = webdriver.ChromeOptions()
    options.binary_location = CHROMIUM
    for flag in ("--headless", "--no-sandbox", "--disable-gpu", "--disable-quic", "--no-first-run",
                 "--disable-background-networking", "--disable-component-update", "--disable-sync",
                 "--disable-dev-shm-usage", "--window-size=1280,800", "--user-data-dir=" + profile):
        options.add_argument(flag)
    # The driver's and the browser's chatter goes to a log, shown on failure.
    service = Service(executable_path=CHROMEDRIVER, log_path=log_path)
    driver = webdriver.Chrome(service=service, options=options)
    # The window's size includes the browser's frame; the page gets 1280 x 800.
    driver.execute_cdp_cmd("Emulation.setDeviceMetricsOverride",
                           {"width": 1280, "height": 800, "deviceScaleFactor": 1, "mobile": False})
    driver.set_page_load_timeout(WAIT_SECONDS * 2)
    driver.set_script_timeout(WAIT_SECONDS + 5)
    return driver


class Page:
    def __init__(self, driver):
        self.d = driver

    def js(self, script, *args):
        return self.d.execute_script(script, *args)

    def wait(self, script, *args):
        return self.d.execute_async_script(script, *args)

    def pixels(self):
        return self.js(JS_PIXEL_HASH)

    def shown(self):
        return self.js("return window.envPreview.shown;")

    def idle(self, with_thumbs=False, seconds=WAIT_SECONDS):
        return self.wait(JS_WAIT_IDLE, with_thumbs, seconds * 1000)

    def wait_shown(self, seq, test="true", seconds=WAIT_SECONDS):
        return self.wait(JS_WAIT_SHOWN, seq, test, seconds * 1000)

    def set_time(self, minutes):
        """Moves the slider; returns the picture shown for it and the page's latency in ms."""
        seq, at = self.js(JS_SET_TIME, minutes)
        want = "%02d:%02d" % (minutes // 60, minutes % 60)
        shown = self.wait_shown(seq, "s.params.time === %r" % want)
        if shown is None:
            raise Failure("no picture for %s within %d s" % (want, WAIT_SECONDS))
        return shown, shown["at"] - at

    def wait_selector(self, css, text="", seconds=WAIT_SECONDS):
        return self.wait(JS_WAIT_SELECTOR, css, text, seconds * 1000)


def edit(path, old, new):
    with open(path, encoding="utf-8") as f:
        text = f.read()
    if old not in text:
        raise Failure("%r not found in %s" % (old, path))
    with open(path, "w", encoding="utf-8") as f:
        f.write(text.replace(old, new, 1))
    return time.time()


def render_command(command, envhost, work):
    """Runs the page's envhost command line; the picture as a data URL, or None."""
    argv = shlex.split(command)
    out = os.path.join(work, "command.png")
    argv[0] = envhost
    argv[argv.index("--out") + 1] = out
    done = subprocess.run(argv, stdout=subprocess.PIPE, stderr=subprocess.STDOUT, timeout=30)
    if done.returncode != 0 or not os.path.exists(out):
        print(done.stdout.decode(errors="replace"))
        return None
    with open(out, "rb") as f:
        return "data:image/png;base64," + base64.b64encode(f.read()).decode()


def run(args, results):
    envhost = os.path.join(args.build, "envhost")
    default_env = os.path.join(args.build, "data", "default")
    for path in (envhost, os.path.join(default_env, "environment.ini"), CHROMIUM, CHROMEDRIVER):
        if not os.path.exists(path):
            raise Failure("missing " + path)

    work = tempfile.mkdtemp(prefix="envsys-preview-")
    server = driver = None
    try:
        env_dir = os.path.join(work, "env")
        shutil.copytree(default_env, env_dir)
        env_file = os.path.join(env_dir, "environment.ini")
        server = Server(envhost, env_file, os.path.join(work, "server.log"))
        server.wait_ready()
        print("server on %s, environment %s" % (server.base, env_file), flush=True)

        driver = start_browser(os.path.join(work, "profile"), os.path.join(work, "browser.log"))
        page = Page(driver)
        driver.get(server.base + "/")
        first = page.wait_shown(0)
        if first is None or not page.idle():
            raise Failure("the page showed no picture within %d s" % WAIT_SECONDS)

        # (1) The time slider changes the picture.
        noon = page.pixels()
        shown, _ = page.set_time(20 * 60)
        evening = page.pixels()
        results.check("time slider 12:00 -> 20:00 changes the picture", noon != evening and evening is not None,
                      "%s -> %s" % (noon, evening))
        page.idle()
        command = page.js("return document.getElementById('command').textContent;")
        results.check("command line follows the settings",
                      "--time 20:00" in command and env_file in command and "--width 960 --height 540" in command
                      and command.startswith("envhost frame "), command)
        # Every control reaches the frame, and the command line renders the
        # same pixels: rain below the overcast on a winter afternoon, seeded.
        seq = page.shown()["seq"]
        page.js(JS_SET_CONTROLS, {"date": "2024-12-21", "time": "915", "latitude-n": "52", "weather": "4",
                                  "intensity-n": "0.6", "overcast-n": "900", "transition-n": "120",
                                  "altitude-n": "300", "heading-sun": False, "heading-n": "250", "pitch-n": "5",
                                  "fov-n": "70", "size": "640x360", "seed": "7"})
        varied = page.wait_shown(seq, "s.params.seed === 7 && s.params.heading === '250' && s.params.time === '15:15'"
                                 " && s.params.width === 640 && s.params.weather === 4 && s.params.fov === 70")
        page.idle()
        command = page.js("return document.getElementById('command').textContent;")
        rendered = varied and render_command(command, envhost, work)
        same = rendered and page.wait(JS_PNG_HASH, rendered)
        results.check("the command line renders the same picture", same is not None and same == page.pixels(),
                      "%s: %s" % (same, command))
        page.js("document.getElementById('reset').click();")
        page.wait_shown(page.shown()["seq"], "s.params.seed === 1 && s.params.width === 960")
        page.set_time(20 * 60)
        page.idle()
        save = page.js("const a = document.getElementById('save'); return [a.href, a.download];")
        results.check("save link holds the picture", save[0].startswith("blob:") and save[1].endswith(".png"),
                      "%s %s" % tuple(save))
        swatches = page.wait_selector("#state .swatch")
        results.check("inspector shows /state with colour swatches", swatches is not None)

        # Play: the clock runs on through advance= requests and the slider follows.
        page.set_time(6 * 60)
        page.idle()
        before = page.js("return [+document.getElementById('time').value, window.envPreview.advances];")
        page.js("const s = document.getElementById('speed'); s.value = '3600';"
                "s.dispatchEvent(new Event('change')); document.getElementById('play').click();")
        time.sleep(1.5)
        page.js("document.getElementById('play').click();")
        page.idle()
        after = page.js("return [+document.getElementById('time').value, window.envPreview.advances];")
        moved = (after[0] - before[0]) % 1440
        results.check("play at 3600x runs the clock on", 10 <= moved <= 180 and after[1] - before[1] >= 3,
                      "%d min of model time in 1.5 s, %d advance requests" % (moved, after[1] - before[1]))

        # Slider latency: each move from an idle page to its picture on screen.
        # The same frames fetched straight from the server tell the page's
        # share (decoding, display) apart from the rendering.
        moves = [(5 * 60 + i * 31) % 1440 for i in range(args.samples)]  # from dawn on, a new minute each
        latencies = []
        for minutes in moves:
            page.idle()
            _, ms = page.set_time(minutes)
            latencies.append(ms)
        page.idle(with_thumbs=True)
        direct = []
        for minutes in moves:
            start = time.perf_counter()
            http_get(server.base + "/frame?time=%02d:%02d&width=960&height=540" % divmod(minutes, 60))
            direct.append((time.perf_counter() - start) * 1000)
        print("MEASURE slider -> picture at 960x540 over %d moves: median %.0f ms, p95 %.0f ms, max %.0f ms "
              "(targets: median <= 100, p95 <= 250); the same frames from /frame alone: median %.0f ms, p95 %.0f ms"
              % (len(latencies), statistics.median(latencies), percentile(latencies, 95), max(latencies),
                 statistics.median(direct), percentile(direct, 95)), flush=True)

        # A burst of moves faster than any frame: the first starts a request,
        # the rest wait for it and become one request for the last position.
        page.idle()
        before = page.js("return [window.envPreview.requests, window.envPreview.shown.seq];")
        page.js("const t = document.getElementById('time');"
                "for (let m = 600; m < 660; m += 2) {"
                "  t.value = m; t.dispatchEvent(new Event('input', {bubbles: true})); }")
        last = page.wait_shown(before[1], "s.params.time === '10:58'")
        page.idle()
        sent = page.js("return window.envPreview.requests;") - before[0]
        results.check("30 moves in a burst coalesce", last is not None and sent == 2,
                      "%d frame requests, last picture at %s" % (sent, last and last["params"]["time"]))

        # (2) A save of a Day colour changes the picture at noon.
        page.set_time(12 * 60)
        saves = []
        colours = ["0.86, 0.20, 0.42", "0.20, 0.86, 0.42", "0.50, 0.10, 0.90", "0.20, 0.42, 0.86"]
        previous = "0.20, 0.42, 0.86"
        changed_all = True
        for colour in colours[: max(1, args.saves)]:
            page.idle(with_thumbs=True)
            gen = page.js("return +document.getElementById('status').dataset.generation;")
            seq = page.shown()["seq"]
            pixels = page.pixels()
            saved_at = edit(env_file, "SkyColor=" + previous, "SkyColor=" + colour)
            previous = colour
            shown = page.wait_shown(seq, "s.generation > %d" % gen)
            if shown is None:
                changed_all = False
                break
            saves.append(shown["wall"] - saved_at * 1000)
            changed_all = changed_all and page.pixels() != pixels
        results.check("saving a Day colour changes the picture", changed_all and len(saves) > 0,
                      ", ".join("%.0f ms" % s for s in saves))
        if saves:
            print("MEASURE save -> picture over %d saves: median %.0f ms, max %.0f ms (target <= 500)%s"
                  % (len(saves), statistics.median(saves), max(saves),
                     "" if max(saves) <= 500 else "  [over target]"), flush=True)

        # (3) An unknown key shows in the diagnostics with its line.
        with open(env_file, encoding="utf-8") as f:
            lines = f.read().split("\n")
        day = lines.index("[Day]")
        lines.insert(day + 1, "SkyColour=0.1, 0.2, 0.3")
        with open(env_file, "w", encoding="utf-8") as f:
            f.write("\n".join(lines))
        item = page.wait_selector('#diagnostics li[data-line="%d"]' % (day + 2), "SkyColour")
        results.check("unknown key listed with its line", item is not None,
                      "environment.ini:%d %s" % (day + 2, "" if item is None else "shown"))

        # (4) A broken save: the file goes away. The banner says so and the
        # last good picture stays.
        page.idle()
        good = page.pixels()
        seq = page.shown()["seq"]
        with open(env_file, encoding="utf-8") as f:
            kept = f.read()
        os.remove(env_file)
        banner = page.wait_selector("#banner:not([hidden])")
        page.idle()
        text = page.js("return document.getElementById('banner').textContent;")
        results.check("a failed load shows the banner", banner is not None, text.strip().replace("\n", " "))
        results.check("the last good picture stays", page.pixels() == good and page.shown()["seq"] == seq)
        with open(env_file, "w", encoding="utf-8") as f:
            f.write(kept)
        back = page.wait_shown(seq)
        hidden = page.wait_selector("#banner[hidden]")
        results.check("restoring the file clears the banner", back is not None and hidden is not None)

        # (5) A screenshot of the page at sunset with its hourly strip complete.
        page.set_time(18 * 60 + 30)
        page.idle(with_thumbs=True, seconds=15)
        time.sleep(0.3)  # the request light fades out
        os.makedirs(os.path.dirname(os.path.abspath(args.screenshot)), exist_ok=True)
        results.check("screenshot", driver.save_screenshot(args.screenshot), args.screenshot)
    finally:
        if driver is not None:
            try:
                if results.failed or sys.exc_info()[0] is not None:
                    print("page: " + str(driver.execute_script(JS_PAGE_REPORT)))
                driver.quit()
            except Exception as e:  # a browser that died leaves nothing to quit
                print("note: closing the browser: %s" % e)
        if server is not None:
            server.stop()
        if results.failed or sys.exc_info()[0] is not None or args.verbose:
            for name in ("server.log", "browser.log"):
                path = os.path.join(work, name)
                if os.path.exists(path):
                    with open(path, errors="replace") as f:
                        sys.stdout.write("--- %s (end) ---\n%s\n" % (name, f.read()[-3000:]))
        shutil.rmtree(work, ignore_errors=True)


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("build", help="the build folder holding envhost and data/default")
    parser.add_argument("--screenshot", help="where the page's screenshot goes (default BUILD/preview.png)")
    parser.add_argument("--samples", type=int, default=40, help="slider moves timed (default 40)")
    parser.add_argument("--saves", type=int, default=4, help="saves timed (default 4)")
    parser.add_argument("--verbose", action="store_true", help="print the server's output at the end")
    args = parser.parse_args()
    args.screenshot = args.screenshot or os.path.join(args.build, "preview.png")

    def watchdog(signum, frame):
        raise Failure("the run took longer than %d s" % WATCHDOG_SECONDS)

    signal.signal(signal.SIGALRM, watchdog)
    # Stopped from outside (timeout, CI cancel): unwind, so the server and the
    # browser are ended too.
    signal.signal(signal.SIGTERM, lambda signum, frame: sys.exit(128 + signum))
    signal.alarm(WATCHDOG_SECONDS)
    results = Results()
    started = time.monotonic()
    try:
        run(args, results)
    except Failure as e:
        results.check("browser test", False, str(e))
    except Exception as e:  # selenium's own errors: report them as a failure, not a trace only
        results.check("browser test", False, "%s: %s" % (type(e).__name__, e))
    finally:
        signal.alarm(0)
    verdict = "FAIL (%s)" % ", ".join(results.failed) if results.failed else "PASS"
    print("browser test %s in %.1f s" % (verdict, time.monotonic() - started))
    return 1 if results.failed else 0


if __name__ == "__main__":
    sys.exit(main())
