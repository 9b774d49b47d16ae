#!/usr/bin/env python3
"""End to end: jalv (console, JACK's dummy driver, under Xvfb) runs the stereo plug-in with a test
tone through it and shows its editor; a mouse drag made with xdotool turns the OutGain knob up: the
knob's picture changes, the editor writes the new value to jalv's OutGain control port, and the
plug-in's output, recorded with jack_rec, gets louder.

The port's value itself: jalv prints every control port's value when it starts (OutGain = 0.5, the
default), and with -t it prints the plug-in's trace messages, among them the one the plug-in's
worker writes for each port value run read from the host and turned into an edit ("OutGain =
0.8"). Console jalv reads no commands and passes the user interface no input port values while the
interface runs, so the other way (host value -> knob) is checked with jalv's GTK front end, which
hands the editor the port values it starts with (when it is installed).

Usage: jalv_editor_e2e.py BUNDLE_DIR. Exit 0 passed, 1 failed, 77 skipped (a tool is missing).
Every wait is bounded: about 15 seconds usually, 40 at most on a heavily loaded machine.
"""
import array
import fcntl
import math
import os
import random
import re
import shutil
import signal
import subprocess
import sys
import tempfile
import time
import wave

URI = "urn:halvik:marovex:stereo"
WINDOW_NAME = "Marovex Stereo"
# The OutGain knob's centre in the editor (its 50-pixel film frame at 321, 232).
KNOB = (346, 257)
FRAME = (321, 232, 50)
CLIENT = "marovex-e2e"
DEADLINE = time.monotonic() + 40.0


T0 = time.monotonic()


def log(what):
    print("[%5.1f s] %s" % (time.monotonic() - T0, what), flush=True)


def fail(message):
    print("FAIL: " + message)
    sys.exit(1)


def wait_for(what, predicate, seconds, log=lambda: ""):
    end = min(time.monotonic() + seconds, DEADLINE)
    while time.monotonic() < end:
        value = predicate()
        if value is not None and value is not False:
            return value
        time.sleep(0.1)
    fail("timed out waiting for " + what + "\n" + log())


def main():
    if len(sys.argv) != 2:
        print(__doc__)
        return 2
    for tool in ("Xvfb", "jackd", "jalv", "xdotool", "jack_simple_client", "jack_rec", "jack_connect", "jack_lsp",
                 "jack_wait", "stdbuf", "import"):
        if shutil.which(tool) is None:
            print("SKIP: %s is not installed" % tool)
            return 77

    work = tempfile.mkdtemp(prefix="marovex-jalv-")
    os.symlink(os.path.abspath(sys.argv[1]), os.path.join(work, "Marovex.lv2"))
    env = dict(os.environ)
    env["LV2_PATH"] = work
    # One fixed server name, and one run at a time on the machine: a JACK server that is not shut
    # down cleanly leaves its entry behind, and a name per run would pile them up.
    env["JACK_DEFAULT_SERVER"] = "marovex-e2e-server"
    lock = open(os.path.join(tempfile.gettempdir(), "marovex-jalv-e2e.lock"), "w")
    end = time.monotonic() + 60
    while True:
        try:
            fcntl.flock(lock, fcntl.LOCK_EX | fcntl.LOCK_NB)
            break
        except BlockingIOError:
            if time.monotonic() > end:
                print("SKIP: another run holds the lock")
                return 77
            time.sleep(0.2)
    global DEADLINE
    DEADLINE = time.monotonic() + 40.0
    env["JACK_NO_AUDIO_RESERVATION"] = "1"
    env.pop("DBUS_SESSION_BUS_ADDRESS", None)
    processes = []

    def start(args, **kw):
        p = subprocess.Popen(args, env=env, start_new_session=True, **kw)
        processes.append(p)
        return p

    def stop(group):
        # The signal is repeated: console jalv showing a user interface ends its interface loop on
        # the first one and waits for another before it shuts down.
        end = time.monotonic() + 8
        while time.monotonic() < end and any(p.poll() is None for p in group):
            for p in group:
                if p.poll() is None:
                    try:
                        os.killpg(p.pid, signal.SIGTERM)
                    except ProcessLookupError:
                        pass
            for p in group:
                try:
                    p.wait(timeout=0.5)
                except subprocess.TimeoutExpired:
                    break
        for p in group:
            if p.poll() is None:
                os.killpg(p.pid, signal.SIGKILL)
                p.wait()

    try:
        # A display number of our own, drawn from a range that servers choosing the first free number
        # never reach; Xvfb's lock refuses a number in use and the next draw is tried. -noreset: a
        # client connecting as the last one leaves would otherwise meet a server in its reset.
        number = b""
        for _ in range(20):
            wanted = str(random.randrange(200, 30000)).encode()
            read_fd, write_fd = os.pipe()
            xvfb = start(["Xvfb", ":" + wanted.decode(), "-displayfd", str(write_fd), "-noreset", "-screen", "0",
                          "800x600x24", "-nolisten", "tcp"],
                         pass_fds=(write_fd,), stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
            os.close(write_fd)
            number = b""
            end = time.monotonic() + 10
            while not number.endswith(b"\n") and time.monotonic() < end:
                chunk = os.read(read_fd, 16)
                if not chunk:
                    break
                number += chunk
            os.close(read_fd)
            if number.strip() == wanted:
                break
            stop([xvfb])
            number = b""
        if not number.strip():
            fail("Xvfb did not start")
        env["DISPLAY"] = ":" + number.decode().strip()
        log("display " + env["DISPLAY"])

        jack_log = open(os.path.join(work, "jackd.log"), "wb")
        jackd = start(["jackd", "-n", env["JACK_DEFAULT_SERVER"], "--no-realtime", "-d", "dummy", "-r", "48000",
                       "-p", "256"], stdout=jack_log, stderr=subprocess.STDOUT)

        def jack_running():
            if jackd.poll() is not None:
                fail("jackd ended: " + open(os.path.join(work, "jackd.log")).read())
            r = subprocess.run(["jack_wait", "-c", "-s", env["JACK_DEFAULT_SERVER"]], env=env, stdout=subprocess.PIPE,
                               stderr=subprocess.DEVNULL)
            return r.stdout.startswith(b"running")

        wait_for("the JACK server", jack_running, 20)
        log("JACK running")

        def start_jalv(args, name):
            # Line-buffered, so that what jalv prints is in its log at once.
            path = os.path.join(work, name)
            return start(["stdbuf", "-oL", "-eL"] + args, stdin=subprocess.PIPE, stdout=open(path, "wb"),
                         stderr=subprocess.STDOUT), path

        def text(path):
            return open(path, errors="replace").read()

        def port_values(path, traced):
            # The OutGain values in jalv's listing of the ports when it starts ("OutGain = V" lines),
            # or in the plug-in's trace messages ("Marovex: OutGain = V", after jalv's "trace: "
            # prefix, which the GTK front end writes apart), oldest first.
            pattern = re.compile(r"(?:^|: )Marovex: OutGain = ([0-9.]+)$" if traced else r"^OutGain = ([0-9.]+)$")
            return [float(m.group(1)) for m in map(pattern.search, text(path).splitlines()) if m]

        def window(jalv, path):
            if jalv.poll() is not None:
                fail("jalv ended early:\n" + text(path))
            r = subprocess.run(["xdotool", "search", "--onlyvisible", "--name", WINDOW_NAME], env=env,
                               stdout=subprocess.PIPE, stderr=subprocess.DEVNULL)
            ids = r.stdout.split()
            return ids[0].decode() if ids else None

        def knob_picture(win):
            r = subprocess.run(["import", "-window", win, "-crop", "%dx%d+%d+%d" % (FRAME[2], FRAME[2], FRAME[0],
                                                                                 FRAME[1]),
                                "-depth", "8", "rgb:-"], env=env, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL,
                               timeout=10)
            if len(r.stdout) != FRAME[2] * FRAME[2] * 3:
                fail("import read %d bytes of the knob" % len(r.stdout))
            return r.stdout

        def drag_up(win, path):
            # A drag upwards by 60 pixels, in steps, so that the editor sees the movement whatever the
            # load (one xdotool run). Returns the OutGain values the plug-in traced, once they stop
            # changing (the drag's last step is the port's value).
            geometry = subprocess.run(["xdotool", "getwindowgeometry", "--shell", win], env=env,
                                      stdout=subprocess.PIPE).stdout.decode()
            pos = dict(line.split("=", 1) for line in geometry.split() if "=" in line)
            x, y = int(pos.get("X", 0)) + KNOB[0], int(pos.get("Y", 0)) + KNOB[1]
            drag = ["xdotool", "mousemove", "--sync", str(x), str(y), "mousedown", "1"]
            for step in range(1, 11):
                drag += ["mousemove", "--sync", str(x), str(y - 6 * step), "sleep", "0.05"]
            drag += ["mouseup", "1"]
            subprocess.run(drag, env=env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, timeout=10)
            log("dragged")
            last = [None, time.monotonic()]

            def settled():
                values = port_values(path, True)
                if values and values[-1] != last[0]:
                    last[:] = [values[-1], time.monotonic()]
                return values if values and time.monotonic() - last[1] > 0.5 else None

            return wait_for("the plug-in to see the OutGain port change", settled, 15, lambda: text(path))

        jalv, jalv_path = start_jalv(["jalv", "-s", "-t", "-n", CLIENT, URI], "jalv.log")
        simple_log = open(os.path.join(work, "simple.log"), "wb")
        simple = start(["jack_simple_client"], stdout=simple_log, stderr=subprocess.STDOUT)

        def ports():
            if simple.poll() is not None:
                fail("jack_simple_client ended:\n" + open(os.path.join(work, "simple.log"), errors="replace").read())
            r = subprocess.run(["jack_lsp"], env=env, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL)
            names = r.stdout.decode().split()
            return all(p in names for p in ("jack_simple_client:output1", CLIENT + ":in_l", CLIENT + ":out_l"))

        win = wait_for("the editor window", lambda: window(jalv, jalv_path), 15)
        log("editor shown")
        wait_for("the JACK ports", ports, 10, lambda: subprocess.run(["jack_lsp"], env=env, stdout=subprocess.PIPE,
                                                                      stderr=subprocess.STDOUT).stdout.decode())
        for a, b in (("jack_simple_client:output1", "in_l"), ("jack_simple_client:output2", "in_r")):
            subprocess.run(["jack_connect", a, CLIENT + ":" + b], env=env, stdout=subprocess.DEVNULL,
                           stderr=subprocess.DEVNULL, timeout=5)

        def level(name):
            path = os.path.join(work, name)
            subprocess.run(["jack_rec", "-f", path, "-d", "1", CLIENT + ":out_l"], env=env, stdout=subprocess.DEVNULL,
                           stderr=subprocess.DEVNULL, timeout=10)
            with wave.open(path) as w:
                frames = w.readframes(w.getnframes())
                width = w.getsampwidth()
            if width != 2 or not frames:
                fail("jack_rec wrote no 16-bit audio")
            samples = array.array("h", frames)
            return math.sqrt(sum(float(x) * x for x in samples) / len(samples))

        log("ports connected")
        if wait_for("jalv's control values", lambda: port_values(jalv_path, False), 10,
                    lambda: text(jalv_path)) != [0.5]:
            fail("jalv's OutGain port does not start at its default 0.5:\n" + text(jalv_path))
        before = level("before.wav")
        # The knob as drawn once the editor has settled: two pictures in a row alike.
        pictures = [knob_picture(win)]

        def steady():
            time.sleep(0.2)
            pictures.append(knob_picture(win))
            return pictures[-1] == pictures[-2] and pictures[-1]

        knob_before = wait_for("the editor to settle", steady, 10)
        log("recorded before")
        if not before > 0:
            fail("no audio comes through the plug-in")
        port = drag_up(win, jalv_path)[-1]
        log("OutGain port %.3f" % port)
        if not 0.5 < port <= 1.0:
            fail("after the drag the OutGain port holds %.3f, not more than 0.5" % port)
        if knob_picture(win) == knob_before:
            fail("the OutGain knob looks as it did before the drag")
        after = level("after.wav")
        log("recorded after")
        # The output gain is 2 x OutGain: the drag raised the port from its default 0.5.
        if not after > 1.2 * before:
            fail("dragging the OutGain knob up changed the output level from %.1f to %.1f" % (before, after))
        stop([jalv])
        log("console jalv stopped")

        # The other way: jalv's GTK front end (no menu, so the editor sits at the window's corner)
        # starts with the port at 0.25 and hands the editor that value. The drag moves the knob from
        # where it stands, so the traced values start just above 0.25; an editor that showed the
        # default 0.5 instead would send values above 0.5 only.
        gtk_note = ""
        if shutil.which("jalv.gtk3") is not None:
            gtk, gtk_path = start_jalv(["jalv.gtk3", "-n", "-t", "-c", "OutGain=0.25", "--jack-name", CLIENT + "-gtk",
                                        URI], "jalv-gtk.log")
            win = wait_for("the GTK front end's window", lambda: window(gtk, gtk_path), 15)
            if wait_for("jalv's control values", lambda: port_values(gtk_path, False), 10,
                        lambda: text(gtk_path))[:1] != [0.25]:
                fail("jalv.gtk3's OutGain port does not start at 0.25:\n" + text(gtk_path))
            values = drag_up(win, gtk_path)
            log("OutGain port %.3f -> %.3f" % (values[0], values[-1]))
            if not 0.25 < values[0] < 0.5 or not values[-1] > values[0]:
                fail("the drag from the host's 0.25 sent OutGain %s" % values)
            gtk_note = "; from the host's 0.25 in jalv.gtk3: %.3f -> %.3f" % (values[0], values[-1])
            # The wheel (three notches up), the Up key on the knob under the pointer and a double click
            # (the default, 0.5) reach the port through the editor too.
            geometry = subprocess.run(["xdotool", "getwindowgeometry", "--shell", win], env=env,
                                      stdout=subprocess.PIPE).stdout.decode()
            pos = dict(line.split("=", 1) for line in geometry.split() if "=" in line)
            x, y = int(pos.get("X", 0)) + KNOB[0], int(pos.get("Y", 0)) + KNOB[1]
            steps = []
            for action, expected in ((["click", "--repeat", "3", "--delay", "60", "4"], values[-1] + 0.03),
                                     (["key", "Up"], values[-1] + 0.04), (["click", "--repeat", "2", "--delay", "80", "1"], 0.5)):
                subprocess.run(["xdotool", "mousemove", str(x), str(y)] + action, env=env,
                               stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, timeout=10)
                wait_for("OutGain %.3f after %s" % (expected, " ".join(action)),
                         lambda: abs(port_values(gtk_path, True)[-1] - expected) < 1e-4, 15, lambda: text(gtk_path))
                steps.append(expected)
            gtk_note += "; wheel, Up and double click: " + ", ".join("%.3f" % v for v in steps)
        print("PASS: OutGain port 0.5 -> %.3f, output level %.1f -> %.1f after the drag (x%.2f)%s" %
              (port, before, after, after / before, gtk_note))
        return 0
    finally:
        # Clients first, then the JACK server (given time to remove its entry), then the display.
        for group in (processes[2:], processes[1:2], processes[:1]):
            stop(group)
        log("stopped")
        shutil.rmtree(work, ignore_errors=True)
        log("removed")


if __name__ == "__main__":
    sys.exit(main())
