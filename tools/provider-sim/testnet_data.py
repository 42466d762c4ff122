#!/usr/bin/env python3
"""Makes the simulator's data file for a test network made by scripts/testnet.

The servers point at the test network's VPN server, the VPN resources are the
client configurations it wrote, and the geo-IP table tells the address seen
before connecting from the one seen through the tunnel.

Usage: testnet_data.py <testnet.env> <base data.json>  (prints the JSON)
"""

import json
import re
import sys


def read_env(path):
    env = {}
    with open(path) as f:
        for line in f:
            key, _, value = line.rstrip("\n").partition("=")
            if len(value) >= 2 and value[0] == value[-1] == "'":
                value = value[1:-1]
            env[key] = value
    return env


def client_config(path, remote):
    with open(path) as f:
        text = f.read()
    lines = []
    for line in text.splitlines():
        if re.match(r"^\s*remote\s", line):
            lines.append(remote)
        elif re.match(r"^\s*auth-user-pass\s+\S", line):
            # The credentials come through the management interface.
            lines.append("auth-user-pass")
        else:
            lines.append(line)
    return "\n".join(lines) + "\n"


def main():
    env = read_env(sys.argv[1])
    with open(sys.argv[2]) as f:
        data = json.load(f)
    server = env["SERVER_ADDRESS"]
    test_id = env["TESTNET_ID"]
    data["resources"] = [
        {"key": "config", "protocol": "ovpn_udp", "encoding": "UTF-8", "file_name": "config.ovpn", "provider": 0,
         "content": client_config(env["CLIENT_UDP_CONF"], "remote __HOST_NAME__ %s" % env["UDP_PORT"])},
        {"key": "config", "protocol": "ovpn_tcp", "encoding": "UTF-8", "file_name": "config.ovpn", "provider": 0,
         "content": client_config(env["CLIENT_TCP_CONF"], "remote __HOST_NAME__ %s" % env["TCP_PORT"])},
        {"key": "config", "protocol": "ovpn_stealth", "encoding": "UTF-8", "file_name": "config.ovpn", "provider": 0,
         "content": client_config(env["CLIENT_STEALTH_CONF"], "remote 127.0.0.1 __LOCAL_PORT__")},
    ]
    for account in data.get("accounts", []):
        account["vpn_account"] = {"username": env["VPN_USER"], "password": env["VPN_PASSWORD"],
                                  "shared_secret": account.get("vpn_account", {}).get("shared_secret", "")}
    for entry in data.get("servers", []):
        entry["host"] = server
        entry["address"] = server
        entry["stealth"] = {"address": server, "port": int(env["STEALTH_PORT"])}
    original = {"network": "10.77.%s.0/24" % test_id, "address": "198.51.100.23",
                "country": {"code": "DE", "name": "Germany"}, "location": "Berlin", "isp": "Demo Broadband",
                "coord": {"lng": 13.40, "lat": 52.52}}
    tunnel = {"address": "203.0.113.77", "country": {"code": "NL", "name": "Netherlands"},
              "location": "Amsterdam", "isp": "Noxel VPN", "coord": {"lng": 4.90, "lat": 52.37}}
    data["geoip"] = [original,
                     dict(tunnel, network="10.8.%s.0/24" % test_id),
                     dict(tunnel, network="10.9.%s.0/24" % test_id)] + data.get("geoip", [])
    json.dump(data, sys.stdout, indent=2)


if __name__ == "__main__":
    main()
