#!/usr/bin/env python3
"""The real program through faults, inside the OpenVPN test network.

  run-in-testnet.sh program_faults.py --client PATH --simulator-dir DIR [--keep]

After every fault the next start connects (auto-connect to the best server) or
logs in, nothing of the client's is left (OpenVPN, stunnel, a tun device), and
no connection statistic is lost or doubled: every connection attempt ends as
exactly one row, either still in the database or delivered once, in a login or
status envelope whose answer went out whole.

1. SIGKILL while connecting: the UDP server is down and the attempt's time-out
   has passed (its row exists, in memory at least).
2. SIGKILL while connected, over TCP.
3. The UDP server is killed under the connection: the state goes back to
   Connecting; once the server is back, to Connected; a clean quit follows.
4. The provider sends half of every answer and closes, then goes away
   altogether: the client logs the failed API connection, sends again, claims
   nothing, quits keeping its rows. Back, the provider cuts the login once (it
   carries the rows); the login that follows delivers them, once.

Prints "N passed, M failed" last; exits 0 only when nothing failed, 77 when it
cannot run here.
"""

import argparse
import json
import os
import re
import signal
import subprocess
import sys

sys.dont_write_bytecode = True  # no __pycache__ in the source folder
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from programharness import (run, stats_of, SKIP_STATUS, Checks, Client, ClientHome, Failure, Interrupted,  # noqa: E402
                            Simulator, command_line, install_signal_handlers, make_work_folder, read_text,
                            remove_work_folder, say, set_time_limit, wait_for)

STEP_TIMEOUT = 20
CONNECT_TIMEOUT = 45
QUIT_TIMEOUT = 10
GONE_TIMEOUT = 15
NEEDED = ("TESTNET_ID", "TESTNET_DIR", "TESTNET_SCRIPT", "SERVER_NS", "CLIENT_NS", "API_ADDRESS",
          "UDP_TUNNEL_SERVER")
STATE = r"VPN connection state changed from %s to %s"
OURS = ("openvpn", "stunnel", "stunnel4", "tstunnel")




def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--client", required=True)
    parser.add_argument("--simulator-dir", required=True)
    parser.add_argument("--keep", action="store_true", help="keep the temporary folder")
    parser.add_argument("--time-limit", type=float, default=240,
                        help="seconds after which every wait gives up (stay below the ctest time-out)")
    args = parser.parse_args()
    install_signal_handlers()
    set_time_limit(args.time_limit)

    missing = [name for name in NEEDED if not os.environ.get(name)]
    if missing:
        say("skipped: no test network described in the environment (%s); run me through "
            "tests/e2e/run-in-testnet.sh" % ", ".join(missing))
        return SKIP_STATUS
    env = dict(os.environ)
    checks = Checks()
    interrupted = 0
    work = make_work_folder("noxel-program-faults-")
    simulator = None
    client = None
    attempts = []  # the protocol of every connection attempt the client made

    def testnet(verb, which):
        code, output = run([env["TESTNET_SCRIPT"], verb, env["TESTNET_ID"], env["TESTNET_DIR"], which])
        if code != 0:
            raise Failure("testnet %s %s failed (%d): %s" % (verb, which, code, output.strip()))

    def tun_devices():
        _, output = run(["ip", "-n", env["CLIENT_NS"], "-o", "link", "show"])
        return re.findall(r"^\d+:\s+(tun\d+)[:@]", output, re.M)

    def left_behind():
        """Tun devices, OpenVPN and stunnel processes in the client namespace, and the client's session."""
        _, pids = run(["ip", "netns", "pids", env["CLIENT_NS"]])
        found = ["%s: %s" % (pid, command_line(int(pid))) for pid in pids.split() if pid.isdigit()
                 and os.path.basename(command_line(int(pid)).split(" ")[0]) in OURS]
        return tun_devices() + found + (["session: %s" % client.leftovers()] if client.leftovers() else [])

    def cut_envelopes():
        """Numbers of the envelopes whose answer the simulator broke off."""
        cut, last = set(), {}
        for line in read_text(os.path.join(simulator.record_dir, "connections.log")).splitlines():
            connection = re.search(r"connection=(\d+)", line)
            number = re.match(r"^(\d{6})-", line)
            if connection and number:
                last[connection.group(1)] = int(number.group(1))
            elif connection and line.startswith("cut "):
                cut.add(last.get(connection.group(1)))
        return cut

    def delivered():
        """Statistics of the login and status envelopes whose answer went out whole."""
        cut = cut_envelopes()
        return [stat for number, kind, text in simulator.envelopes()
                if kind in ("login", "anonymous", "status") and number not in cut for stat in stats_of(text)]

    def check_statistics(what):
        """Every attempt so far is one row: in the database or delivered once (the client is not running)."""
        rows = home.stat_rows() or []
        sent = delivered()
        seen = sorted([row[1] for row in rows] + [stat.get("p") for stat in sent])
        return checks.check(seen == sorted(attempts), "%s: each connection attempt is one statistics row, kept or "
                            "delivered once (%d attempts)" % (what, len(attempts)),
                            "attempts: %s\nin the database: %s\ndelivered: %s" % (attempts, rows, sent))

    def start_client(name):
        nonlocal client
        client = Client(args.client, home, simulator.address(), os.path.join(work, "client-%s.log" % name))
        number = simulator.last_number()
        client.start()
        return number

    def connect(what, protocol):
        """Waits for the automatic connection to come up; returns the log line where it did."""
        client.wait_log(r"Auto-connecting to VPN server", CONNECT_TIMEOUT)
        attempts.append(protocol)
        up = client.wait_log(STATE % (1, 2), CONNECT_TIMEOUT)
        client.wait_log(r"GeoIp request finished: 203\.0\.113\.77 \(Amsterdam\)", STEP_TIMEOUT, after=up)
        say("%s: connected over %s, the geo-IP answer comes through the tunnel" % (what, protocol))
        return up

    def nothing_left(what):
        gone = wait_for(lambda: not left_behind(), GONE_TIMEOUT)
        checks.check(bool(gone), "%s: no OpenVPN, stunnel or tun device of the client's is left" % what,
                     "\n".join(left_behind()))
        for pid in client.leftovers():
            os.kill(pid, signal.SIGKILL)

    def kill_client(what):
        client.process.send_signal(signal.SIGKILL)
        client.process.wait(10)
        say("%s: the client is killed" % what)
        nothing_left(what)
        check_statistics(what)

    def quit_client(what):
        try:
            status = client.terminate(QUIT_TIMEOUT)
        except Failure as failure:
            status = str(failure)
        checks.check(status == 0, "%s: SIGTERM ends the client with status 0" % what, "status: %s" % status)
        warnings = client.bug_warnings()
        checks.check(not warnings, "%s: the client's log shows no warning that betrays a bug" % what,
                     "\n".join(warnings))
        nothing_left(what)
        check_statistics(what)

    try:
        data = json.loads(subprocess.run([sys.executable, os.path.join(args.simulator_dir, "testnet_data.py"),
                                          os.path.join(env["TESTNET_DIR"], "testnet.env"),
                                          os.path.join(args.simulator_dir, "demo-data.json")],
                                         check=True, stdout=subprocess.PIPE).stdout)
        account = data["accounts"][0]
        user = account["username"]
        simulator = Simulator(args.simulator_dir, work, data, host=env["API_ADDRESS"], namespace=env["SERVER_NS"])
        simulator.set_variable("default_protocol", "string", "ovpn_udp")
        simulator.set_variable("stat_enabled", "bool", "true")
        # No status polls: a connection's row waits in the client until the next start.
        simulator.update_account(user, update_interval=600, vpn_disconnect=False)
        simulator.start()
        fault_file = os.path.join(simulator.record_dir, "fault")
        home = ClientHome(work)
        home.write_settings({"wizard_completed": True, "username": user, "password": account["password"],
                             "auto_connect": True, "auto_connect_type": 3})
        checks.diagnostics = lambda: "\n".join(part.describe() for part in (client, simulator) if part)

        # 1. Killed while connecting.
        say("-- 1. SIGKILL while connecting (UDP server down, after the attempt's time-out)")
        testnet("kill-server", "udp")
        simulator.set_variable("vpn_connection_timeout", "int", 4)
        start_client("connecting")
        try:
            client.wait_log(r"Auto-connecting to VPN server", CONNECT_TIMEOUT)
            attempts.append("ovpn_udp")
            client.wait_log(r"Starting OpenVPN", STEP_TIMEOUT)
            client.wait_log(STATE % (0, 1), STEP_TIMEOUT)
            client.wait_log(r"VPN connection attempt to .* timed out", STEP_TIMEOUT)
            checks.check(client.find(STATE % (1, 2)) is None, "connecting: the state never claims Connected")
        except Failure as failure:
            checks.fail("connecting: %s" % failure)
        kill_client("connecting")
        testnet("start-server", "udp")
        simulator.set_variable("vpn_connection_timeout", "int", 20)

        # 2. Killed while connected, over TCP; this start must connect and deliver the row of 1.
        say("-- 2. SIGKILL while connected (TCP)")
        home.write_settings({"last_protocol": "ovpn_tcp"})
        before = start_client("connected")
        try:
            connect("connected", "ovpn_tcp")
            login = simulator.wait_envelope("login", before, STEP_TIMEOUT, client=client)
            checks.check([s.get("p") for s in stats_of(login[2])] == ["ovpn_udp"],
                         "connected: the login after the kill carries the killed attempt's row", login[2])
        except Failure as failure:
            checks.fail("connected: %s" % failure)
        kill_client("connected")

        # 3. The VPN server dies under the connection and comes back.
        say("-- 3. the UDP server is killed while connected, then started again")
        home.write_settings({"last_protocol": "ovpn_udp"})
        start_client("server")
        try:
            up = connect("server", "ovpn_udp")
            testnet("kill-server", "udp")
            lost = client.wait_log(STATE % (2, "[01]"), CONNECT_TIMEOUT, after=up)
            say("server: the client reports the loss: %s" % client.log_lines()[lost].strip())
            testnet("start-server", "udp")
            again = client.wait_log(STATE % ("[01]", 2), CONNECT_TIMEOUT, after=lost)
            code, output = run(["ping", "-c", "2", "-W", "2", env["UDP_TUNNEL_SERVER"]])
            checks.check(code == 0, "server: connected again, the tunnel carries pings", output)
            checks.check(client.find(r"Auto-connecting|Connecting to VPN server", again) is None,
                         "server: the same attempt came back (no second connection)")
        except Failure as failure:
            checks.fail("server: %s" % failure)
        quit_client("server")

        # 4. The provider breaks off mid-answer, then goes away; it comes back cutting the login once.
        say("-- 4. the provider sends half of every answer and closes, then goes away")
        with open(fault_file, "w") as f:
            f.write("drop")
        before = start_client("half")
        port = simulator.port
        try:
            if not wait_for(lambda: len([n for n in cut_envelopes() if n and n > before]) >= 2, STEP_TIMEOUT):
                raise Failure("the simulator did not cut two answers")
            say("half: %s" % client.log_lines()[client.wait_log(r"API connection to .* failed", STEP_TIMEOUT)])
            simulator.stop()
            client.wait_log(r"API connection to .* failed: Connection refused", STEP_TIMEOUT)
            checks.check(client.find(r"request succeeded|" + STATE % (".", ".")) is None,
                         "half: the client claims neither an answer nor a connection")
        except Failure as failure:
            checks.fail("half: %s" % failure)
        simulator.stop()
        quit_client("provider gone")
        rows = home.stat_rows() or []
        checks.check(len(rows) == 1, "provider gone: the undelivered row waits in the database", repr(rows))

        home.write_settings({"auto_connect": False})
        with open(fault_file, "w") as f:
            f.write("drop:login")
        simulator.start(port=port)
        before = start_client("back")
        try:
            cut = simulator.wait_envelope("login", before, STEP_TIMEOUT, client=client)
            if not wait_for(lambda: cut[0] in cut_envelopes(), STEP_TIMEOUT):
                raise Failure("the simulator did not cut the login's answer")
            checks.check(stats_of(cut[2]) != [], "back: the login whose answer is cut carries the row", cut[2])
            os.remove(fault_file)
            client.wait_log(r"Login request succeeded", STEP_TIMEOUT)
        except Failure as failure:
            checks.fail("back: %s" % failure)
        quit_client("back")
        checks.check(home.stat_rows() == [], "back: delivered rows leave the database", repr(home.stat_rows()))
    except (Failure, OSError, subprocess.CalledProcessError) as failure:
        checks.fail(str(failure))
    except Interrupted as interruption:
        interrupted = interruption.number
        checks.fail(str(interruption))
    finally:
        if client:
            client.kill()
        if simulator:
            simulator.stop()
        remove_work_folder(work, args.keep)
    status = checks.summary()
    return 128 + interrupted if interrupted else status


if __name__ == "__main__":
    sys.exit(main())
