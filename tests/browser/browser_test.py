#!/usr/bin/env python3
"""The run command on a machine without a display, used through a real
browser as a newcomer would: start `bash scripts/run.sh` with no DISPLAY,
read the address it prints, open it in headless Chromium (Debian's, driven
through the DevTools protocol over a pipe), find the program's window on
the page by the pixels of its header band, type a port and press the apply
button through the page, follow the status line to "[完成] ..." through
the prefix (window_probe.exe), answer the summary and press the exit
button through the page. The program must end with exit code 0, the run
command must end by itself, and nothing it started may be left: no process
of its session, no wineserver of its prefix, no port open.

    browser_test.py SOURCE_DIR BUILD_DIR
"""
import base64
import json
import os
import re
import select
import shutil
import signal
import struct
import subprocess
import sys
import tempfile
import time
import zlib

BAND = (21, 89, 189)
SCREEN = (1024, 768)  # the run command's virtual display
BAND_ROWS = 52
WINE = "/usr/lib/wine/wine64"

checks = {"passed": 0, "failed": 0}


def check(ok, what):
    checks["passed" if ok else "failed"] += 1
    print(("ok   " if ok else "FAIL ") + what, flush=True)
    return ok


def decode_png(data):
    """Width, height and rows of RGB tuples of an 8-bit RGB or RGBA PNG."""
    at, idat, width, height, kind = 8, b"", 0, 0, 2
    while at < len(data):
        length, tag = struct.unpack(">I4s", data[at:at + 8])
        chunk = data[at + 8:at + 8 + length]
        if tag == b"IHDR":
            width, height, depth, kind = struct.unpack(">IIBB", chunk[:10])
            if depth != 8 or kind not in (2, 6) or chunk[12] != 0:
                raise ValueError("unexpected PNG format")
        elif tag == b"IDAT":
            idat += chunk
        at += 12 + length
    raw = zlib.decompress(idat)
    bpp = 3 if kind == 2 else 4
    stride = width * bpp
    rows, previous, pos = [], bytearray(stride), 0
    for _ in range(height):
        kind_of_filter = raw[pos]
        line = bytearray(raw[pos + 1:pos + 1 + stride])
        pos += 1 + stride
        for x in range(stride):
            a = line[x - bpp] if x >= bpp else 0
            b = previous[x]
            c = previous[x - bpp] if x >= bpp else 0
            if kind_of_filter == 1:
                line[x] = (line[x] + a) & 255
            elif kind_of_filter == 2:
                line[x] = (line[x] + b) & 255
            elif kind_of_filter == 3:
                line[x] = (line[x] + (a + b) // 2) & 255
            elif kind_of_filter == 4:
                pa, pb, pc = abs(b - c), abs(a - c), abs(a + b - 2 * c)
                line[x] = (line[x] + (a if pa <= pb and pa <= pc else b if pb <= pc else c)) & 255
        rows.append([tuple(line[i:i + 3]) for i in range(0, stride, bpp)])
        previous = line
    return width, height, rows


def find_band(rows):
    """(left, top, width, height) of the header band: its first row is the
    first with a run of 100 pixels of its colour; its height is counted
    down the column just inside its left edge, where no text is drawn, and
    its width along that first row."""
    for top, row in enumerate(rows):
        run = 0
        for x, p in enumerate(row):
            run = run + 1 if p == BAND else 0
            if run == 100:
                left = x - 99
                width = 0
                while left + width < len(row) and row[left + width] == BAND:
                    width += 1
                height = 0
                while top + height < len(rows) and rows[top + height][left + 1] == BAND:
                    height += 1
                return left, top, width, height
    return None


class Browser:
    """Headless Chromium with the DevTools protocol on a pipe (fds 3 and 4)."""

    def __init__(self, width, height):
        self.profile = tempfile.mkdtemp(prefix="zv-chromium-")
        to_browser_r, self.to_browser = os.pipe()
        self.from_browser, from_browser_w = os.pipe()
        flags = ["--headless", "--no-sandbox", "--disable-gpu", "--disable-quic", "--no-first-run",
                 "--disable-background-networking", "--disable-component-update", "--disable-sync",
                 "--hide-scrollbars", "--force-device-scale-factor=1", f"--window-size={width},{height}",
                 f"--user-data-dir={self.profile}", "--remote-debugging-pipe", "about:blank"]
        command = "exec chromium " + " ".join(flags) + f" 3<&{to_browser_r} 4>&{from_browser_w}"
        self.process = subprocess.Popen(["bash", "-c", command], pass_fds=(to_browser_r, from_browser_w),
                                        stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        os.close(to_browser_r)
        os.close(from_browser_w)
        self.buffer = b""
        self.next_id = 0
        self.session = None

    def send(self, method, params=None, session=True, timeout=30):
        self.next_id += 1
        message = {"id": self.next_id, "method": method, "params": params or {}}
        if session and self.session:
            message["sessionId"] = self.session
        os.write(self.to_browser, json.dumps(message).encode() + b"\0")
        end = time.time() + timeout
        while True:
            while b"\0" in self.buffer:
                raw, self.buffer = self.buffer.split(b"\0", 1)
                reply = json.loads(raw)
                if reply.get("id") == self.next_id:
                    if "error" in reply:
                        raise RuntimeError(f"{method}: {reply['error']}")
                    return reply.get("result", {})
            left = end - time.time()
            if left <= 0 or not select.select([self.from_browser], [], [], left)[0]:
                raise TimeoutError(method)
            chunk = os.read(self.from_browser, 1 << 20)
            if not chunk:
                raise RuntimeError("the browser went away")
            self.buffer += chunk

    def open(self, url, width, height):
        """A page of exactly width x height CSS pixels at scale 1, so that
        noVNC's scaling to fit shows the screen pixel for pixel."""
        target = self.send("Target.createTarget", {"url": "about:blank"}, session=False)["targetId"]
        self.session = self.send("Target.attachToTarget", {"targetId": target, "flatten": True},
                                 session=False)["sessionId"]
        self.send("Page.enable")
        self.send("Emulation.setDeviceMetricsOverride",
                  {"width": width, "height": height, "deviceScaleFactor": 1, "mobile": False})
        self.send("Page.navigate", {"url": url})

    def evaluate(self, expression):
        return self.send("Runtime.evaluate", {"expression": expression, "returnByValue": True})["result"].get("value")

    def screenshot(self, save_as=None):
        png = base64.b64decode(self.send("Page.captureScreenshot", {"format": "png"})["data"])
        if save_as:
            with open(save_as, "wb") as f:
                f.write(png)
        return decode_png(png)

    def click(self, x, y):
        for kind in ("mouseMoved", "mousePressed", "mouseReleased"):
            self.send("Input.dispatchMouseEvent", {"type": kind, "x": x, "y": y, "button": "left", "clickCount": 1})
            time.sleep(0.05)

    def type_digits(self, digits):
        for d in digits:
            key = {"key": d, "code": "Digit" + d, "windowsVirtualKeyCode": 48 + int(d)}
            self.send("Input.dispatchKeyEvent", dict(key, type="keyDown", text=d))
            self.send("Input.dispatchKeyEvent", dict(key, type="keyUp"))
            time.sleep(0.05)

    def close(self):
        try:
            self.send("Browser.close", session=False, timeout=5)
        except Exception:
            pass
        try:
            self.process.wait(10)
        except subprocess.TimeoutExpired:
            self.process.kill()
            self.process.wait()
        os.close(self.to_browser)
        os.close(self.from_browser)
        shutil.rmtree(self.profile, ignore_errors=True)


def probe(build, prefix, *args):
    """window_probe.exe in the run command's prefix, beside the running
    program; its lines."""
    env = dict(os.environ, WINEPREFIX=prefix, WINEDEBUG="-all")
    env.pop("DISPLAY", None)
    out = subprocess.run([WINE, os.path.join(build, "window_probe.exe"), *args], env=env,
                         stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, timeout=300).stdout
    return out.decode("utf-8", "replace").splitlines()


def session_processes(sid):
    """"PID SID COMMAND ARGS..." of every process in the session."""
    out = subprocess.run(["ps", "-e", "-o", "pid=,sid=,args="], stdout=subprocess.PIPE, text=True).stdout
    return [line.strip() for line in out.splitlines() if line.split()[1:2] == [str(sid)]]


def processes_of(prefix):
    """Processes whose environment names the prefix: the wineserver and
    every Wine process, which leave the run command's session."""
    found = []
    for pid in filter(str.isdigit, os.listdir("/proc")):
        try:
            with open(f"/proc/{pid}/environ", "rb") as f:
                if f"WINEPREFIX={prefix}".encode() in f.read().split(b"\0"):
                    with open(f"/proc/{pid}/cmdline", "rb") as c:
                        found.append(pid + " " + c.read().replace(b"\0", b" ").decode("utf-8", "replace").strip())
        except OSError:
            pass
    return found


def listening(port):
    out = subprocess.run(["ss", "-Hltn", f"sport = :{port}"], stdout=subprocess.PIPE, text=True).stdout
    return bool(out.strip())


def main(source, build):
    # A prefix of the test's own, fresh each time, so that a port changed by
    # an earlier run (or by hand in build/demo-prefix) does not count.
    prefix = os.path.join(build, "browser-prefix")
    shutil.rmtree(prefix, ignore_errors=True)
    env = dict(os.environ, ZV_DEMO_PREFIX=prefix)
    env.pop("DISPLAY", None)
    env.pop("XAUTHORITY", None)
    run = subprocess.Popen(["bash", "scripts/run.sh"], cwd=source, env=env, start_new_session=True,
                           stdin=subprocess.DEVNULL, stdout=subprocess.PIPE, stderr=subprocess.STDOUT)
    output = []

    def read_line(timeout):
        if not select.select([run.stdout], [], [], timeout)[0]:
            return None
        line = run.stdout.readline()
        if line:
            output.append(line.decode("utf-8", "replace").rstrip())
            print("  run.sh: " + output[-1], flush=True)
        return line

    address = None
    end = time.time() + 900
    while address is None and time.time() < end:
        line = read_line(end - time.time())
        if not line:
            break
        found = re.search(rb"http://127\.0\.0\.1:(\d+)/vnc\.html\S*", line)
        if found:
            address = found.group(0).decode()
            web_port = int(found.group(1))
    if not check(address is not None, "the run command printed the address to open"):
        os.killpg(run.pid, signal.SIGTERM)
        run.wait()
        return 1
    vnc_ports = [int(p) for p in re.findall(r"-rfbport (\d+)", " ".join(session_processes(run.pid)))]
    check(bool(vnc_ports), f"the VNC server runs (port {vnc_ports})")

    artifacts = os.path.join(build, "artifacts")
    os.makedirs(artifacts, exist_ok=True)
    browser = Browser(SCREEN[0], SCREEN[1])
    try:
        browser.open(address, *SCREEN)
        # noVNC draws the screen in pieces as they arrive: look until the
        # band is whole, or has stopped changing.
        band, previous = None, None
        end = time.time() + 90
        while time.time() < end:
            time.sleep(0.5)
            width, height, rows = browser.screenshot(os.path.join(artifacts, "browser.png"))
            band = find_band(rows)
            if band is not None and (band[3] == BAND_ROWS or band == previous):
                break
            previous = band
        check(band is not None, "the program's window is on the page (its header band)")
        if band is None:
            raise RuntimeError("no window on the page")
        left, top, band_width, band_height = band
        check(band_height == BAND_ROWS, f"the header band is {BAND_ROWS} rows high on the page (found {band_height})")
        check(band_width == 414, f"and as wide as the client area, 414 (found {band_width})")

        where = probe(build, prefix, "where")
        client = [int(v) for v in where[0].split()[1:3]] if where and where[0].startswith("client ") else None
        check(client is not None, "the window's place on the screen, from the prefix")
        if client is None:
            raise RuntimeError("no window in the prefix")
        # The page shows the screen at scale 1 from its top left corner.
        check((left, top) == tuple(client), f"the band is at the window's place {tuple(client)} (found {(left, top)})")
        dx, dy = left - client[0], top - client[1]

        # The status line's text cell before the command, to tell later
        # that the page shows the new text, not only the same background.
        _, _, rows = browser.screenshot(os.path.join(artifacts, "browser-before.png"))
        status_before = rows[top + 186][left + 31:left + 339]

        browser.click(left + 275, top + 93)     # the new-port field
        browser.type_digits("50123")
        watcher = subprocess.Popen([WINE, os.path.join(build, "window_probe.exe"), "watch", "120000"],
                                   env=dict(os.environ, WINEPREFIX=prefix, WINEDEBUG="-all"),
                                   stdout=subprocess.PIPE, stderr=subprocess.DEVNULL)
        # The watcher prints the status it finds first; once that line is
        # there it is looking, and the click cannot come before it.
        seen = []

        def watcher_line(timeout):
            if not select.select([watcher.stdout], [], [], timeout)[0]:
                return False
            line = watcher.stdout.readline()
            if not line:
                return False
            seen.append(line.decode("utf-8", "replace").rstrip())
            print("  probe: " + seen[-1], flush=True)
            return True

        end = time.time() + 60
        while not seen and time.time() < end and watcher_line(end - time.time()):
            pass
        check(bool(seen) and seen[0] == "status 准备就绪, 点击确认修改执行 RDP 端口变更操作",
              "the watcher saw the first status before the click")
        browser.click(left + 95, top + 149)     # 确认修改
        end = time.time() + 180
        while time.time() < end and watcher_line(end - time.time()):
            pass
        watcher.wait(timeout=30)
        statuses = [line[7:] for line in seen if line.startswith("status ")]
        expected = ["[1/3] 正在写入注册表...", "[2/3] 正在配置防火墙 TCP/UDP...", "[3/3] 正在重启远程桌面服务...",
                    "[完成] 新端口已生效, 断开重连即可"]
        check(statuses[-len(expected):] == expected, "the status line went through the three stages to [完成]")
        box = [line for line in seen if line.startswith("box ")]
        check(bool(box) and box[0].startswith("box Zelvor-Tarnwick |"), "the summary was shown")
        if box:
            ok_x, ok_y = (int(v) for v in box[0].rsplit("|", 1)[1].split())
            browser.click(ok_x + dx, ok_y + dy)  # its OK button, through the page
        # The page shows the new status text: its pixels in the text cell
        # changed, on the status line's background.
        status_row = None
        end = time.time() + 15
        while time.time() < end:
            _, _, rows = browser.screenshot(os.path.join(artifacts, "browser-done.png"))
            status_row = rows[top + 186][left + 31:left + 339]
            if status_row != status_before:
                break
            time.sleep(0.5)
        check(status_row != status_before, "the page shows the status line's new text")
        check(sum(1 for p in status_row if p == (240, 244, 250)) > 20, "on the status line's background")
        while read_line(0.2):
            pass                                # whatever it printed so far
        check(run.poll() is None and not any(line.startswith("the program ended") for line in output),
              "the program and the run command still run")
        browser.click(left + 230, top + 149)    # 退出
        # The run command ends the prefix's Wine processes as soon as the
        # program has ended, so its own report is the witness.
        end = time.time() + 30
        while time.time() < end and not any(line.startswith("the program ended") for line in output):
            if not read_line(end - time.time()):
                break
        check(any(line.startswith("the program ended") for line in output), "the exit button ended the program")
    except Exception as error:
        check(False, f"the browser session: {error}")
    finally:
        browser.close()

    try:
        end = time.time() + 60
        while time.time() < end and read_line(end - time.time()):
            pass                                # to the end of its output
        rc = run.wait(max(1, end - time.time()))
    except subprocess.TimeoutExpired:
        rc = None
        os.killpg(run.pid, signal.SIGTERM)
        run.wait()
    check(rc == 0, f"the run command ended by itself with the program's exit code 0 (got {rc})")
    check(any(line == "the program ended with exit code 0" for line in output), "the program ended with exit code 0")
    time.sleep(1.0)
    left_over = session_processes(run.pid)
    check(not left_over, "no process of the run command is left" + (f": {left_over}" if left_over else ""))
    wine_left = processes_of(prefix)
    check(not wine_left, "no Wine process of its prefix is left" + (f": {wine_left}" if wine_left else ""))
    check(not listening(web_port), f"port {web_port} (websockify) is closed")
    for port in vnc_ports:
        check(not listening(port), f"port {port} (VNC) is closed")
    print(f"{checks['passed']} passed, {checks['failed']} failed", flush=True)
    return 0 if checks["failed"] == 0 else 1


if __name__ == "__main__":
    if len(sys.argv) != 3:
        sys.exit(__doc__)
    sys.exit(main(os.path.abspath(sys.argv[1]), os.path.abspath(sys.argv[2])))
