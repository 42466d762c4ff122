"""What the whole-program tests share: the real client as a child process with a
home of its own, the provider simulator, and checks that report what they saw.

The client has no scripting interface: a test drives it through its settings
file and the simulator's data, and proves what it did through the simulator's
records, the client's log on standard error (NOXEL_DEBUG=1), its settings file
and its database.
"""

import configparser
import hashlib
import json
import os
import re
import shutil
import signal
import sqlite3
import subprocess
import sys
import tempfile
import time
import xml.etree.ElementTree as ET

SKIP_STATUS = 77

# Diagnostics of Qt and of the sanitizers that betray bugs in the client.
BUG_WARNINGS = re.compile(r"QProcess: Destroyed while process|QThread: Destroyed while thread|QObject::connect|"
                          r"QObject::disconnect|QObject::startTimer|QObject::killTimer|QSocketNotifier|"
                          r"still in use, all queries will cease|ASSERT|runtime error:|AddressSanitizer|"
                          r"LeakSanitizer")


def say(text):
    print(text, flush=True)


def sha1(text):
    return hashlib.sha1(text.encode("utf-8")).hexdigest()


def tail(text, lines=40):
    return "\n".join(text.splitlines()[-lines:])


def indent(text, prefix="    "):
    return "\n".join(prefix + line for line in text.splitlines())


class Failure(Exception):
    """A step could not go on; its message says what was awaited and what was seen."""


class Checks:
    """Counts checks; a failed one prints why, with what the test knows about the run."""

    def __init__(self):
        self.passed = 0
        self.failed = 0
        self.diagnostics = None  # a callable giving the client's log and the simulator's records

    def check(self, condition, what, detail=""):
        if condition:
            self.passed += 1
            say("PASS: %s" % what)
            return True
        self.failed += 1
        say("FAIL: %s" % what)
        if detail:
            say(indent(detail))
        if self.diagnostics:
            say(indent(self.diagnostics()))
        return False

    def fail(self, what):
        return self.check(False, what)

    def summary(self):
        say("%d passed, %d failed" % (self.passed, self.failed))
        return 1 if self.failed else 0


class Interrupted(BaseException):
    """A signal asked the test to stop; it cleans up and reports before it goes."""

    def __init__(self, number):
        super().__init__("interrupted by signal %d" % number)
        self.number = number


def install_signal_handlers():
    """SIGTERM, SIGINT and SIGHUP end the test through its normal clean-up path."""

    def handler(number, _frame):
        raise Interrupted(number)

    for number in (signal.SIGTERM, signal.SIGINT, signal.SIGHUP):
        signal.signal(number, handler)


# Every wait ends by then, so that a run that goes wrong still ends (and cleans up)
# before the test driver's own time-out kills it without a chance to do so.
_deadline = None


def set_time_limit(seconds):
    global _deadline
    _deadline = time.monotonic() + seconds


def bounded(timeout):
    """timeout, shortened to what is left of the test's time limit."""
    if _deadline is None:
        return timeout
    return max(0.0, min(timeout, _deadline - time.monotonic()))


def wait_for(predicate, timeout, interval=0.1):
    """Polls until predicate() gives something true; returns it, or None after timeout seconds."""
    deadline = time.monotonic() + bounded(timeout)
    while True:
        value = predicate()
        if value:
            return value
        if time.monotonic() >= deadline:
            return None
        time.sleep(interval)


class Simulator:
    """The provider simulator as a child process, optionally inside a network namespace."""

    def __init__(self, simulator_dir, work, data, host="127.0.0.1", namespace=None):
        self.script = os.path.join(simulator_dir, "provider_sim.py")
        self.data_path = os.path.join(work, "sim-data.json")
        self.record_dir = os.path.join(work, "records")
        self.output_path = os.path.join(work, "sim.out")
        self.error_path = os.path.join(work, "sim.err")
        self.host = host
        self.namespace = namespace
        self.process = None
        self.port = None
        self.data = None
        self.set_data(data)

    def start(self, timeout=15, port=0):
        """Starts it on `port` (0: any free one; its port again to bring a stopped simulator back)."""
        command = [sys.executable, self.script, "--host", self.host, "--port", str(port), "--data", self.data_path,
                   "--record", self.record_dir]
        if self.namespace:
            command = ["ip", "netns", "exec", self.namespace] + command
        with open(self.output_path, "wb") as out, open(self.error_path, "wb") as err:
            # A session of its own: only this harness ends it.
            self.process = subprocess.Popen(command, stdin=subprocess.DEVNULL, stdout=out, stderr=err,
                                            start_new_session=True)

        def listening():
            if self.process.poll() is not None:
                raise Failure("the provider simulator exited with status %s:\n%s"
                              % (self.process.returncode, tail(read_text(self.error_path))))
            match = re.search(r"^LISTENING (\d+)$", read_text(self.output_path), re.M)
            return match and int(match.group(1))

        self.port = wait_for(listening, timeout)
        if not self.port:
            raise Failure("the provider simulator did not listen within %ds" % timeout)
        return self.port

    def address(self):
        return "%s:%d" % (self.host, self.port)

    def set_data(self, data):
        """Replaces the simulator's data in one step; it applies from the next envelope on."""
        self.data = data
        temporary = self.data_path + ".new"
        with open(temporary, "w") as f:
            json.dump(data, f, indent=2)
        os.replace(temporary, self.data_path)

    def account(self, username):
        for account in self.data.get("accounts", []):
            if account.get("username") == username:
                return account
        raise KeyError(username)

    def update_account(self, username, **changes):
        data = json.loads(json.dumps(self.data))
        for account in data.get("accounts", []):
            if account.get("username") == username:
                account.update(changes)
        self.set_data(data)

    def set_variable(self, name, kind, value):
        data = json.loads(json.dumps(self.data))
        prefs = data.setdefault("variables", {}).setdefault("prefs", [])
        prefs[:] = [p for p in prefs if p.get("name") != name]
        prefs.append({"type": kind, "name": name, "value": str(value)})
        self.set_data(data)

    def envelopes(self):
        """(number, kind, text) of every envelope received so far, oldest first."""
        result = []
        if not os.path.isdir(self.record_dir):
            return result
        for name in sorted(os.listdir(self.record_dir)):
            match = re.match(r"^(\d{6})-(.*)\.xml$", name)
            if match:
                result.append((int(match.group(1)), match.group(2), read_text(os.path.join(self.record_dir, name))))
        return result

    def last_number(self):
        envelopes = self.envelopes()
        return envelopes[-1][0] if envelopes else 0

    def envelopes_after(self, number, kind=None):
        return [e for e in self.envelopes() if e[0] > number and (kind is None or e[1] == kind)]

    def wait_envelope(self, kind, after, timeout, condition=None, client=None):
        """The first envelope of that kind numbered above `after` (meeting condition), or Failure.
        With `client`, gives up as soon as that client has exited."""

        def found():
            for envelope in self.envelopes_after(after, kind):
                if condition is None or condition(envelope[2]):
                    return envelope
            if client is not None and not client.running():
                raise Failure("the client exited (status %s) while waiting for a '%s' envelope"
                              % (client.process.returncode, kind))
            return None

        envelope = wait_for(found, timeout)
        if not envelope:
            raise Failure("no '%s' envelope reached the simulator within %ds" % (kind, timeout))
        return envelope

    def peer_of(self, number):
        """The address an envelope came from, from the simulator's connection log."""
        for line in read_text(os.path.join(self.record_dir, "connections.log")).splitlines():
            fields = line.split()
            if len(fields) >= 2 and fields[0].startswith("%06d-" % number):
                return fields[1]
        return None

    def describe(self):
        names = ["%06d-%s" % (n, k) for n, k, _ in self.envelopes()]
        text = "simulator records (%d): %s" % (len(names), " ".join(names[-30:]))
        connections = tail(read_text(os.path.join(self.record_dir, "connections.log")), 10)
        if connections:
            text += "\nlast lines of connections.log:\n" + indent(connections)
        errors = tail(read_text(self.error_path), 10)
        if errors:
            text += "\nsimulator's standard error:\n" + indent(errors)
        return text

    def stop(self):
        stop_process(self.process)


def read_text(path):
    try:
        with open(path, "rb") as f:
            return f.read().decode("utf-8", "replace")
    except OSError:
        return ""


def stop_process(process, timeout=5):
    """Ends a child we started and its session: TERM, then KILL after timeout seconds."""
    if process is None or process.poll() is not None:
        return
    try:
        os.killpg(process.pid, signal.SIGTERM)
    except OSError:
        process.terminate()
    try:
        process.wait(timeout)
    except subprocess.TimeoutExpired:
        try:
            os.killpg(process.pid, signal.SIGKILL)
        except OSError:
            process.kill()
        process.wait(5)


def session_members(session):
    """Processes (other than zombies) whose session is `session`."""
    members = []
    for entry in os.listdir("/proc"):
        if not entry.isdigit():
            continue
        try:
            with open("/proc/%s/stat" % entry) as f:
                stat = f.read()
        except OSError:
            continue
        fields = stat[stat.rindex(")") + 2:].split()
        # After the command: state, ppid, pgrp, session, ...
        if fields[0] not in ("Z", "X") and int(fields[3]) == session:
            members.append(int(entry))
    return members


def command_line(pid):
    try:
        with open("/proc/%d/cmdline" % pid, "rb") as f:
            return f.read().replace(b"\0", b" ").decode("utf-8", "replace").strip()
    except OSError:
        return ""


def run(command, timeout=30):
    """A command's exit status and its output (standard error included); -1 when it could not run."""
    try:
        done = subprocess.run(command, stdout=subprocess.PIPE, stderr=subprocess.STDOUT, timeout=timeout)
        return done.returncode, done.stdout.decode("utf-8", "replace")
    except (OSError, subprocess.TimeoutExpired) as error:
        return -1, str(error)


def stats_of(text):
    """The <stat> rows of an envelope, as attribute dictionaries."""
    body = ET.fromstring(text).find("body")
    return [dict(stat.attrib) for stat in body.iter("stat")] if body is not None else []


class ClientHome:
    """A home of the client's own: settings, data, runtime and system-scope folders."""

    def __init__(self, work):
        self.root = os.path.join(work, "home")
        self.config = os.path.join(self.root, ".config")
        self.data = os.path.join(self.root, ".local", "share")
        self.cache = os.path.join(self.root, ".cache")
        self.runtime = os.path.join(work, "runtime")
        self.system = os.path.join(work, "etc")
        self.tmp = os.path.join(work, "tmp")
        for path in (self.config, self.data, self.cache, self.system, self.tmp):
            os.makedirs(path, exist_ok=True)
        os.makedirs(self.runtime, mode=0o700, exist_ok=True)

    @property
    def settings_path(self):
        return os.path.join(self.config, "Noxel", "Noxel.conf")

    @property
    def database_path(self):
        # Qt's application data folder: XDG_DATA_HOME/<organisation>/<application>.
        return os.path.join(self.data, "Noxel", "Noxel", "db", "main.sqlite")

    def environment(self, api_address):
        env = {
            "PATH": os.environ.get("PATH", "/usr/local/bin:/usr/bin:/bin:/usr/local/sbin:/usr/sbin:/sbin"),
            "HOME": self.root,
            "XDG_CONFIG_HOME": self.config,
            "XDG_DATA_HOME": self.data,
            "XDG_CACHE_HOME": self.cache,
            "XDG_RUNTIME_DIR": self.runtime,
            # The single-instance guard lives in XDG_RUNTIME_DIR (above): a client of
            # the machine's own user session is not "this" program.
            "TMPDIR": self.tmp,
            "NOXEL_SYSTEM_CONFIG_DIR": self.system,
            "NOXEL_API_ADDRESSES": api_address,
            "NOXEL_DEBUG": "1",
            "QT_QPA_PLATFORM": "offscreen",
            "LANG": "C.UTF-8",
            "LC_ALL": "C.UTF-8",
        }
        for name in ("ASAN_OPTIONS", "UBSAN_OPTIONS", "LSAN_OPTIONS"):
            if name in os.environ:
                env[name] = os.environ[name]
        return env

    def read_settings(self):
        parser = configparser.ConfigParser(interpolation=None)
        parser.optionxform = str
        try:
            parser.read(self.settings_path)
        except configparser.Error:
            return {}
        return dict(parser["General"]) if parser.has_section("General") else {}

    def write_settings(self, values):
        """Merges `values` into [General] of the settings file (None removes a key)."""
        parser = configparser.ConfigParser(interpolation=None)
        parser.optionxform = str
        if os.path.exists(self.settings_path):
            parser.read(self.settings_path)
        if not parser.has_section("General"):
            parser.add_section("General")
        for key, value in values.items():
            if value is None:
                parser.remove_option("General", key)
            elif isinstance(value, bool):
                parser.set("General", key, "true" if value else "false")
            else:
                parser.set("General", key, str(value))
        os.makedirs(os.path.dirname(self.settings_path), exist_ok=True)
        with open(self.settings_path, "w") as f:
            parser.write(f, space_around_delimiters=False)

    def stat_rows(self):
        """Rows of the database's statistics table, or None when it cannot be read."""
        if not os.path.exists(self.database_path):
            return None
        try:
            connection = sqlite3.connect("file:%s?mode=ro" % self.database_path, uri=True, timeout=5)
            try:
                return connection.execute("SELECT server_uid, stat_proto, stat_status FROM stat").fetchall()
            finally:
                connection.close()
        except sqlite3.Error as error:
            say("cannot read %s: %s" % (self.database_path, error))
            return None


class Client:
    """One run of the real program; its standard error (the log) goes to a file."""

    def __init__(self, binary, home, api_address, log_path, command_prefix=()):
        self.binary = binary
        # A program that execs the client as its last step (setpriv to start it as another user).
        self.command_prefix = list(command_prefix)
        self.home = home
        self.api_address = api_address
        self.log_path = log_path
        self.process = None
        self.started_at = None

    def start(self, arguments=()):
        with open(self.log_path, "wb") as log:
            self.started_at = time.monotonic()
            # A session of its own, so that what it starts (OpenVPN) can be found afterwards
            # and no terminal signal meant for the test reaches it.
            self.process = subprocess.Popen(self.command_prefix + [self.binary] + list(arguments),
                                            env=self.home.environment(self.api_address), cwd=self.home.root,
                                            stdin=subprocess.DEVNULL, stdout=log, stderr=subprocess.STDOUT,
                                            start_new_session=True)
        return self.process.pid

    @property
    def pid(self):
        return self.process.pid if self.process else None

    def running(self):
        return self.process is not None and self.process.poll() is None

    def log(self):
        return read_text(self.log_path)

    def log_lines(self):
        return self.log().splitlines()

    def find(self, pattern, after=0):
        """Index of the first log line from `after` on matching the regular expression, or None."""
        expression = re.compile(pattern)
        lines = self.log_lines()
        for index in range(after, len(lines)):
            if expression.search(lines[index]):
                return index
        return None

    def wait_log(self, pattern, timeout, after=0):
        """Index of the first line matching pattern; Failure after timeout or when the client exits."""

        def found():
            index = self.find(pattern, after)
            if index is not None:
                return index + 1  # never 0, so that wait_for sees it
            if not self.running():
                raise Failure("the client exited (status %s) while waiting for /%s/ in its log"
                              % (self.process.returncode, pattern))
            return None

        index = wait_for(found, timeout)
        if index is None:
            raise Failure("the client's log shows no /%s/ within %ds" % (pattern, timeout))
        return index - 1

    def terminate(self, timeout):
        """Sends SIGTERM; the exit status, or None when the client did not exit within timeout seconds.
        Failure when the client was no longer running."""
        if not self.running():
            raise Failure("the client had already exited (status %s) before SIGTERM"
                          % (self.process.returncode if self.process else "never started"))
        self.process.send_signal(signal.SIGTERM)
        try:
            return self.process.wait(max(1.0, bounded(timeout)))
        except subprocess.TimeoutExpired:
            return None

    def leftovers(self):
        """Processes still in the client's session (it started in a session of its own)."""
        if self.process is None:
            return []
        return [pid for pid in session_members(self.process.pid) if pid != os.getpid()]

    def kill(self):
        stop_process(self.process, timeout=3)
        # What it started and left (OpenVPN) shares its session.
        for pid in self.leftovers():
            try:
                os.kill(pid, signal.SIGKILL)
            except OSError:
                pass

    def bug_warnings(self):
        return [line for line in self.log_lines() if BUG_WARNINGS.search(line)]

    def describe(self):
        state = "running" if self.running() else "exited with %s" % (self.process.returncode if self.process else "-")
        return "client (%s), last lines of its log:\n%s" % (state, indent(tail(self.log(), 40)))


def make_work_folder(prefix):
    return tempfile.mkdtemp(prefix=prefix, dir=os.environ.get("TMPDIR") or None)


def remove_work_folder(work, keep):
    if keep:
        say("kept the test's files in %s" % work)
    else:
        shutil.rmtree(work, ignore_errors=True)

