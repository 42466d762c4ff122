#!/usr/bin/env python3
"""A stand-in for systemd's handling of one service unit, and for systemctl.

  fakesystemd.py serve --unit FILE --socket PATH --runtime-root DIR --exec INSTALLED=BUILT
                       [--setenv NAME=VALUE]... --record FILE --journal FILE
  systemctl ARGUMENTS...   (a copy of this file by that name, beside the socket)

"serve" runs as root. It reads ExecStart, RuntimeDirectory, RuntimeDirectoryMode,
KillSignal and TimeoutStopSec from the unit file and answers, on a Unix socket anyone
may use, the systemctl command lines a desktop client gives: --version, "show
--property=ActiveState --value UNIT", "start --no-block UNIT", "stop --no-block UNIT"
and "reset-failed UNIT"; anything else exits 2. A start creates DIR/<RuntimeDirectory>
with the unit's mode and runs ExecStart (its installed program replaced by the built
one) as root with a clean environment, NOXEL_OPENVPN_RUN_DIR naming that folder, its
output into the journal file. A stop sends KillSignal, then SIGKILL after
TimeoutStopSec. As with systemd (Type=simple), the unit is "active" once the program
runs, "deactivating" while it stops, then "inactive", or "failed" when the program
ended with a non-zero status or had to be killed; the runtime folder goes with it.
Every command line is recorded with the caller's user id, as a JSON line [uid, arguments].

The systemctl copy forwards its arguments to the socket beside it, prints the answer
and exits with its status.
"""

import argparse
import configparser
import json
import os
import shlex
import shutil
import signal
import socket
import socketserver
import struct
import subprocess
import sys
import threading
import time

CLEAN_PATH = "/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin"


class Unit:
    def __init__(self, args):
        parser = configparser.ConfigParser(interpolation=None, strict=False)
        parser.optionxform = str
        parser.read(args.unit)
        service = parser["Service"]
        self.name = os.path.basename(args.unit)
        command = shlex.split(service["ExecStart"])
        programs = dict(item.split("=", 1) for item in args.exec)
        self.command = [programs.get(command[0], command[0])] + command[1:]
        self.runtime = os.path.join(args.runtime_root, service["RuntimeDirectory"])
        self.runtime_mode = int(service.get("RuntimeDirectoryMode", "0755"), 8)
        self.kill_signal = signal.Signals[service.get("KillSignal", "SIGTERM")]
        self.stop_timeout = float(service.get("TimeoutStopSec", "90"))
        self.environment = {"PATH": CLEAN_PATH, "NOXEL_OPENVPN_RUN_DIR": self.runtime}
        self.environment.update(item.split("=", 1) for item in args.setenv)
        self.journal = args.journal
        self.lock = threading.Lock()
        self.state = "inactive"
        self.process = None
        self.ended = None
        self.killed = False

    def start(self):
        # A start while the unit stops runs once it has stopped.
        while self.state == "deactivating":
            time.sleep(0.01)
        with self.lock:
            if self.state != "inactive" and self.state != "failed":
                return
            shutil.rmtree(self.runtime, ignore_errors=True)
            os.makedirs(self.runtime, mode=self.runtime_mode)
            os.chmod(self.runtime, self.runtime_mode)
            with open(self.journal, "ab") as journal:
                self.process = subprocess.Popen(self.command, env=self.environment, cwd="/", stdin=subprocess.DEVNULL,
                                                stdout=journal, stderr=journal, process_group=0)
            self.killed = False
            self.state = "active"
            self.ended = threading.Event()
            threading.Thread(target=self.watch, args=(self.process, self.ended), daemon=True).start()

    def watch(self, process, ended):
        # The program's name before it is reaped tells whether it went on to run another.
        os.waitid(os.P_PID, process.pid, os.WEXITED | os.WNOWAIT)
        with open("/proc/%d/comm" % process.pid) as f:
            name = f.read().strip()
        status = process.wait()
        with self.lock:
            shutil.rmtree(self.runtime, ignore_errors=True)
            # Ended by the unit's own kill signal in a stop: a clean end, as systemd sees it.
            clean = status == 0 or (self.state == "deactivating" and status == -self.kill_signal)
            self.state = "inactive" if clean and not self.killed else "failed"
            with open(self.journal, "a") as journal:
                journal.write("fakesystemd: %s: main process %d (%s) ended with status %d; the unit is %s\n"
                              % (self.name, process.pid, name, status, self.state))
        ended.set()

    def reset_failed(self):
        with self.lock:
            if self.state == "failed":
                self.state = "inactive"

    def stop(self, wait=False):
        with self.lock:
            if self.state != "active":
                return
            self.state = "deactivating"
        stopper = threading.Thread(target=self.end, args=(self.process, self.ended), daemon=True)
        stopper.start()
        if wait:
            stopper.join()

    def end(self, process, ended):
        try:
            os.killpg(process.pid, self.kill_signal)
        except ProcessLookupError:
            pass
        if not ended.wait(self.stop_timeout):
            self.killed = True
            os.killpg(process.pid, signal.SIGKILL)
            ended.wait()


def answer(unit, arguments):
    """(standard output, exit status) of systemctl with these arguments."""
    if arguments == ["--version"]:
        return "systemd 252 (252-fakesystemd)\n", 0
    if len(arguments) == 4 and arguments[:3] == ["show", "--property=ActiveState", "--value"]:
        return "%s\n" % (unit.state if arguments[3] == unit.name else "inactive"), 0
    if len(arguments) == 3 and arguments[0] in ("start", "stop") and arguments[1] == "--no-block":
        if arguments[2] != unit.name:
            return "Unit %s not found.\n" % arguments[2], 5
        (unit.start if arguments[0] == "start" else unit.stop)()
        return "", 0
    if len(arguments) == 2 and arguments[0] == "reset-failed" and arguments[1] == unit.name:
        unit.reset_failed()
        return "", 0
    return "this stand-in does not know: systemctl %s\n" % " ".join(arguments), 2


def serve(args):
    unit = Unit(args)
    record_lock = threading.Lock()

    class Handler(socketserver.StreamRequestHandler):
        def handle(self):
            credentials = self.request.getsockopt(socket.SOL_SOCKET, socket.SO_PEERCRED, struct.calcsize("3i"))
            uid = struct.unpack("3i", credentials)[1]
            arguments = json.loads(self.rfile.readline())
            with record_lock, open(args.record, "a") as record:
                record.write(json.dumps([uid, arguments]) + "\n")
            output, status = answer(unit, arguments)
            self.wfile.write(json.dumps({"output": output, "status": status}).encode() + b"\n")

    if os.path.exists(args.socket):
        os.unlink(args.socket)
    server = socketserver.ThreadingUnixStreamServer(args.socket, Handler)
    os.chmod(args.socket, 0o666)

    def terminate(_number, _frame):
        threading.Thread(target=server.shutdown, daemon=True).start()

    signal.signal(signal.SIGTERM, terminate)
    signal.signal(signal.SIGINT, terminate)
    print("READY", flush=True)
    server.serve_forever(poll_interval=0.1)
    # Going down, as systemd does: the unit is stopped first.
    unit.stop(wait=True)
    os.unlink(args.socket)


def forward():
    path = os.path.join(os.path.dirname(os.path.abspath(__file__)), "systemd.socket")
    try:
        with socket.socket(socket.AF_UNIX, socket.SOCK_STREAM) as connection:
            connection.connect(path)
            connection.sendall(json.dumps(sys.argv[1:]).encode() + b"\n")
            reply = json.loads(connection.makefile("rb").readline())
    except (OSError, ValueError) as error:
        sys.stderr.write("System has not been booted with systemd as init system (%s)\n" % error)
        return 1
    (sys.stdout if reply["status"] == 0 else sys.stderr).write(reply["output"])
    return reply["status"]


def main():
    if os.path.basename(sys.argv[0]) == "systemctl":
        return forward()
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("mode", choices=["serve"])
    parser.add_argument("--unit", required=True)
    parser.add_argument("--socket", required=True)
    parser.add_argument("--runtime-root", required=True)
    parser.add_argument("--exec", action="append", default=[], help="INSTALLED=BUILT program path")
    parser.add_argument("--setenv", action="append", default=[], help="NAME=VALUE for the program")
    parser.add_argument("--record", required=True)
    parser.add_argument("--journal", required=True)
    serve(parser.parse_args())
    return 0


if __name__ == "__main__":
    sys.exit(main())
