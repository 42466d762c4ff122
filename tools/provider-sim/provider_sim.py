#!/usr/bin/env python3
"""A stand-in for the provider's API, for tests and the demo.

It serves the framed XML protocol over TLS on a loopback port, answers every
request kind from a JSON data file, and records every envelope it receives.
Its frame codec is its own, written apart from the client's, so that a fault
in one shows up against the other.

Usage: provider_sim.py --data FILE [--port N] [--record DIR] [--fault MODE]
It prints "LISTENING <port>" on standard output once it accepts connections.
When the data file's contents change while it runs, the new data applies from
the next envelope on (accounts handed out as trials are then forgotten). Started
again on a record folder that holds envelopes, it numbers on after them.

Account fields beyond the plain ones: "payment_notification" (an object with
"title", "headline", "text", "forced" and "lock_secs") goes into every account
status; "login_user_status": false leaves the account status out of the login
answer.

Fault modes (from --fault, or from the file DIR/fault, read for every answer):
  garbage        answer with a frame that holds no XML
  drop           send half an answer frame, then close the connection (the
                 connection log says "cut connection=N" after that envelope)
  drop:KIND      the same for requests of that kind only (drop:login)
  zero4          answer with exactly four zero bytes
  three          answer with three bytes
  nodigits       send a length line without digits before the answer
  oversize       announce a frame far larger than any client accepts
  oversize:N     announce a frame of N bytes, send a little of it, then close
  delay:MS       wait MS milliseconds before answering
  close          close the connection without answering
  auth-fail      refuse every login
  no-variables   leave the variables out of status answers, even when asked for
  plain          never compress answers
  handshake-delay:MS  wait MS milliseconds before the TLS handshake of a new connection
  wrong-cert     (command line only) present a certificate the client does not pin
"""

import argparse
import hashlib
import ipaddress
import itertools
import json
import os
import socket
import socketserver
import ssl
import struct
import sys
import threading
import time
import traceback
import zlib
from xml.sax.saxutils import escape, quoteattr
import xml.etree.ElementTree as ET

HERE = os.path.dirname(os.path.abspath(__file__))
MAX_FRAME = 64 * 1024 * 1024


class FrameReader:
    """Reads client frames: digits, optional "C", CRLF, payload; "Q" says goodbye."""

    def __init__(self, stream):
        self.stream = stream
        self.pending = b""
        self.goodbye = False

    def _byte(self):
        if not self.pending:
            chunk = self.stream.recv(65536)
            if not chunk:
                return None
            self.pending = chunk
        b, self.pending = self.pending[:1], self.pending[1:]
        return b

    def _exactly(self, n):
        out = bytearray()
        while len(out) < n:
            if self.pending:
                take = self.pending[: n - len(out)]
                out += take
                self.pending = self.pending[len(take):]
                continue
            chunk = self.stream.recv(min(65536, n - len(out)))
            if not chunk:
                return None
            self.pending = chunk
        return bytes(out)

    def next_envelope(self):
        """The next envelope as bytes, or None when the client said goodbye or left."""
        self.goodbye = False
        digits = b""
        compressed = False
        while True:
            b = self._byte()
            if b is None:
                return None
            if b == b"Q" and not digits:
                self.goodbye = True
                return None
            if b.isdigit():
                digits += b
            elif b == b"C":
                compressed = True
            elif b == b"\n":
                if digits:
                    break
                compressed = False
        size = int(digits)
        if size > MAX_FRAME:
            raise ValueError("frame too large: %d" % size)
        payload = self._exactly(size)
        if payload is None:
            return None
        if compressed:
            (plain_size,) = struct.unpack(">I", payload[:4])
            text = zlib.decompress(payload[4:])
            if len(text) != plain_size:
                raise ValueError("size mismatch: %d != %d" % (len(text), plain_size))
            return text
        return payload.split(b"\0", 1)[0]


def frame(text, compress=True):
    if compress and len(text) >= 50:
        payload = struct.pack(">I", len(text)) + zlib.compress(text, 9)
        return b"C" + str(len(payload)).encode() + b"\r\n" + payload
    return str(len(text)).encode() + b"\r\n" + text


def sha1(text):
    return hashlib.sha1(text.encode("utf-8")).hexdigest()


def el(_tag, _content=None, **attributes):
    """An element; attribute names take "-" where Python needs "_"."""
    attrs = "".join(" %s=%s" % (k.replace("_", "-"), quoteattr(str(v))) for k, v in attributes.items() if v is not None)
    if _content is None:
        return "<%s%s/>" % (_tag, attrs)
    return "<%s%s>%s</%s>" % (_tag, attrs, _content, _tag)


def text_el(_tag, _value, **attributes):
    return el(_tag, escape(str(_value)), **attributes)


class Provider:
    def __init__(self, data, record_dir, fault, data_file=None):
        self.data = data
        self.data_file = data_file
        self.data_text = None
        if data_file:
            with open(data_file, "rb") as f:
                self.data_text = f.read()
        self.record_dir = record_dir
        self.static_fault = fault
        self.lock = threading.Lock()
        self.counter = itertools.count(self.last_recorded() + 1)
        self.checkout_polls = {}
        self.trial_counter = itertools.count(1)
        if record_dir:
            for sub in ("", "tickets", "error-reports"):
                os.makedirs(os.path.join(record_dir, sub), exist_ok=True)

    def last_recorded(self):
        if not self.record_dir or not os.path.isdir(self.record_dir):
            return 0
        return max((int(name[:6]) for name in os.listdir(self.record_dir)
                    if name[:6].isdigit() and name.endswith(".xml")), default=0)

    # Faults -----------------------------------------------------------------

    def fault(self):
        if self.record_dir:
            path = os.path.join(self.record_dir, "fault")
            try:
                with open(path) as f:
                    mode = f.read().strip()
                if mode:
                    return mode
            except OSError:
                pass
        return self.static_fault or ""

    def reload(self):
        """Takes the data file's contents again when they changed."""
        if not self.data_file:
            return
        try:
            with open(self.data_file, "rb") as f:
                text = f.read()
            if text == self.data_text:
                return
            data = json.loads(text)
        except (OSError, ValueError):
            return
        with self.lock:
            self.data_text = text
            self.data = data

    # Recording --------------------------------------------------------------

    def record(self, envelope, kind, peer, connection):
        number = next(self.counter)
        if not self.record_dir:
            return number
        name = "%06d-%s.xml" % (number, kind or "unknown")
        with open(os.path.join(self.record_dir, name), "wb") as f:
            f.write(envelope)
        self.log("%s %s connection=%d" % (name, peer, connection))
        return number

    def log(self, line):
        """One line of the connection log: envelopes received, goodbyes, closes."""
        if self.record_dir:
            with self.lock, open(os.path.join(self.record_dir, "connections.log"), "a") as f:
                f.write(line + "\n")

    def save(self, folder, number, content):
        if self.record_dir:
            with open(os.path.join(self.record_dir, folder, "%06d.xml" % number), "wb") as f:
                f.write(content)

    # Accounts ---------------------------------------------------------------

    def account_for(self, header):
        login = header.find("login") if header is not None else None
        if login is None:
            return None
        username = login.get("username", "")
        digest = login.get("password", "")
        for account in self.data.get("accounts", []):
            if account["username"] == username and sha1(account["password"]) == digest:
                return account
        return None

    # Answers ----------------------------------------------------------------

    def geoip(self, peer):
        address = ipaddress.ip_address(peer)
        for entry in self.data.get("geoip", []):
            if address in ipaddress.ip_network(entry["network"], strict=False):
                return entry
        return None

    def geoip_xml(self, peer):
        entry = self.geoip(peer)
        if entry is None:
            return el("geoip", text_el("address", peer))
        parts = [text_el("address", entry.get("address", peer))]
        country = entry.get("country")
        if country:
            parts.append(text_el("country", country["name"], code=country["code"]))
        parts.append(text_el("isp", entry.get("isp", "")))
        parts.append(text_el("location", entry.get("location", "")))
        coord = entry.get("coord")
        if coord:
            parts.append(el("coord", lng=coord.get("lng"), lat=coord.get("lat"), alt=coord.get("alt")))
        return el("geoip", "".join(parts))

    def common_login_parts(self, peer):
        parts = [self.geoip_xml(peer)]
        update = (self.data.get("software") or {}).get("update")
        if update:
            parts.append(el("software", el("update", text_el("url", update.get("url", "")),
                                            optional="true" if update.get("optional") else None)))
        else:
            parts.append(el("software", ""))
        mode = (self.data.get("settings") or {}).get("gq_mode")
        parts.append(el("settings", el("gq", mode=mode) if mode is not None else ""))
        addresses = self.data.get("addresses", [])
        if addresses:
            parts.append(el("addresses", "".join(
                text_el("address", a["host"], port=a["port"], secure="true" if a.get("secure", True) else "false")
                for a in addresses)))
        return parts

    def user_status_xml(self, account):
        parts = []
        vpn = account.get("vpn_account")
        if vpn:
            parts.append(el("vpn-account", text_el("username", vpn["username"]) + text_el("password", vpn["password"])
                            + text_el("shared-secret", vpn.get("shared_secret", ""))))
        resources = []
        for resource in self.data.get("resources", []):
            content = resource.get("content")
            if content is None and resource.get("content_file"):
                with open(resource["content_file"]) as f:
                    content = f.read()
            resources.append(text_el("vpn-resource", content or "", key=resource["key"],
                                     provider=resource.get("provider"), server=resource.get("server"),
                                     encoding=resource.get("encoding"), file_name=resource.get("file_name", ""),
                                     protocol=resource.get("protocol", "ovpn_udp")))
        parts.append(el("vpn-resources", "".join(resources)))
        if account.get("vpn_disconnect"):
            parts.append(el("vpn-disconnect"))
        term = account.get("term")
        if term:
            parts.append(el("term", start=term.get("start"), end=term.get("end")))
        if account.get("trial"):
            parts.append(el("trial"))
        if account.get("admin"):
            parts.append(el("admin"))
        if account.get("stealth", True):
            parts.append(el("stealth-ovpn"))
        message = account.get("message")
        if message:
            parts.append(el("message", text_el("text", message.get("text", "")), type=message.get("type")))
        rows = account.get("rows", [])
        if rows:
            parts.append(el("rows", "".join(el("row", text_el("label", r["label"]) + text_el("value", r["value"]))
                                            for r in rows)))
        payment = account.get("payment_notification")
        if payment:
            parts.append(el("payment-notification",
                            "".join(text_el(k, payment[k]) for k in ("title", "headline", "text") if k in payment),
                            forced="true" if payment.get("forced") else None, lock_secs=payment.get("lock_secs")))
        return el("user-status", "".join(parts), update_interval=account.get("update_interval"),
                  timestamp=int(time.time()))

    def variables_xml(self):
        variables = self.data.get("variables", {})
        urls = "".join(text_el("url", v, key=k) for k, v in variables.get("urls", {}).items())
        strings = "".join(text_el("string", s["text"], key=s["key"], lang=s.get("lang"))
                          for s in variables.get("strings", []))
        prefs = "".join(text_el(p["type"], p["value"], name=p["name"]) for p in variables.get("prefs", []))
        return el("variables", el("urls", urls) + el("strings", strings) + el("prefs", prefs))

    def servers_xml(self):
        servers = []
        for s in self.data.get("servers", []):
            parts = [text_el("host", s.get("host", "")), text_el("address", s.get("address", ""))]
            location = s.get("location")
            if location:
                parts.append(el("location", text_el("name", location.get("name", ""))
                                + el("coord", lng=location.get("lng"), lat=location.get("lat"), alt=location.get("alt"))))
            country = s.get("country")
            if country:
                parts.append(text_el("country", country["name"], code=country["code"]))
            stealth = s.get("stealth")
            if stealth:
                parts.append(el("stealth", address=stealth.get("address"), port=stealth.get("port")))
            if s.get("vpn_provider"):
                parts.append(el("vpn-provider", key=s["vpn_provider"]))
            servers.append(el("vpn-server", "".join(parts), uid=s["uid"], capacity=s.get("capacity"),
                              provider=s.get("provider"), capacity_indicator=s.get("capacity_indicator")))
        return el("vpn-servers", "".join(servers))

    def answer(self, envelope, peer, connection):
        """The answer text for one envelope, and the kind of request it was."""
        self.reload()
        root = ET.fromstring(envelope)
        header = root.find("header")
        body = root.find("body")
        request = body[0] if body is not None and len(body) else None
        kind = request.tag if request is not None else ""
        number = self.record(envelope, kind, peer, connection)
        account = self.account_for(header)
        login = header.find("login") if header is not None else None
        has_login = login is not None and bool(login.get("username"))
        auth_fail = '<authentication-failed>Wrong user name or password</authentication-failed>'
        if self.fault() == "auth-fail" and kind in ("login", "login-check", "status", "vpn-servers"):
            return auth_fail, kind

        if kind == "login":
            if account is None:
                return auth_fail, kind
            parts = self.common_login_parts(peer)
            if account.get("login_user_status", True):
                parts.insert(1, self.user_status_xml(account))
            return el("login", "".join(parts)), kind
        if kind == "anonymous":
            parts = self.common_login_parts(peer)
            if (self.data.get("anonymous") or {}).get("login_dialog"):
                parts.insert(0, el("login-dialog"))
            return el("login", "".join(parts)), kind
        if kind == "login-check":
            if account is None:
                return auth_fail, kind
            return el("login-check", ""), kind
        if kind == "status":
            if account is None:
                return auth_fail, kind
            status = self.user_status_xml(account)
            if request.get("variables") == "true" and self.fault() != "no-variables":
                return el("status", status + self.variables_xml()), kind
            return status, kind
        if kind == "variables":
            return self.variables_xml(), kind
        if kind == "vpn-servers":
            # The list is public: only a login that is given and wrong is refused.
            if account is None and has_login:
                return auth_fail, kind
            return self.servers_xml(), kind
        if kind == "geoip":
            return el("geoip-answer", self.geoip_xml(peer)), kind
        if kind == "url":
            base = self.data.get("links", {}).get(request.get("key", ""), "")
            params = "&".join("%s=%s" % (p.get("name"), p.text or "") for p in request.findall("param"))
            if base and params:
                base += ("&" if "?" in base else "?") + params
            return text_el("url", base), kind
        if kind == "trial":
            return self.trial_answer(request), kind
        if kind == "checkout-status":
            return self.checkout_answer(request), kind
        if kind == "create-ticket":
            self.save("tickets", number, envelope)
            if request.find("email") is None or not (request.find("email").text or "").strip():
                return el("create-ticket", el("errors", text_el("error", "An e-mail address is needed"))), kind
            return el("create-ticket", text_el("success", "Ticket %d created" % number)), kind
        if kind == "error-report":
            self.save("error-reports", number, envelope)
            return el("error-report", ""), kind
        return el("unknown-request", ""), kind

    def trial_answer(self, request):
        trial = self.data.get("trial", {})
        mode = trial.get("mode", "account")
        if mode == "refuse":
            return el("trial", text_el("error-message", trial.get("message", "No trial for this computer")))
        if mode == "checkout":
            uid = "checkout-%d" % next(self.trial_counter)
            with self.lock:
                self.checkout_polls[uid] = 0
            return el("trial", el("checkout", uid=uid))
        account = self.new_trial_account()
        return el("trial", text_el("username", account["username"]) + text_el("password", account["password"]))

    def checkout_answer(self, request):
        uid = request.get("uid", "")
        with self.lock:
            if uid not in self.checkout_polls:
                return el("checkout-status", text_el("status", "unknown"))
            self.checkout_polls[uid] += 1
            polls = self.checkout_polls[uid]
        if polls < self.data.get("trial", {}).get("checkout_polls", 2):
            return el("checkout-status", text_el("status", "pending"))
        account = self.new_trial_account()
        return el("checkout-status", text_el("status", "completed") + text_el("username", account["username"])
                  + text_el("password", account["password"]))

    def new_trial_account(self):
        with self.lock:
            n = len(self.data.setdefault("accounts", [])) + 1
            template = dict(self.data["accounts"][0]) if self.data["accounts"] else {}
            template.update({"username": "trial%d" % n, "password": "pw%d" % n, "trial": True, "term": None})
            self.data["accounts"].append(template)
            return template


class Handler(socketserver.BaseRequestHandler):
    def handle(self):
        provider = self.server.provider
        peer = self.client_address[0]
        conn = self.request
        reader = FrameReader(conn)
        connection = next(self.server.connections)
        try:
            fault = provider.fault()
            if fault.startswith("handshake-delay:"):
                time.sleep(int(fault.split(":", 1)[1]) / 1000.0)
            conn.do_handshake()
            provider.log("open connection=%d" % connection)
            while True:
                envelope = reader.next_envelope()
                if envelope is None:
                    provider.log("%s connection=%d" % ("goodbye" if reader.goodbye else "closed", connection))
                    return
                text, kind = provider.answer(envelope, peer, connection)
                data = text.encode("utf-8")
                fault = provider.fault()
                if fault.startswith("delay:"):
                    time.sleep(int(fault.split(":", 1)[1]) / 1000.0)
                    fault = ""
                if fault == "close":
                    return
                if fault == "garbage":
                    conn.sendall(frame(b"\x01\x02 this is not XML at all " * 4, compress=False))
                elif fault in ("drop", "drop:" + kind):
                    out = frame(data, compress=True)
                    conn.sendall(out[: max(1, len(out) // 2)])
                    provider.log("cut connection=%d" % connection)
                    return
                elif fault == "zero4":
                    conn.sendall(b"4\r\n\0\0\0\0")
                elif fault == "three":
                    conn.sendall(b"3\r\nabc")
                elif fault == "nodigits":
                    conn.sendall(b"\r\n" + frame(data))
                elif fault == "oversize" or fault.startswith("oversize:"):
                    size = fault.split(":", 1)[1] if ":" in fault else "999999999999"
                    conn.sendall(size.encode("ascii") + b"\r\n" + b"x" * 1000)
                    return
                else:
                    conn.sendall(frame(data, compress=fault != "plain"))
        except (OSError, ValueError, ET.ParseError, ssl.SSLError) as error:
            sys.stderr.write("provider-sim: %s: %s\n" % (peer, error))
        finally:
            try:
                conn.shutdown(socket.SHUT_RDWR)
            except OSError:
                pass


class Server(socketserver.ThreadingMixIn, socketserver.TCPServer):
    daemon_threads = True
    allow_reuse_address = True

    def __init__(self, address, provider, context):
        self.provider = provider
        self.connections = itertools.count(1)
        self.context = context
        super().__init__(address, Handler)

    def get_request(self):
        conn, address = self.socket.accept()
        conn.settimeout(30)
        # The handshake runs in the connection's own thread, so a slow client
        # never holds up the others.
        return self.context.wrap_socket(conn, server_side=True, do_handshake_on_connect=False), address

    def handle_error(self, request, client_address):
        sys.stderr.write("provider-sim: connection from %s failed\n" % (client_address,))
        traceback.print_exc()


def main():
    parser = argparse.ArgumentParser(description="Provider API simulator")
    parser.add_argument("--data", required=True)
    parser.add_argument("--host", default="127.0.0.1")
    parser.add_argument("--port", type=int, default=0)
    parser.add_argument("--record")
    parser.add_argument("--fault", default="")
    parser.add_argument("--cert")
    parser.add_argument("--key")
    args = parser.parse_args()

    with open(args.data) as f:
        data = json.load(f)
    certs = os.path.join(HERE, "certs")
    name = "wrong-server" if args.fault == "wrong-cert" else "demo-server"
    cert = args.cert or os.path.join(certs, name + ".crt")
    key = args.key or os.path.join(certs, name + ".key")

    context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
    context.load_cert_chain(cert, key)
    provider = Provider(data, args.record, "" if args.fault == "wrong-cert" else args.fault, args.data)
    server = Server((args.host, args.port), provider, context)
    sys.stdout.write("LISTENING %d\n" % server.server_address[1])
    sys.stdout.flush()
    try:
        server.serve_forever()
    except KeyboardInterrupt:
        pass


if __name__ == "__main__":
    main()
