# Stand-in for the program openvpn: serves the management interface on the
# address, port and password file given after --management (or, as the privileged
# service starts it, on a "management" line of the file after --config), as OpenVPN
# does with --management-hold and --management-query-passwords, and plays a
# dialogue the test scripted. It never touches the network beyond that loopback port.
#
# Environment:
#   NOXEL_FAKE_OPENVPN_DIR       folder for the record ("record", one line each)
#   NOXEL_FAKE_OPENVPN_MODE      "serve" (default); "noport": never opens the port;
#                                "exit": exits at once with code 1
#   NOXEL_FAKE_OPENVPN_DIALOGUE  file of dialogue lines, played on the first
#                                management connection:
#     send TEXT      sends TEXT and CR LF
#     expect TEXT    reads one command; a different one ends the dialogue
#     wait MS        sleeps
#     waitfile PATH  waits until PATH exists
#     exit CODE      closes the connection and exits
#   NOXEL_FAKE_OPENVPN_STUBBORN  "1": ignores SIGTERM and "signal SIGTERM", like an
#                                OpenVPN that hangs while closing (SIGKILL still ends it);
#                                "signal": ignores only the signal SIGTERM
#
# The record gets every command received, as sent, and events starting with "#".
# The program ends on SIGTERM and on the command "signal SIGTERM".

import os
import shlex
import signal
import socket
import stat
import sys
import time

record_dir = os.environ.get("NOXEL_FAKE_OPENVPN_DIR", ".")


def record(line):
    fd = os.open(os.path.join(record_dir, "record"), os.O_WRONLY | os.O_APPEND | os.O_CREAT, 0o600)
    try:
        os.write(fd, (line + "\n").encode("utf-8", "replace"))
    finally:
        os.close(fd)


stubborn = os.environ.get("NOXEL_FAKE_OPENVPN_STUBBORN") == "1"
deaf_to_signal = stubborn or os.environ.get("NOXEL_FAKE_OPENVPN_STUBBORN") == "signal"


def on_sigterm(signum, frame):
    record("#SIGTERM")
    if not deaf_to_signal:
        os._exit(0)


signal.signal(signal.SIGTERM, on_sigterm)
# Never outlive a test that lost track of it.
signal.alarm(int(os.environ.get("NOXEL_FAKE_OPENVPN_LIFETIME", "240")))

args = sys.argv[1:]
with open(os.path.join(record_dir, "pids"), "a") as pids:
    pids.write("%d\n" % os.getpid())
record("#start %d" % os.getpid())
record("#args " + "\x1f".join(args))

mode = os.environ.get("NOXEL_FAKE_OPENVPN_MODE", "serve")
if mode == "exit":
    record("#exit 1")
    sys.exit(1)


def management_from_config():
    at = args.index("--config")
    with open(args[at + 1], encoding="utf-8") as f:
        for line in f:
            words = shlex.split(line)
            if len(words) == 4 and words[0] == "management":
                return words[1:]
    raise ValueError("no management line")


try:
    if "--management" in args:
        at = args.index("--management")
        host, port, password_file = args[at + 1], int(args[at + 2]), args[at + 3]
    else:
        host, port, password_file = management_from_config()
        port = int(port)
except (OSError, ValueError, IndexError):
    record("#no management arguments")
    sys.exit(2)

try:
    record("#pwmode %o" % stat.S_IMODE(os.stat(password_file).st_mode))
except OSError:
    record("#pwmode missing")

if mode == "noport":
    while True:
        signal.pause()

dialogue = []
dialogue_file = os.environ.get("NOXEL_FAKE_OPENVPN_DIALOGUE")
if dialogue_file:
    with open(dialogue_file, encoding="utf-8") as f:
        dialogue = [line.rstrip("\n") for line in f if line.strip()]

listener = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
listener.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
listener.bind((host, port))
listener.listen(1)
record("#listening")


class Peer:
    def __init__(self, conn):
        self.conn = conn
        self.buffer = b""

    def send(self, text):
        self.conn.sendall(text.encode("utf-8"))

    # One line without its CR LF; None when the peer has gone.
    def read_line(self):
        while b"\n" not in self.buffer:
            data = self.conn.recv(4096)
            if not data:
                return None
            self.buffer += data
        line, self.buffer = self.buffer.split(b"\n", 1)
        return line.rstrip(b"\r").decode("utf-8", "replace")

    # The next command, recorded; a "signal SIGTERM" ends the program.
    def read_command(self):
        line = self.read_line()
        if line is None:
            return None
        record(line)
        if line == "signal SIGTERM" and not stubborn:
            self.send("SUCCESS: signal SIGTERM thrown\r\n")
            self.conn.close()
            record("#exit 0")
            os._exit(0)
        return line


def play(peer):
    for step in dialogue:
        verb, _, text = step.partition(" ")
        if verb == "send":
            peer.send(text + "\r\n")
        elif verb == "expect":
            got = peer.read_command()
            if got is None:
                return False
            if got != text:
                record("#mismatch, wanted: " + text)
                return True
        elif verb == "wait":
            time.sleep(int(text) / 1000.0)
        elif verb == "waitfile":
            while not os.path.exists(text):
                time.sleep(0.02)
        elif verb == "exit":
            peer.conn.close()
            record("#exit " + text)
            os._exit(int(text))
        else:
            record("#bad dialogue line: " + step)
    record("#dialogue done")
    return True


played = False
while True:
    conn, _ = listener.accept()
    peer = Peer(conn)
    try:
        peer.send("ENTER PASSWORD:")
        given = peer.read_line()
        with open(password_file, encoding="utf-8") as f:
            expected = f.readline().rstrip("\r\n")
        if given is None or given != expected or not expected:
            record("#password bad")
            peer.send("ERROR: bad password\r\n")
            conn.close()
            continue
        record("#password ok")
        peer.send("SUCCESS: password is correct\r\n")
        if not played:
            played = True
            if not play(peer):
                record("#peer gone")
                conn.close()
                continue
        while peer.read_command() is not None:
            pass
        record("#peer gone")
        conn.close()
    except OSError as error:
        record("#socket error " + str(error))
        conn.close()
