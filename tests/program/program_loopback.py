#!/usr/bin/env python3
"""The real program against the provider simulator on 127.0.0.1, without root.

  program_loopback.py --client PATH --simulator-dir DIR [--keep]

1. A first start without credentials logs in anonymously and asks for the
   variables and the geo-IP.
2. A start with stored credentials logs in (the password as its SHA-1 digest),
   gets the server list, which lands in the database, and applies the variables.
3. SIGTERM ends each run through the normal quit path: exit status 0 within a
   few seconds, and nothing the client started is left running.

Prints "N passed, M failed" last; exits 0 only when nothing failed.
"""

import argparse
import json
import os
import sqlite3
import sys
import xml.etree.ElementTree as ET

sys.dont_write_bytecode = True  # no __pycache__ in the source folder
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from programharness import (Checks, Client, ClientHome, Failure, Interrupted,  # noqa: E402
                            Simulator, command_line, install_signal_handlers,
                            make_work_folder, remove_work_folder, say, set_time_limit, sha1)

QUIT_TIMEOUT = 5
STEP_TIMEOUT = 20


def server_rows(home):
    try:
        connection = sqlite3.connect("file:%s?mode=ro" % home.database_path, uri=True, timeout=5)
        try:
            return connection.execute("SELECT server_uid FROM vpn_servers").fetchall()
        finally:
            connection.close()
    except sqlite3.Error as error:
        return "cannot read the database: %s" % error


def quit_client(checks, client, what):
    try:
        status = client.terminate(QUIT_TIMEOUT)
        detail = "status: %s" % ("still running" if status is None else status)
    except Failure as failure:
        status, detail = None, str(failure)
    checks.check(status == 0, "%s: SIGTERM ends the client with status 0 within %ds" % (what, QUIT_TIMEOUT), detail)
    warnings = client.bug_warnings()
    checks.check(not warnings, "%s: the client's log shows no warning that betrays a bug" % what, "\n".join(warnings))
    left = client.leftovers()
    checks.check(not left, "%s: no process of the client is left" % what,
                 "\n".join("%d: %s" % (pid, command_line(pid)) for pid in left))


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--client", required=True)
    parser.add_argument("--simulator-dir", required=True)
    parser.add_argument("--keep", action="store_true", help="keep the temporary folder")
    parser.add_argument("--time-limit", type=float, default=100,
                        help="seconds after which every wait gives up (stay below the ctest time-out)")
    args = parser.parse_args()
    install_signal_handlers()
    set_time_limit(args.time_limit)
    checks = Checks()
    interrupted = 0
    work = make_work_folder("noxel-program-")
    simulator = None
    client = None
    try:
        with open(os.path.join(args.simulator_dir, "demo-data.json")) as f:
            data = json.load(f)
        account = data["accounts"][0]
        simulator = Simulator(args.simulator_dir, work, data)
        simulator.start()
        home = ClientHome(work)
        checks.diagnostics = lambda: "\n".join(part.describe() for part in (client, simulator) if part)
        say("provider simulator on %s; client %s" % (simulator.address(), args.client))

        if not os.path.exists("/dev/net/tun") and os.geteuid() != 0:
            # Without a tun device a first start asks for root (pkexec); a known
            # driver version tells it that nothing needs setting up.
            home.write_settings({"tap_version": "9.21"})

        # 1. First start, no credentials: anonymous login.
        say("-- first start without credentials")
        client = Client(args.client, home, simulator.address(), os.path.join(work, "client-anonymous.log"))
        before = simulator.last_number()
        client.start()
        try:
            anonymous = simulator.wait_envelope("anonymous", before, STEP_TIMEOUT, client=client)
            root = ET.fromstring(anonymous[2])
            login = root.find("header/login")
            checks.check(login is None or not login.get("username"), "the anonymous login carries no user name",
                         anonymous[2])
            simulator.wait_envelope("variables", before, STEP_TIMEOUT, client=client)
            geoip = simulator.wait_envelope("geoip", before, STEP_TIMEOUT, client=client)
            say("first start: 'anonymous', 'variables' and 'geoip' envelopes reached the provider")
            # The geo-IP request uses the mode the login's answer gives.
            checks.check(anonymous[0] < geoip[0], "first start: the geo-IP request follows the anonymous login",
                         "envelopes %d (anonymous) and %d (geoip)" % (anonymous[0], geoip[0]))
            client.wait_log(r"Anonymous login request succeeded", STEP_TIMEOUT)
            client.wait_log(r"GeoIp request finished: 198\.51\.100\.23 \(Berlin\)", STEP_TIMEOUT)
            say("first start: the anonymous login and the geo-IP answer arrived")
            checks.check(not simulator.envelopes_after(before, "login"), "first start: no account login is sent")
        except Failure as failure:
            checks.fail("first start: %s" % failure)
        quit_client(checks, client, "first start")
        settings = home.read_settings()
        checks.check(settings.get("auto_start") == "true", "first start: the settings file records auto_start",
                     repr(settings))

        # 2. Stored credentials: account login, server list, variables.
        say("-- start with stored credentials")
        home.write_settings({"wizard_completed": True, "username": account["username"],
                             "password": account["password"]})
        client = Client(args.client, home, simulator.address(), os.path.join(work, "client-login.log"))
        before = simulator.last_number()
        client.start()
        try:
            login = simulator.wait_envelope("login", before, STEP_TIMEOUT, client=client)
            header = ET.fromstring(login[2]).find("header/login")
            checks.check(header is not None and header.get("username") == account["username"]
                         and header.get("password") == sha1(account["password"]),
                         "login: the envelope names the user and carries the password's SHA-1 digest", login[2])
            checks.check(account["password"] not in login[2], "login: the plain password is not sent")
            servers = simulator.wait_envelope("vpn-servers", login[0], STEP_TIMEOUT, client=client)
            header = ET.fromstring(servers[2]).find("header/login")
            checks.check(header is not None and header.get("username") == account["username"],
                         "login: the server list is asked for with the account")
            simulator.wait_envelope("variables", before, STEP_TIMEOUT, client=client)
            simulator.wait_envelope("geoip", before, STEP_TIMEOUT, client=client)
            client.wait_log(r"Login request succeeded", STEP_TIMEOUT)
            client.wait_log(r"Server list updated: %d servers" % len(data["servers"]), STEP_TIMEOUT)
            say("login: the server list arrived")
            rows = server_rows(home)
            uids = sorted(row[0] for row in rows) if isinstance(rows, list) else rows
            checks.check(uids == sorted(s["uid"] for s in data["servers"]),
                         "login: the database holds the provider's servers", repr(uids))
            settings = home.read_settings()
            checks.check(settings.get("default_protocol") == "ovpn_udp",
                         "login: the variables arrive (default_protocol in the settings)", repr(settings))
            client.wait_log(r"GeoIp request finished: 198\.51\.100\.23 \(Berlin\)", STEP_TIMEOUT)
            say("login: the geo-IP answer arrived")
        except Failure as failure:
            checks.fail("login: %s" % failure)
        quit_client(checks, client, "login")
        settings = home.read_settings()
        kept = (settings.get("username"), settings.get("password")) == (account["username"], account["password"])
        checks.check(kept, "login: the stored credentials are kept at exit", repr(settings))
    except Failure as failure:
        checks.fail(str(failure))
    except Interrupted as interruption:
        interrupted = interruption.number
        checks.fail(str(interruption))
    finally:
        if client:
            client.kill()
        if simulator:
            simulator.stop()
        remove_work_folder(work, args.keep or checks.failed > 0 and os.environ.get("NOXEL_KEEP_FAILED") == "1")
    status = checks.summary()
    return 128 + interrupted if interrupted else status


if __name__ == "__main__":
    sys.exit(main())
