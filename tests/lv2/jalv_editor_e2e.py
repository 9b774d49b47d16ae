#!/usr/bin/env python3
"""End to end: jalv (console, JACK's dummy driver, under Xvfb) runs the stereo plug-in and shows
its editor; a mouse drag on the InGain knob made with xdotool changes the InGain control port as
jalv reports it.

Usage: jalv_editor_e2e.py BUNDLE_DIR. Exit 0 passed, 1 failed, 77 skipped (a tool is missing).
Every wait is bounded; the whole run takes at most about 30 seconds, also on a loaded machine.
"""
import os
import re
import shutil
import signal
import subprocess
import sys
import tempfile
import time

URI = "urn:halvik:marovex:stereo"
WINDOW_NAME = "Marovex Stereo"
# The InGain knob's centre in the editor (its 50-pixel film frame at 9, 232).
KNOB = (34, 257)
DEADLINE = time.monotonic() + 30.0


def fail(message):
    print("FAIL: " + message)
    sys.exit(1)


def wait_for(what, predicate, seconds):
    end = min(time.monotonic() + seconds, DEADLINE)
    while time.monotonic() < end:
        value = predicate()
        if value:
            return value
        time.sleep(0.1)
    fail("timed out waiting for " + what)


def main():
    if len(sys.argv) != 2:
        print(__doc__)
        return 2
    for tool in ("Xvfb", "jackd", "jalv", "xdotool"):
        if shutil.which(tool) is None:
            print("SKIP: %s is not installed" % tool)
            return 77

    work = tempfile.mkdtemp(prefix="marovex-jalv-")
    os.symlink(os.path.abspath(sys.argv[1]), os.path.join(work, "Marovex.lv2"))
    env = dict(os.environ)
    env["LV2_PATH"] = work
    env["JACK_DEFAULT_SERVER"] = "marovex-e2e-%d" % os.getpid()
    env["JACK_NO_AUDIO_RESERVATION"] = "1"
    env.pop("DBUS_SESSION_BUS_ADDRESS", None)
    processes = []

    def start(args, **kw):
        p = subprocess.Popen(args, env=env, start_new_session=True, **kw)
        processes.append(p)
        return p

    try:
        # A free display: Xvfb writes the number it took.
        read_fd, write_fd = os.pipe()
        start(["Xvfb", "-displayfd", str(write_fd), "-screen", "0", "800x600x24", "-nolisten", "tcp"],
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
        if not number.strip():
            fail("Xvfb did not start")
        env["DISPLAY"] = ":" + number.decode().strip()

        start(["jackd", "-n", env["JACK_DEFAULT_SERVER"], "--no-realtime", "-d", "dummy", "-r", "48000", "-p", "256"],
              stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        wait_for("the JACK server", lambda: subprocess.run(
            ["jack_wait", "-c", "-s", env["JACK_DEFAULT_SERVER"]], env=env, stdout=subprocess.PIPE,
            stderr=subprocess.DEVNULL).stdout.startswith(b"running") if shutil.which("jack_wait") else True, 10)

        jalv = start(["jalv", "-s", "-n", "marovex-e2e", URI], stdin=subprocess.PIPE, stdout=subprocess.PIPE,
                     stderr=subprocess.STDOUT)
        os.set_blocking(jalv.stdout.fileno(), False)
        output = bytearray()

        def read_output():
            try:
                chunk = jalv.stdout.read()
            except (BlockingIOError, TypeError):
                chunk = None
            if chunk:
                output.extend(chunk)
            if jalv.poll() is not None:
                fail("jalv ended early:\n" + output.decode(errors="replace"))
            return output.decode(errors="replace")

        def in_gain():
            jalv.stdin.write(b"controls\n")
            jalv.stdin.flush()
            time.sleep(0.3)
            found = re.findall(r"^InGain = ([0-9.]+)", read_output(), re.M)
            return float(found[-1]) if found else None

        def window():
            r = subprocess.run(["xdotool", "search", "--onlyvisible", "--name", WINDOW_NAME], env=env,
                               stdout=subprocess.PIPE, stderr=subprocess.DEVNULL)
            ids = r.stdout.split()
            return ids[0].decode() if ids else None

        win = wait_for("the editor window", window, 15)
        before = wait_for("jalv's controls", in_gain, 5)
        if abs(before - 0.5) > 1e-6:
            fail("InGain starts at %s, not at its default 0.5" % before)

        geometry = subprocess.run(["xdotool", "getwindowgeometry", "--shell", win], env=env,
                                  stdout=subprocess.PIPE).stdout.decode()
        pos = dict(line.split("=", 1) for line in geometry.split() if "=" in line)
        x, y = int(pos.get("X", 0)) + KNOB[0], int(pos.get("Y", 0)) + KNOB[1]
        # A drag upwards, in steps, so that the editor sees the movement whatever the load.
        commands = [["mousemove", "--sync", str(x), str(y)], ["mousedown", "1"]]
        for step in range(1, 11):
            commands.append(["mousemove", "--sync", str(x), str(y - 6 * step)])
        commands.append(["mouseup", "1"])
        for c in commands:
            subprocess.run(["xdotool"] + c, env=env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                           timeout=5)
            time.sleep(0.05)

        after = wait_for("InGain to change", lambda: (lambda v: v if v is not None and abs(v - before) > 1e-3
                                                       else None)(in_gain()), 8)
        if not after > before:
            fail("dragging the InGain knob up moved InGain from %s to %s" % (before, after))
        print("PASS: InGain %s -> %s after the drag" % (before, after))
        return 0
    finally:
        for p in reversed(processes):
            try:
                os.killpg(p.pid, signal.SIGTERM)
            except ProcessLookupError:
                pass
        for p in reversed(processes):
            try:
                p.wait(timeout=3)
            except subprocess.TimeoutExpired:
                os.killpg(p.pid, signal.SIGKILL)
                p.wait()
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    sys.exit(main())
