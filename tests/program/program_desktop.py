#!/usr/bin/env python3
"""The desktop road: the real program as an ordinary user, OpenVPN through the root service.

  run-in-testnet.sh program_desktop.py --client PATH --core-library PATH --service PATH --unit FILE
                                       --simulator-dir DIR [--keep]

The client runs as an ordinary user (nobody) in the test network's client
namespace, where it cannot start OpenVPN itself: it writes its profile into its
own folder and starts the unit through systemctl. fakesystemd.py plays systemd
as root and the systemctl first in the client's PATH; it runs the privileged
service as the unit file says, with the system settings file a run as root
writes (exe_path: the real /usr/sbin/openvpn).

1. UDP, TCP and Stealth (through the client's own stunnel, which runs as the
   user): the client connects through the unit it started, OpenVPN runs as root
   on the checked copy in the unit's runtime folder, the tunnel's server answers
   pings over the tun device; a disconnect (the provider's, for UDP) or quitting
   stops the unit and leaves no OpenVPN, stunnel, tun device or runtime folder.
2. Hostile profiles from the provider: the service refuses them naming the line,
   OpenVPN never starts, the client reports the failure and leaves nothing behind.
3. The client killed while connected: the unit outlives it; the next start stops
   it and connects again.

Prints "N passed, M failed" last; exits 0 only when nothing failed, 77 when it
cannot run here.
"""

import argparse
import glob
import json
import os
import pwd
import re
import shutil
import signal
import subprocess
import sys
import tempfile
import threading
import time

sys.dont_write_bytecode = True  # no __pycache__ in the source folder
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from programharness import (run, SKIP_STATUS, Checks, Client, ClientHome, Failure, Interrupted,  # noqa: E402
                            Simulator, install_signal_handlers, read_text, remove_work_folder, say,
                            set_time_limit, stop_process, wait_for)

UNIT = "NoxelOpenVPNService.service"
INSTALLED_SERVICE = "/usr/libexec/noxel/noxel-openvpn-service"
OPENVPN = "/usr/sbin/openvpn"
STEP_TIMEOUT = 20
CONNECT_TIMEOUT = 60
QUIT_TIMEOUT = 30
NEEDED = ("TESTNET_DIR", "SERVER_NS", "CLIENT_NS", "API_ADDRESS", "UDP_TUNNEL_SERVER", "TCP_TUNNEL_SERVER",
          "CHECK_NAME", "CHECK_ADDRESS")
# Line 1 of the provider's profile; the service's refusal names it.
HOSTILE = [
    ('"plugin" /tmp/noxel-desktop-road.so', "line 1: option 'plugin' is not allowed"),
    ("auth-user-pass /etc/shadow", "line 1: option 'auth-user-pass' may name only a file in the profile's own folder"),
    ("config /etc/passwd", "line 1: option 'config' is not allowed"),
]



def tunnel_processes():
    """(pid, uid, name, parent, command line) of OpenVPN and stunnel in this network namespace."""
    found = []
    own = os.readlink("/proc/self/ns/net")
    for entry in filter(str.isdigit, os.listdir("/proc")):
        try:
            name = read_text("/proc/%s/comm" % entry).strip()
            if name != "openvpn" and not name.startswith("stunnel") or os.readlink("/proc/%s/ns/net" % entry) != own:
                continue
            status = read_text("/proc/%s/status" % entry)
            uid = int(re.search(r"^Uid:\s+(\d+)", status, re.M).group(1))
            parent = int(re.search(r"^PPid:\s+(\d+)", status, re.M).group(1))
            line = read_text("/proc/%s/cmdline" % entry).replace("\0", " ").strip()
            if line:  # not a zombie
                found.append((int(entry), uid, name, parent, line))
        except (OSError, AttributeError):
            continue
    return found


class Sampler:
    """Watches for OpenVPN processes in this namespace until stopped."""

    def __init__(self):
        self.seen = set()
        self.running = True
        self.thread = threading.Thread(target=self.watch, daemon=True)
        self.thread.start()

    def watch(self):
        while self.running:
            self.seen.update(p[4] for p in tunnel_processes() if p[2] == "openvpn")
            time.sleep(0.02)

    def stop(self):
        self.running = False
        self.thread.join()
        return sorted(self.seen)


class UserHome(ClientHome):
    """The client's home, owned by the user, with the systemctl stand-in first in its PATH."""

    def __init__(self, work, uid, gid, bin_dir, library_dir):
        super().__init__(work)
        self.bin_dir = bin_dir
        self.library_dir = library_dir
        for top in (self.root, self.runtime, self.tmp):
            for folder, _, files in os.walk(top):
                for path in [folder] + [os.path.join(folder, f) for f in files]:
                    os.chown(path, uid, gid)

    @property
    def openvpn_config(self):
        return os.path.join(self.data, "Noxel", "Noxel", "config")

    @property
    def openvpn_log(self):
        return os.path.join(self.data, "Noxel", "Noxel", "log")

    def environment(self, api_address):
        env = super().environment(api_address)
        env["PATH"] = self.bin_dir + ":/usr/local/bin:/usr/bin:/bin:/usr/local/sbin:/usr/sbin:/sbin"
        if self.library_dir:
            env["LD_LIBRARY_PATH"] = self.library_dir
        return env

    def write_service_settings(self):
        """The system settings file as the client writes it when it runs as root."""
        folder = os.path.join(self.system, "Noxel")
        os.makedirs(folder, mode=0o755, exist_ok=True)
        with open(os.path.join(folder, "Noxel OpenVPN.ini"), "w") as f:
            f.write("[General]\nconfig_dir=%s\nconfig_ext=ovpn\nexe_path=%s\nlog_append=0\nlog_dir=%s\n"
                    "priority=NORMAL_PRIORITY_CLASS\n" % (self.openvpn_config, OPENVPN, self.openvpn_log))


def usable_binary(args, work, uid, gid):
    """(client binary, library folder or None): copies both where the user cannot use them in place."""
    as_user = ["setpriv", "--reuid=%d" % uid, "--regid=%d" % gid, "--clear-groups", "--"]
    if run(as_user + ["test", "-x", args.client, "-a", "-r", args.core_library])[0] == 0:
        return args.client, None
    folder = os.path.join(work, "program")
    os.makedirs(folder, mode=0o755)
    shutil.copy2(args.client, folder)
    for library in glob.glob(os.path.join(os.path.dirname(args.core_library), "libnoxel-core.so*")):
        shutil.copy2(library, folder, follow_symlinks=False)
    return os.path.join(folder, os.path.basename(args.client)), folder


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    for name in ("--client", "--core-library", "--service", "--unit", "--simulator-dir"):
        parser.add_argument(name, required=True)
    parser.add_argument("--keep", action="store_true", help="keep the temporary folder")
    parser.add_argument("--time-limit", type=float, default=230,
                        help="seconds after which every wait gives up (stay below the ctest time-out)")
    args = parser.parse_args()
    for name in ("client", "core_library", "service", "unit", "simulator_dir"):
        setattr(args, name, os.path.abspath(getattr(args, name)))
    install_signal_handlers()
    set_time_limit(args.time_limit)

    reasons = [why for why, missing in (
        ("not root", os.geteuid() != 0), ("no /dev/net/tun", not os.path.exists("/dev/net/tun")),
        ("no " + OPENVPN, not shutil.which(OPENVPN)), ("no stunnel4", not shutil.which("stunnel4")),
        ("no setpriv", not shutil.which("setpriv")),
        ("no test network in the environment; run me through tests/e2e/run-in-testnet.sh",
         not all(os.environ.get(name) for name in NEEDED))) if missing]
    if reasons:
        say("skipped: %s" % "; ".join(reasons))
        return SKIP_STATUS
    env = dict(os.environ)
    try:
        user = pwd.getpwnam("nobody")
        uid, gid = user.pw_uid, user.pw_gid
    except KeyError:
        uid, gid = 65534, 65534  # a user without a passwd entry will do

    checks = Checks()
    interrupted = 0
    # In /tmp whatever TMPDIR says: the user must reach its home inside, and the service
    # trusts only folders on a way that nobody but root can change.
    work = tempfile.mkdtemp(prefix="noxel-program-desktop-", dir="/tmp")
    os.chmod(work, 0o755)
    simulator = systemd = client = None
    try:
        binary, library_dir = usable_binary(args, work, uid, gid)
        bin_dir = os.path.join(work, "bin")
        os.makedirs(bin_dir, mode=0o755)
        shutil.copy(os.path.join(os.path.dirname(os.path.abspath(__file__)), "fakesystemd.py"),
                    os.path.join(bin_dir, "systemctl"))
        os.chmod(os.path.join(bin_dir, "systemctl"), 0o755)
        home = UserHome(work, uid, gid, bin_dir, library_dir)
        home.write_service_settings()
        run_root = os.path.join(work, "run")
        os.makedirs(run_root, mode=0o755)
        runtime = os.path.join(run_root, "noxel-openvpn")
        record_path, journal_path = os.path.join(work, "systemctl.log"), os.path.join(work, "journal.log")
        with open(os.path.join(work, "systemd.out"), "wb") as out:
            systemd = subprocess.Popen(
                [sys.executable, os.path.join(os.path.dirname(os.path.abspath(__file__)), "fakesystemd.py"), "serve",
                 "--unit", args.unit, "--socket", os.path.join(bin_dir, "systemd.socket"), "--runtime-root", run_root,
                 "--exec", "%s=%s" % (INSTALLED_SERVICE, args.service), "--setenv",
                 "NOXEL_SYSTEM_CONFIG_DIR=%s" % home.system, "--record", record_path, "--journal", journal_path],
                stdin=subprocess.DEVNULL, stdout=out, stderr=subprocess.STDOUT, start_new_session=True)
        if not wait_for(lambda: "READY" in read_text(os.path.join(work, "systemd.out")), STEP_TIMEOUT):
            raise Failure("fakesystemd did not get ready:\n%s" % read_text(os.path.join(work, "systemd.out")))

        data = json.loads(subprocess.run(
            [sys.executable, os.path.join(args.simulator_dir, "testnet_data.py"),
             os.path.join(env["TESTNET_DIR"], "testnet.env"), os.path.join(args.simulator_dir, "demo-data.json")],
            check=True, stdout=subprocess.PIPE).stdout)
        account = data["accounts"][0]
        simulator = Simulator(args.simulator_dir, work, data, host=env["API_ADDRESS"], namespace=env["SERVER_NS"])
        simulator.start()
        home.write_settings({"wizard_completed": True, "username": account["username"],
                             "password": account["password"], "auto_connect": True, "auto_connect_type": 3})
        checks.diagnostics = lambda: "\n".join(
            [part.describe() for part in (client, simulator) if part]
            + ["systemctl calls:\n" + read_text(record_path)[-3000:], "journal:\n" + read_text(journal_path)[-3000:],
               "OpenVPN log:\n" + read_text(os.path.join(home.openvpn_log, "openvpn.log"))[-3000:]])

        def records(after):
            lines = read_text(record_path).splitlines()
            return len(lines), [json.loads(line) for line in lines[after:]]

        def unit_state():
            return run([os.path.join(bin_dir, "systemctl"), "show", "--property=ActiveState", "--value", UNIT])[1]

        def start_client(name, protocol, resources=None):
            nonlocal client
            simulator.set_data(dict(data, resources=resources or data["resources"]))
            simulator.set_variable("default_protocol", "string", protocol)
            simulator.set_variable("force_default_protocol", "bool", "true")
            simulator.update_account(account["username"], update_interval=2, vpn_disconnect=False)
            client = Client(binary, home, simulator.address(), os.path.join(work, "client-%s.log" % name),
                            command_prefix=["setpriv", "--reuid=%d" % uid, "--regid=%d" % gid, "--clear-groups", "--"])
            client.start()

        def quit_client(what):
            status = client.terminate(QUIT_TIMEOUT)
            checks.check(status == 0, "%s: SIGTERM ends the client with status 0" % what, "status: %s" % status)
            warnings = client.bug_warnings()
            checks.check(not warnings, "%s: the client's log shows no warning that betrays a bug" % what,
                         "\n".join(warnings))

        def resolver():
            with open("/etc/resolv.conf", "rb") as f:
                return f.read()

        def resolved(name):
            return run(["getent", "ahostsv4", name])[1].split(" ")[0].strip()

        resolver_before = resolver()

        def nothing_left(what, after):
            state = wait_for(lambda: unit_state().strip() in ("inactive", "failed") and unit_state(), STEP_TIMEOUT)
            restored = wait_for(lambda: resolver() == resolver_before, STEP_TIMEOUT)
            checks.check(restored, "%s: the resolver configuration is what it was, byte for byte" % what,
                         resolver().decode(errors="replace"))
            _, calls = records(after)
            checks.check(bool(state), "%s: the unit has stopped" % what, unit_state())
            password = os.path.join(home.openvpn_config, "management.pw")
            left = tunnel_processes() + [p for p in (runtime, password) if os.path.exists(p)] + [
                d for d in re.findall(r"^\d+:\s+(tun\d+)", run(["ip", "-o", "link", "show"])[1], re.M)]
            checks.check(not left, "%s: no OpenVPN, stunnel, tun device, runtime folder or password file is left"
                         % what, "\n".join(str(item) for item in left))
            return state, calls

        # 1. The three protocols on the desktop road.
        for protocol, tunnel_server in (("ovpn_udp", env["UDP_TUNNEL_SERVER"]), ("ovpn_tcp", env["TCP_TUNNEL_SERVER"]),
                                        ("ovpn_stealth", env["TCP_TUNNEL_SERVER"])):
            say("-- %s through the service" % protocol)
            mark, _ = records(0)
            start_client(protocol, protocol)
            try:
                client.wait_log(r"VPN connection state changed from 1 to 2", CONNECT_TIMEOUT)
                _, calls = records(mark)
                checks.check([uid, ["start", "--no-block", UNIT]] in calls,
                             "%s: the client (uid %d) started the unit through systemctl" % (protocol, uid),
                             repr(calls))
                openvpn = [p for p in tunnel_processes() if p[2] == "openvpn"]
                copy = os.path.join(runtime, "config.ovpn")
                checks.check(len(openvpn) == 1 and openvpn[0][1] == 0 and "--config %s " % copy in openvpn[0][4],
                             "%s: one OpenVPN runs as root on the copy in the unit's runtime folder" % protocol,
                             repr(openvpn))
                mode = os.stat(runtime).st_mode & 0o7777
                checks.check(mode == 0o700 and os.path.isfile(copy), "%s: the runtime folder is root's alone (%o) and "
                             "holds the copy" % (protocol, mode))
                if protocol == "ovpn_stealth":
                    stunnel = [p for p in tunnel_processes() if p[2].startswith("stunnel")]
                    checks.check(len(stunnel) == 1 and stunnel[0][1] == uid and stunnel[0][3] == client.pid,
                                 "stealth: the client runs stunnel as the user", repr(stunnel))
                route = run(["ip", "-o", "route", "get", tunnel_server])[1]
                code, output = run(["ping", "-c", "2", "-W", "3", tunnel_server])
                checks.check(re.search(r" dev tun\d+ ", route) and code == 0,
                             "%s: the tunnel's server %s answers pings through the tun device" % (protocol,
                                                                                                 tunnel_server),
                             route + output)
                # The unit's OpenVPN applies the server's DNS server and domain.
                address = resolved(env["CHECK_NAME"].split(".")[0])
                checks.check(address == env["CHECK_ADDRESS"], "%s: names resolve through the tunnel's DNS server"
                             % protocol, address + "\n" + resolver().decode(errors="replace"))
            except Failure as failure:
                checks.fail("%s: %s" % (protocol, failure))
            mark, _ = records(0)
            if protocol == "ovpn_udp" and client.running():
                # A disconnect while the program goes on.
                lines = len(client.log_lines())
                simulator.update_account(account["username"], update_interval=2, vpn_disconnect=True)
                try:
                    client.wait_log(r"VPN connection state changed from \d to 0", STEP_TIMEOUT, after=lines)
                except Failure as failure:
                    checks.fail("%s: %s" % (protocol, failure))
                state, calls = nothing_left("%s, provider's disconnect" % protocol, mark)
                checks.check([uid, ["stop", "--no-block", UNIT]] in calls and state.strip() == "inactive",
                             "%s: the disconnect stopped the unit cleanly" % protocol, "%s%r" % (state, calls))
                simulator.update_account(account["username"], vpn_disconnect=False)
                quit_client(protocol)
            elif client.running():
                quit_client(protocol)
                state, calls = nothing_left("%s, quit" % protocol, mark)
                checks.check([uid, ["stop", "--no-block", UNIT]] in calls and state.strip() == "inactive",
                             "%s: quitting stopped the unit cleanly" % protocol, "%s%r" % (state, calls))
            client.kill()

        # 2. Hostile profiles from the provider.
        for number, (line, refusal) in enumerate(HOSTILE, 1):
            what = "hostile profile %d (%s)" % (number, line)
            say("-- %s" % what)
            resources = [dict(r, content=line + "\n" + r["content"]) if r["protocol"] == "ovpn_udp" else r
                         for r in data["resources"]]
            mark, _ = records(0)
            journal_mark = len(read_text(journal_path))
            sampler = Sampler()
            start_client("hostile-%d" % number, "ovpn_udp", resources)
            try:
                client.wait_log(r"Starting OpenVPN service", CONNECT_TIMEOUT)
                client.wait_log(r"VPN connection state changed from 1 to 0", CONNECT_TIMEOUT)
                failed = client.find(r"The OpenVPN service did not start OpenVPN: .*%s" % re.escape(refusal))
                checks.check(failed is not None, "%s: the client reports the failed attempt with the service's "
                             "reason" % what)
                # Not only after waiting 30 s for a unit that will never run.
                checks.check(client.find(r"WinUtils: Wait timed out") is None,
                             "%s: the client sees the unit fail rather than waiting for it to time out" % what)
                log = read_text(os.path.join(home.openvpn_log, "openvpn.log"))
                checks.check(refusal in log and "OpenVPN is not started" in log,
                             "%s: the user's OpenVPN log names the refused line" % what, log)
                checks.check(all(l.startswith("noxel-openvpn-service: ") for l in log.splitlines()),
                             "%s: nothing but the service wrote into the OpenVPN log" % what, log)
            except Failure as failure:
                checks.fail("%s: %s" % (what, failure))
            if client.running():
                quit_client(what)
            state, calls = nothing_left(what, mark)
            journal = read_text(journal_path)[journal_mark:]
            ends = re.findall(r"main process \d+ \((.*?)\) ended with status (-?\d+)", journal)
            checks.check([uid, ["start", "--no-block", UNIT]] in calls and ends and state.strip() == "failed"
                         and all(name != "openvpn" and status != "0" for name, status in ends),
                         "%s: the unit ran, the service ended with a failure and never became OpenVPN" % what,
                         "%s%r\n%s" % (state, ends, journal))
            seen = sampler.stop()
            checks.check(not seen, "%s: no OpenVPN process was ever seen" % what, "\n".join(seen))
            client.kill()

        # 3. The client dies while connected: the unit is systemd's and outlives it, and the
        # next start ends it before it connects again.
        say("-- the client killed while connected")
        start_client("killed", "ovpn_udp")
        try:
            client.wait_log(r"VPN connection state changed from 1 to 2", CONNECT_TIMEOUT)
            client.process.send_signal(signal.SIGKILL)
            client.process.wait()
            checks.check(unit_state().strip() == "active", "killed: the unit outlives the client", unit_state())
            mark, _ = records(0)
            start_client("after-kill", "ovpn_udp")
            client.wait_log(r"VPN connection state changed from 1 to 2", CONNECT_TIMEOUT)
            _, calls = records(mark)
            steps = [arguments[0] for caller, arguments in calls if caller == uid and arguments[0] in ("stop", "start")]
            openvpn = [p for p in tunnel_processes() if p[2] == "openvpn"]
            checks.check(steps == ["stop", "start"] and len(openvpn) == 1,
                         "killed: the next start stops the unit left running, then connects through it again",
                         "%r\n%r" % (calls, openvpn))
        except Failure as failure:
            checks.fail("killed: %s" % failure)
        if client.running():
            quit_client("killed")
        nothing_left("killed", 0)
    except (Failure, subprocess.CalledProcessError) as failure:
        checks.fail(str(failure))
    except Interrupted as interruption:
        interrupted = interruption.number
        checks.fail(str(interruption))
    finally:
        if client:
            client.kill()
        if systemd:
            # It stops the unit first, as systemd does going down.
            stop_process(systemd, timeout=20)
        for pid, *_ in tunnel_processes():
            try:
                os.kill(pid, 9)
            except OSError:
                pass
        if simulator:
            simulator.stop()
        remove_work_folder(work, args.keep)
    status = checks.summary()
    return 128 + interrupted if interrupted else status


if __name__ == "__main__":
    sys.exit(main())
