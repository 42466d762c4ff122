#!/usr/bin/env python3
"""Start-up time and resident memory of the real program, beside the previous commit.

  bench_startup.py [--client PATH] [--base REF] [--runs N] [--idle S] [--poll-seconds S]
                   [--base-client PATH | --overlay FILE...]

Builds REF (HEAD~1 unless told) in a temporary git worktree (tests and benchmarks
off, only the program, same build type as --client's build folder), measures both
programs against the provider simulator on 127.0.0.1, prints each figure beside
the previous commit's and removes the worktree again.

- start-up: from process start to the first server list shown, that is the log line
  "Server list updated: N servers" (NOXEL_DEBUG=1); a program older than that line
  is timed to its first "Ping:" line, which follows the list straight away. Median
  of --runs starts with a fresh home and stored credentials. Beside it, when the
  "vpn-servers" request reached the provider, taken the same way for both.
- memory: VmRSS from /proc/<pid>/status after --idle seconds idle (status every
  60 s), and after --poll-seconds seconds with a status poll every second: 60 polls
  are what an hour brings at the default 60 s interval. The growth per poll is
  extrapolated to a day (1,440 polls at 60 s).

Only loopback traffic; every process, the worktree and the temporary folders are
removed at the end, also after a failure.
"""

import argparse
import json
import os
import re
import shutil
import signal
import statistics
import subprocess
import sys
import tempfile
import threading
import time

TOP = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
SIMULATOR_DIR = os.path.join(TOP, "tools", "provider-sim")
LIST_SHOWN = re.compile(r"Server list updated: \d+ servers")
FIRST_PING = re.compile(r"Ping: ")


def say(text):
    print(text, flush=True)


class Interrupted(BaseException):
    pass


def on_signal(number, _frame):
    raise Interrupted("signal %d" % number)


def stop(process, timeout=5):
    if process is None or process.poll() is not None:
        return
    try:
        os.killpg(process.pid, signal.SIGTERM)
    except OSError:
        pass
    try:
        process.wait(timeout)
    except subprocess.TimeoutExpired:
        try:
            os.killpg(process.pid, signal.SIGKILL)
        except OSError:
            pass
        process.wait(5)


class Simulator:
    def __init__(self, folder, update_interval):
        with open(os.path.join(SIMULATOR_DIR, "demo-data.json")) as f:
            data = json.load(f)
        for account in data["accounts"]:
            account["update_interval"] = update_interval
        self.account = data["accounts"][0]
        os.makedirs(folder, exist_ok=True)
        self.record = os.path.join(folder, "records")
        data_path = os.path.join(folder, "data.json")
        with open(data_path, "w") as f:
            json.dump(data, f)
        self.output = os.path.join(folder, "sim.out")
        with open(self.output, "wb") as out, open(os.path.join(folder, "sim.err"), "wb") as err:
            self.process = subprocess.Popen([sys.executable, os.path.join(SIMULATOR_DIR, "provider_sim.py"), "--data",
                                             data_path, "--record", self.record], stdin=subprocess.DEVNULL,
                                            stdout=out, stderr=err, start_new_session=True)
        deadline = time.monotonic() + 15
        self.port = None
        while self.port is None:
            with open(self.output) as f:
                match = re.search(r"LISTENING (\d+)", f.read())
            if match:
                self.port = int(match.group(1))
            elif self.process.poll() is not None or time.monotonic() > deadline:
                raise RuntimeError("the provider simulator did not start")
            else:
                time.sleep(0.05)

    def records(self, kind):
        if not os.path.isdir(self.record):
            return []
        return sorted(os.path.join(self.record, name) for name in os.listdir(self.record)
                      if name.endswith("-%s.xml" % kind))

    def stop(self):
        stop(self.process)


class Run:
    """One start of a program with a fresh home; its log read as it comes, with times."""

    def __init__(self, binary, folder, simulator):
        self.folder = folder
        home = os.path.join(folder, "home")
        config = os.path.join(home, ".config", "Noxel")
        for path in (config, os.path.join(home, ".local", "share"), os.path.join(folder, "tmp"),
                     os.path.join(folder, "etc")):
            os.makedirs(path, exist_ok=True)
        os.makedirs(os.path.join(folder, "runtime"), mode=0o700, exist_ok=True)
        with open(os.path.join(config, "Noxel.conf"), "w") as f:
            f.write("[General]\nwizard_completed=true\nusername=%s\npassword=%s\ntap_version=9.21\n"
                    % (simulator.account["username"], simulator.account["password"]))
        env = {
            "PATH": os.environ.get("PATH", "/usr/bin:/bin"),
            "HOME": home,
            "XDG_CONFIG_HOME": os.path.join(home, ".config"),
            "XDG_DATA_HOME": os.path.join(home, ".local", "share"),
            "XDG_CACHE_HOME": os.path.join(home, ".cache"),
            "XDG_RUNTIME_DIR": os.path.join(folder, "runtime"),
            "TMPDIR": os.path.join(folder, "tmp"),  # the single-instance guard's key lives there
            "NOXEL_SYSTEM_CONFIG_DIR": os.path.join(folder, "etc"),
            "NOXEL_API_ADDRESSES": "127.0.0.1:%d" % simulator.port,
            "NOXEL_DEBUG": "1",
            "QT_QPA_PLATFORM": "offscreen",
            "LANG": "C.UTF-8",
        }
        self.lines = []
        self.lock = threading.Lock()
        self.started_wall = time.time()
        self.started = time.monotonic()
        self.process = subprocess.Popen([binary], env=env, cwd=home, stdin=subprocess.DEVNULL,
                                        stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, start_new_session=True)
        self.reader = threading.Thread(target=self._read, daemon=True)
        self.reader.start()

    def _read(self):
        for raw in self.process.stderr:
            stamp = time.monotonic() - self.started
            with self.lock:
                self.lines.append((stamp, raw.decode("utf-8", "replace")))

    def first(self, expression):
        with self.lock:
            for stamp, line in self.lines:
                if expression.search(line):
                    return stamp
        return None

    def wait(self, expression, timeout):
        deadline = time.monotonic() + timeout
        while time.monotonic() < deadline:
            stamp = self.first(expression)
            if stamp is not None:
                return stamp
            if self.process.poll() is not None:
                break
            time.sleep(0.005)
        return None

    def rss_kib(self):
        with open("/proc/%d/status" % self.process.pid) as f:
            match = re.search(r"^VmRSS:\s+(\d+) kB", f.read(), re.M)
        return int(match.group(1))

    def quit(self):
        if self.process.poll() is None:
            self.process.send_signal(signal.SIGTERM)
            try:
                self.process.wait(10)
            except subprocess.TimeoutExpired:
                pass
        stop(self.process)


def build_type_of(binary):
    cache = os.path.join(os.path.dirname(binary), "CMakeCache.txt")
    try:
        with open(cache) as f:
            match = re.search(r"^CMAKE_BUILD_TYPE:\w+=(\w*)$", f.read(), re.M)
            return match.group(1) if match and match.group(1) else "Release"
    except OSError:
        return "Release"


def git(*arguments):
    return subprocess.run(["git", "-C", TOP] + list(arguments), check=True, stdout=subprocess.PIPE,
                          stderr=subprocess.PIPE).stdout.decode().strip()


def build_base(reference, folder, build_type, jobs, overlay=()):
    """Builds the program of `reference` in a worktree under folder; returns its path.
    `overlay` names files of the working tree copied over the worktree's first."""
    source = os.path.join(folder, "src")
    build = os.path.join(folder, "build")
    git("worktree", "add", "--detach", source, reference)
    for path in overlay:
        target = os.path.join(source, path)
        os.makedirs(os.path.dirname(target), exist_ok=True)
        shutil.copy2(os.path.join(TOP, path), target)
    # Relative paths and no build folder in the hash: ccache finds a former run's objects.
    env = dict(os.environ, CCACHE_BASEDIR=folder, CCACHE_NOHASHDIR="1")
    log = os.path.join(folder, "build.log")
    with open(log, "wb") as out:
        steps = [["cmake", "-S", source, "-B", build, "-G", "Ninja", "-DCMAKE_BUILD_TYPE=" + build_type,
                  "-DNOXEL_BUILD_TESTS=OFF", "-DNOXEL_BUILD_BENCH=OFF"],
                 ["ninja", "-C", build, "-j", str(jobs), "client"]]
        for step in steps:
            if subprocess.run(step, stdout=out, stderr=subprocess.STDOUT, env=env).returncode != 0:
                with open(log, errors="replace") as f:
                    raise RuntimeError("building %s failed:\n%s" % (reference, "".join(f.readlines()[-30:])))
    return os.path.join(build, "noxel")


def remove_worktree(folder):
    source = os.path.join(folder, "src")
    if os.path.isdir(source):
        subprocess.run(["git", "-C", TOP, "worktree", "remove", "--force", source], stdout=subprocess.DEVNULL,
                       stderr=subprocess.DEVNULL)
    subprocess.run(["git", "-C", TOP, "worktree", "prune"], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)


def startup(binary, folder, simulator):
    """(seconds to the list shown, marker name, seconds to the vpn-servers request) of one start."""
    before = set(simulator.records("vpn-servers"))
    run = Run(binary, folder, simulator)
    try:
        shown = run.wait(LIST_SHOWN, 30)
        marker = "list line"
        if shown is None:
            shown = run.wait(FIRST_PING, 5)
            marker = "first ping"
        if shown is None:
            raise RuntimeError("%s never showed a server list:\n%s"
                               % (binary, "".join(line for _, line in run.lines[-20:])))
        fresh = [path for path in simulator.records("vpn-servers") if path not in before]
        asked = os.stat(fresh[0]).st_mtime - run.started_wall if fresh else float("nan")
        return shown, marker, asked
    finally:
        run.quit()


def slope(points):
    """Least-squares slope of y over x; NaN without spread in x."""
    if len(points) < 2:
        return float("nan")
    mean_x = statistics.fmean(x for x, _ in points)
    mean_y = statistics.fmean(y for _, y in points)
    spread = sum((x - mean_x) ** 2 for x, _ in points)
    if not spread:
        return float("nan")
    return sum((x - mean_x) * (y - mean_y) for x, y in points) / spread


def memory(binary, folder, simulator, seconds):
    """(VmRSS KiB once the list is shown, VmRSS KiB after `seconds`, status polls meanwhile,
    KiB a poll from a fit through one sample a second)."""
    run = Run(binary, folder, simulator)
    try:
        if run.wait(LIST_SHOWN, 30) is None and run.wait(FIRST_PING, 5) is None:
            raise RuntimeError("%s never showed a server list" % binary)
        time.sleep(2)  # pings and the geo-IP answer settle
        start = run.rss_kib()
        polls_before = len(simulator.records("status"))
        samples = []
        deadline = time.monotonic() + seconds
        while time.monotonic() < deadline:
            time.sleep(min(1.0, max(0.0, deadline - time.monotonic())))
            if run.process.poll() is not None:
                raise RuntimeError("%s exited during the measurement" % binary)
            samples.append((len(simulator.records("status")) - polls_before, run.rss_kib()))
        end = run.rss_kib()
        polls = len(simulator.records("status")) - polls_before
        return start, end, polls, slope(samples)
    finally:
        run.quit()


def ratio(value, base):
    return "%.2f" % (value / base) if base else "-"


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    default_client = os.path.join(os.environ.get("NOXEL_BUILD_DIR", os.path.join(TOP, "build")), "noxel")
    parser.add_argument("--client", default=default_client, help="the program to measure (%(default)s)")
    parser.add_argument("--base", default="HEAD~1", help="the commit to compare with (%(default)s)")
    parser.add_argument("--base-client", help="an already built program of the base commit (skips the build)")
    parser.add_argument("--runs", type=int, default=5)
    parser.add_argument("--idle", type=float, default=60)
    parser.add_argument("--poll-seconds", type=float, default=60)
    parser.add_argument("--jobs", type=int, default=2)
    parser.add_argument("--overlay", nargs="+", default=[], metavar="FILE",
                        help="files of the working tree (relative to the top folder) to put over the base commit's "
                             "before building it, where that commit does not build on its own")
    args = parser.parse_args()
    for number in (signal.SIGTERM, signal.SIGINT, signal.SIGHUP):
        signal.signal(number, on_signal)

    client = os.path.abspath(args.client)
    if not os.access(client, os.X_OK):
        say("no program at %s (--client)" % client)
        return 2
    work = tempfile.mkdtemp(prefix="noxel-bench-startup-")
    simulators = []
    try:
        base_label = args.base
        if args.base_client:
            base = os.path.abspath(args.base_client)
            base_label = "the program at %s" % base
        else:
            commit = git("rev-parse", "--verify", args.base + "^{commit}")
            base_label = "%s (%s)" % (args.base, commit[:10])
            if args.overlay:
                base_label += " with %s from the working tree" % " ".join(args.overlay)
            build_type = build_type_of(client)
            say("building %s in a temporary worktree (%s) ..." % (base_label, build_type))
            began = time.monotonic()
            base = build_base(commit, os.path.join(work, "base"), build_type, args.jobs, args.overlay)
            say("built in %.0f s" % (time.monotonic() - began))
        programs = [("current", client), ("base", base)]

        # Start-up, one program after the other, alternating, on an otherwise idle simulator.
        simulator = Simulator(os.path.join(work, "sim-startup"), 60)
        simulators.append(simulator)
        times = {name: [] for name, _ in programs}
        asked = {name: [] for name, _ in programs}
        markers = {name: set() for name, _ in programs}
        for index in range(args.runs):
            for name, binary in programs:
                shown, marker, request = startup(binary, os.path.join(work, "start-%s-%d" % (name, index)),
                                                 simulator)
                times[name].append(shown * 1000)
                asked[name].append(request * 1000)
                markers[name].add(marker)

        # Memory: the four runs at once (they share no port or guard).
        results = {}
        threads = []
        errors = []

        def measure(key, binary, interval, seconds):
            try:
                folder = os.path.join(work, "memory-%s-%s" % key)
                sim = Simulator(folder, interval)
                simulators.append(sim)
                results[key] = memory(binary, os.path.join(folder, "run"), sim, seconds)
            except Exception as error:  # reported below, with the others
                errors.append("%s: %s" % ("/".join(key), error))

        for name, binary in programs:
            threads.append(threading.Thread(target=measure, args=((name, "idle"), binary, 60, args.idle)))
            threads.append(threading.Thread(target=measure, args=((name, "poll"), binary, 1, args.poll_seconds)))
        for thread in threads:
            thread.start()
        for thread in threads:
            thread.join()
        if errors:
            raise RuntimeError("\n".join(errors))

        say("program %s; previous commit: %s" % (client, base_label))
        current_ms = statistics.median(times["current"])
        base_ms = statistics.median(times["base"])
        say("start-up to the first server list: %.0f ms (median of %d, %s), previous commit %.0f ms (%s), ratio %s"
            % (current_ms, args.runs, "/".join(sorted(markers["current"])), base_ms,
               "/".join(sorted(markers["base"])), ratio(current_ms, base_ms)))
        say("  all runs: current %s; previous %s" % (" ".join("%.0f" % t for t in times["current"]),
                                                      " ".join("%.0f" % t for t in times["base"])))
        current_ask = statistics.median(asked["current"])
        base_ask = statistics.median(asked["base"])
        say("start-up to the vpn-servers request at the provider: %.0f ms, previous commit %.0f ms, ratio %s"
            % (current_ask, base_ask, ratio(current_ask, base_ask)))
        idle = {name: results[(name, "idle")] for name, _ in programs}
        say("VmRSS after %.0f s idle: %.1f MiB, previous commit %.1f MiB, ratio %s"
            % (args.idle, idle["current"][1] / 1024, idle["base"][1] / 1024,
               ratio(idle["current"][1], idle["base"][1])))
        polled = {name: results[(name, "poll")] for name, _ in programs}
        say("VmRSS after %d status polls (%.1f h at the default 60 s interval): %.1f MiB, previous commit %.1f MiB "
            "after %d, ratio %s"
            % (polled["current"][2], polled["current"][2] / 60, polled["current"][1] / 1024,
               polled["base"][1] / 1024, polled["base"][2], ratio(polled["current"][1], polled["base"][1])))
        for name, _ in programs:
            start, end, polls, fitted = polled[name]
            say("  %s: %.1f MiB at the first list, %+.1f KiB over %d polls, fitted %+.2f KiB a poll, "
                "%+.1f MiB a day at 60 s extrapolated"
                % ("current" if name == "current" else "previous commit", start / 1024, end - start, polls,
                   fitted, fitted * 1440 / 1024))
        return 0
    except (RuntimeError, subprocess.CalledProcessError, Interrupted) as error:
        detail = error.stderr.decode() if isinstance(error, subprocess.CalledProcessError) and error.stderr else ""
        say("bench_startup: %s %s" % (error, detail))
        return 1
    finally:
        for simulator in simulators:
            simulator.stop()
        remove_worktree(os.path.join(work, "base"))
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    sys.exit(main())
