#!/usr/bin/env python3
"""The real program against the provider simulator inside the OpenVPN test network.

  run-in-testnet.sh program_testnet.py --client PATH --simulator-dir DIR [--keep]

tests/e2e/run-in-testnet.sh builds the network (scripts/testnet), runs this
script in the client namespace with the network's KEY=VALUE description in the
environment, and takes everything down afterwards. The simulator runs in the
server namespace on API_ADDRESS, which the VPN routes through the tunnel.

1. First start without credentials: "anonymous", "variables" and "geoip" reach the provider.
2. Stored credentials: "login" with the password's SHA-1 digest, "vpn-servers",
   "geoip"; the servers are pinged.
3. Auto-connect to the best-pinged server with the provider's default protocol
   (ovpn_udp): the state reaches Connected, a tun device exists, the tunnel's
   server answers pings, and the geo-IP answer now comes through the tunnel.
4. A status answer with "vpn-disconnect" drops the connection and the tun device.
5. Quitting while statistics are undelivered keeps them in the database; the
   next start sends them with its login.

Prints "N passed, M failed" last; exits 0 only when nothing failed, 77 when it
cannot run here.
"""

import argparse
import ipaddress
import json
import os
import re
import subprocess
import sys
import xml.etree.ElementTree as ET

sys.dont_write_bytecode = True  # no __pycache__ in the source folder
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from programharness import (run, stats_of, SKIP_STATUS, Checks, Client, ClientHome, Failure, Interrupted,  # noqa: E402
                            Simulator, command_line, install_signal_handlers, make_work_folder, remove_work_folder,
                            say, set_time_limit, sha1, wait_for)

STEP_TIMEOUT = 20
CONNECT_TIMEOUT = 45
QUIT_TIMEOUT = 10
TUN_TIMEOUT = 15
NEEDED = ("TESTNET_ID", "TESTNET_DIR", "SERVER_NS", "CLIENT_NS", "API_ADDRESS", "SERVER_ADDRESS", "CLIENT_ADDRESS",
          "UDP_TUNNEL_SERVER", "VPN_USER")



class Network:
    def __init__(self, env):
        self.env = env
        self.client_ns = env["CLIENT_NS"]
        self.tunnel_network = ipaddress.ip_network("10.8.%s.0/24" % env["TESTNET_ID"])

    def tun_devices(self):
        _, output = run(["ip", "-n", self.client_ns, "-o", "link", "show"])
        return re.findall(r"^\d+:\s+(tun\d+)[:@]", output, re.M)

    def openvpn_processes(self):
        """OpenVPN clients in the client namespace (the servers live in the other one)."""
        _, output = run(["ip", "netns", "pids", self.client_ns])
        found = []
        for pid in output.split():
            if pid.isdigit() and "openvpn" in command_line(int(pid)).split(" ")[0]:
                found.append("%s: %s" % (pid, command_line(int(pid))))
        return found

    def describe(self):
        _, links = run(["ip", "-n", self.client_ns, "-o", "link", "show"])
        _, routes = run(["ip", "-n", self.client_ns, "route", "show"])
        return "client namespace links:\n%s\nroutes:\n%s" % (links.strip(), routes.strip())


def has_stats(text):
    body = ET.fromstring(text).find("body")
    return body is not None and body.find(".//stats/stat") is not None



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
    network = Network(env)

    checks = Checks()
    interrupted = 0
    work = make_work_folder("noxel-program-net-")
    simulator = None
    client = None
    try:
        data_text = subprocess.run([sys.executable, os.path.join(args.simulator_dir, "testnet_data.py"),
                                    os.path.join(env["TESTNET_DIR"], "testnet.env"),
                                    os.path.join(args.simulator_dir, "demo-data.json")],
                                   check=True, stdout=subprocess.PIPE).stdout
        data = json.loads(data_text)
        account = data["accounts"][0]
        user = account["username"]
        simulator = Simulator(args.simulator_dir, work, data, host=env["API_ADDRESS"], namespace=env["SERVER_NS"])
        simulator.set_variable("default_protocol", "string", "ovpn_udp")
        simulator.set_variable("stat_enabled", "bool", "true")
        simulator.start()
        home = ClientHome(work)
        checks.diagnostics = lambda: "\n".join(
            [part.describe() for part in (client, simulator) if part] + [network.describe()])
        say("provider simulator on %s in %s; client in %s" % (simulator.address(), env["SERVER_NS"],
                                                              env["CLIENT_NS"]))

        def start_client(name):
            nonlocal client
            client = Client(args.client, home, simulator.address(), os.path.join(work, "client-%s.log" % name))
            number = simulator.last_number()
            client.start()
            return number

        def quit_client(what, timeout=QUIT_TIMEOUT):
            try:
                status = client.terminate(timeout)
                detail = "status: %s" % ("still running" if status is None else status)
            except Failure as failure:
                status, detail = None, str(failure)
            checks.check(status == 0, "%s: SIGTERM ends the client with status 0 within %ds" % (what, timeout),
                         detail)
            warnings = client.bug_warnings()
            checks.check(not warnings, "%s: the client's log shows no warning that betrays a bug" % what,
                         "\n".join(warnings))
            left = client.leftovers() + network.openvpn_processes()
            checks.check(not left, "%s: nothing the client started is left running" % what,
                         "\n".join(str(item) for item in left))
            if not left:
                return
            client.kill()

        # 1. First start without credentials.
        say("-- 1. first start without credentials")
        before = start_client("anonymous")
        try:
            anonymous = simulator.wait_envelope("anonymous", before, STEP_TIMEOUT, client=client)
            simulator.wait_envelope("variables", before, STEP_TIMEOUT, client=client)
            geoip = simulator.wait_envelope("geoip", before, STEP_TIMEOUT, client=client)
            say("first start: 'anonymous', 'variables' and 'geoip' envelopes reached the provider")
            # The geo-IP request uses the mode the login's answer gives.
            checks.check(anonymous[0] < geoip[0], "first start: the geo-IP request follows the anonymous login",
                         "envelopes %d (anonymous) and %d (geoip)" % (anonymous[0], geoip[0]))
            checks.check(simulator.peer_of(geoip[0]) == env["CLIENT_ADDRESS"],
                         "first start: the provider sees the client's own address",
                         "peer: %s" % simulator.peer_of(geoip[0]))
            checks.check(not simulator.envelopes_after(before, "login"), "first start: no account login is sent")
            client.wait_log(r"GeoIp request finished: 198\.51\.100\.23 \(Berlin\)", STEP_TIMEOUT)
            say("first start: the geo-IP answer arrived")
            # The server list is public: it arrives and is pinged before any account exists.
            client.wait_log(r"Server list updated: %d servers" % len(data["servers"]), STEP_TIMEOUT)
            client.wait_log(r"Ping: Received from %s" % re.escape(env["SERVER_ADDRESS"]), STEP_TIMEOUT)
            say("first start: the server list arrived and its servers were pinged")
        except Failure as failure:
            checks.fail("first start: %s" % failure)
        quit_client("first start")

        # 2. Login with stored credentials.
        say("-- 2. login with stored credentials")
        home.write_settings({"wizard_completed": True, "username": user, "password": account["password"]})
        before = start_client("login")
        try:
            login = simulator.wait_envelope("login", before, STEP_TIMEOUT, client=client)
            header = ET.fromstring(login[2]).find("header/login")
            checks.check(header is not None and header.get("username") == user
                         and header.get("password") == sha1(account["password"]),
                         "login: the envelope carries the user name and the password's SHA-1 digest", login[2])
            servers = simulator.wait_envelope("vpn-servers", login[0], STEP_TIMEOUT, client=client)
            header = ET.fromstring(servers[2]).find("header/login")
            checks.check(header is not None and header.get("username") == user,
                         "login: the server list is asked for with the account", servers[2])
            simulator.wait_envelope("geoip", login[0], STEP_TIMEOUT, client=client)
            client.wait_log(r"Server list updated: %d servers" % len(data["servers"]), STEP_TIMEOUT)
            say("login: 'vpn-servers' and 'geoip' followed the login; the server list arrived")
        except Failure as failure:
            checks.fail("login: %s" % failure)
        quit_client("login")

        # 3. Auto-connect to the best-pinged server; 4. the provider drops the connection.
        say("-- 3. auto-connect to the best server")
        simulator.update_account(user, update_interval=2, vpn_disconnect=False)
        home.write_settings({"auto_connect": True, "auto_connect_type": 3})
        before = start_client("connect")
        connected = False
        try:
            berlin = client.wait_log(r"GeoIp request finished: 198\.51\.100\.23 \(Berlin\)", STEP_TIMEOUT)
            auto = client.wait_log(r"Auto-connecting to VPN server", CONNECT_TIMEOUT)
            up = client.wait_log(r"VPN connection state changed from 1 to 2", CONNECT_TIMEOUT)
            connected = True
            # Auto-connect waits for the address seen before connecting, to tell it from the VPN's.
            checks.check(berlin < auto < up, "connect: auto-connect starts once the original address is known, "
                         "and the VPN state reaches 2 (Connected)", "log lines %d, %d, %d" % (berlin, auto, up))
            settings = home.read_settings()
            checks.check(settings.get("default_protocol") == "ovpn_udp",
                         "connect: the provider's default protocol is ovpn_udp", repr(settings))
            status_file = env.get("SERVER_STATUS_UDP", "")
            seen = wait_for(lambda: env["VPN_USER"] in read_file(status_file), 5)
            checks.check(bool(seen), "connect: the OpenVPN server over UDP has the client",
                         read_file(status_file))
            tun = wait_for(network.tun_devices, 5)
            checks.check(bool(tun), "connect: a tun device exists in %s" % env["CLIENT_NS"], network.describe())
            code, output = run(["ping", "-c", "2", "-W", "2", env["UDP_TUNNEL_SERVER"]])
            checks.check(code == 0, "connect: the tunnel's server %s answers pings" % env["UDP_TUNNEL_SERVER"], output)
            amsterdam = client.wait_log(r"GeoIp request finished: 203\.0\.113\.77 \(Amsterdam\)", STEP_TIMEOUT,
                                        after=up)
            checks.check(berlin < up < amsterdam,
                         "connect: the geo-IP answer changes from Berlin before to Amsterdam through the tunnel")
            tunnel_geoip = [n for n, _, _ in simulator.envelopes_after(before, "geoip")
                            if ipaddress.ip_address(simulator.peer_of(n) or "0.0.0.0") in network.tunnel_network]
            checks.check(bool(tunnel_geoip), "connect: the provider sees the geo-IP request from the tunnel (%s)"
                         % network.tunnel_network)
            status = simulator.wait_envelope("status", before, STEP_TIMEOUT, has_stats, client=client)
            stats = stats_of(status[2])
            checks.check(any(s.get("p") == "ovpn_udp" and s.get("e") == "1" for s in stats),
                         "connect: the connection's statistics (made with root rights) go out with the next status "
                         "poll", repr(stats))
        except Failure as failure:
            checks.fail("connect: %s" % failure)

        say("-- 4. the provider asks to drop the connection")
        if connected:
            try:
                mark = len(client.log_lines())
                simulator.update_account(user, update_interval=2, vpn_disconnect=True)
                asked = client.wait_log(r"The provider asked to drop the VPN connection", STEP_TIMEOUT, after=mark)
                down = client.wait_log(r"VPN connection state changed from \d to 0", STEP_TIMEOUT, after=mark)
                checks.check(asked < down, "vpn-disconnect: the VPN state goes to 0 (Disconnected) on the "
                             "provider's request", "log lines %d (request), %d (state 0)" % (asked, down))
                gone = wait_for(lambda: not network.tun_devices(), TUN_TIMEOUT)
                checks.check(bool(gone), "vpn-disconnect: the tun device disappears", network.describe())
                client.wait_log(r"GeoIp request finished: 198\.51\.100\.23 \(Berlin\)", STEP_TIMEOUT, after=mark)
                say("vpn-disconnect: the geo-IP answer is the original one again")
            except Failure as failure:
                checks.fail("vpn-disconnect: %s" % failure)
        else:
            checks.fail("vpn-disconnect: not tried, the client never connected")
        simulator.update_account(user, vpn_disconnect=False)
        quit_client("connect")

        # 5. Quit with undelivered statistics, then start again.
        say("-- 5. statistics kept at exit and sent by the next start")
        # No status poll before the quit: the connection's statistics stay undelivered.
        simulator.update_account(user, update_interval=600, vpn_disconnect=False)
        before = start_client("statistics")
        try:
            client.wait_log(r"VPN connection state changed from 1 to 2", CONNECT_TIMEOUT)
            say("statistics: connected again")
            sent = [n for n, k, text in simulator.envelopes_after(before)
                    if k in ("status", "login") and has_stats(text)]
            checks.check(not sent, "statistics: none delivered before quitting", repr(sent))
        except Failure as failure:
            checks.fail("statistics: %s" % failure)
        quit_client("statistics (quit while connected)")
        checks.check(not network.tun_devices(), "statistics: quitting closes the tunnel", network.describe())
        rows = home.stat_rows()
        checks.check(bool(rows) and any(r[1] == "ovpn_udp" for r in rows),
                     "statistics: the database's 'stat' table holds the undelivered rows", repr(rows))

        home.write_settings({"auto_connect": False, "auto_connect_type": None})
        before = start_client("resend")
        try:
            login = simulator.wait_envelope("login", before, STEP_TIMEOUT, client=client)
            stats = stats_of(login[2])
            uids = {s["uid"] for s in data["servers"]}
            checks.check(any(s.get("suid") in uids and s.get("p") == "ovpn_udp" for s in stats),
                         "statistics: the next start's login envelope carries <stats><stat>", login[2])
            client.wait_log(r"Login request succeeded", STEP_TIMEOUT)
        except Failure as failure:
            checks.fail("statistics: %s" % failure)
        quit_client("resend")
        rows = home.stat_rows()
        checks.check(rows == [], "statistics: delivered rows leave the database", repr(rows))
    except (Failure, subprocess.CalledProcessError) as failure:
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


def read_file(path):
    try:
        with open(path) as f:
            return f.read()
    except OSError:
        return ""


if __name__ == "__main__":
    sys.exit(main())
