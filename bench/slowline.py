#!/usr/bin/python3
"""Whole nights of the real vanelet and skyvane over slow lines (run by bench/slowline_bench.sh).

    slowline.py --bin DIR [--sessionserver PATH] [--profiles A,B] [--clients vanelet,skyvane]
                [--scale F] [--work DIR] [--congestion cubic]

The store and the office are two network namespaces joined by bench/linkemu.py. The office runs
the session server (tools/sessionserver) and the FTP server (tests/support/ftpserver.py); the
store runs the client. Its Mission Pack holds a sendfile mission with an archive of random bytes
and a getfile mission that packs the store's reports (random bytes too) and archives them after
the night (ArchiveAfterGet). Per night it reports whether the office has the return pack byte
for byte, from one upload; the night's time (Mission Pack request to the client's answer)
against the time its bytes need at the line's rate; skyvane's largest gap between keep-alives
in that time (debug.log); whether the client ended by itself; and where the reports are.

As root. Logs of every night stay in the work folder (printed at the end).
"""

import argparse
import atexit
import datetime
import json
import os
import random
import re
import shutil
import signal
import subprocess
import sys
import threading
import time
import zipfile

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(HERE)
STORE_IP, OFFICE_IP = "10.55.0.2", "10.55.0.1"
STORE_MAC, OFFICE_MAC = "02:00:00:00:55:02", "02:00:00:00:55:01"

DIALUP = {"rate": 48000, "delay": 150, "queue": 20}
DEEP = dict(DIALUP, queue=1000)
LAN = {"rate": 100000000, "delay": 0.5, "queue": 1000}

# Each profile: the line's two directions (up: store to office), sizes of the Mission Pack and
# of the return pack in KB, the bench target (night / line time), an outage in the upload, the
# office's upload reading rate, and how many nights.
PROFILES = {
    "dialup": {"row": "dial-up", "title": "dial-up, 48 kbit/s each way, 150 ms, 20-packet queue",
               "up": DIALUP, "down": DIALUP, "pack": 2048, "ret": 2048, "target": 1.25},
    "deepqueue": {"row": "deep queue", "title": "dial-up with a 1,000-packet queue",
                  "up": DEEP, "down": DEEP, "pack": 2048, "ret": 2048, "target": 1.25},
    "slowuplink": {"title": "48 kbit/s uplink (1,000-packet queue), 8 Mbit/s downlink, 20 ms",
                   "up": {"rate": 48000, "delay": 20, "queue": 1000},
                   "down": {"rate": 8000000, "delay": 20, "queue": 1000},
                   "pack": 2048, "ret": 2048},
    "dsl": {"row": "DSL with loss",
            "title": "DSL 1 Mbit/s down, 256 kbit/s up, 20 ms, 2 % loss, 2 % reordered",
            "up": {"rate": 256000, "delay": 20, "loss": 0.02, "reorder": 0.02, "queue": 100},
            "down": {"rate": 1000000, "delay": 20, "loss": 0.02, "reorder": 0.02, "queue": 100},
            "pack": 4096, "ret": 4096, "target": 1.25},
    "mobile": {"row": "mobile", "title": "mobile 1 Mbit/s down, 384 kbit/s up, 60 ms, 60 ms jitter",
               "up": {"rate": 384000, "delay": 60, "jitter": 60, "queue": 100},
               "down": {"rate": 1000000, "delay": 60, "jitter": 60, "queue": 100},
               "pack": 4096, "ret": 4096, "target": 1.25},
    "outage30": {"title": "dial-up, the line gone for 30 s mid-upload",
                 "up": DIALUP, "down": DIALUP, "pack": 2048, "ret": 2048, "outage": 30,
                 "nights": 2},
    "outage150": {"title": "dial-up, the line gone for 150 s mid-upload",
                  "up": DIALUP, "down": DIALUP, "pack": 2048, "ret": 2048, "outage": 150,
                  "nights": 2},
    "linedrop": {"title": "dial-up, the line gone for 25 minutes mid-upload (vanelet only: "
                          "skyvane keeps reconnecting, as it should)",
                 "up": DIALUP, "down": DIALUP, "pack": 2048, "ret": 2048, "outage": 1500,
                 "clients": ["vanelet"]},
    "slowreader": {"title": "fast LAN, office FTP server reading 2,000 bytes/s",
                   "up": LAN, "down": LAN, "pack": 1024, "ret": 1024, "readLimit": 2000},
}

# skyvane answers E08 by sending its transaction log (E08, or E28 when that failed).
ENDING = {"vanelet": "timeout 300\nclosed\n",
          "skyvane": "timeout 1800\nexpect STORE12E*\nsend E09\ntimeout 300\nclosed\n"}
LOG = {"vanelet": "vanelet.log", "skyvane": "transact.log"}


def run(*command):
    subprocess.run(command, check=True)


def random_file(path, size, rng):
    with open(path, "wb") as f:
        f.write(rng.randbytes(size))


def ini(keys):
    return ("\r\n".join(["[Mission]"] + ["%s=%s" % kv for kv in keys]) + "\r\n").encode()


class Namespaces:
    """The store and the office, joined by the user-space line."""

    def __init__(self, work, profile, congestion):
        tag = "svl%d" % os.getpid()
        self.store, self.office = tag + "-store", tag + "-office"
        self.control = os.path.join(work, "line.control")
        self.link = None
        try:
            self._make(work, profile, congestion)
        except BaseException:
            self.close()
            raise

    def _make(self, work, profile, congestion):
        for ns in (self.store, self.office):
            run("ip", "netns", "add", ns)
            run("ip", "netns", "exec", ns, "sysctl", "-qw",
                "net.ipv4.tcp_congestion_control=" + congestion)
        os.mkfifo(self.control)
        config = {"ends": [{"netns": self.store, "tap": "sl0"},
                           {"netns": self.office, "tap": "sl0"}],
                  "up": profile["up"], "down": profile["down"], "control": self.control,
                  "log": os.path.join(work, "line.log"), "seed": 7}
        self.link = subprocess.Popen([sys.executable, os.path.join(HERE, "linkemu.py"),
                                      json.dumps(config)], stdout=subprocess.PIPE, text=True)
        if self.link.stdout.readline().strip() != "ready":
            raise RuntimeError("the line did not start")
        for ns, ip, mac, peer_ip, peer_mac in ((self.store, STORE_IP, STORE_MAC, OFFICE_IP,
                                                OFFICE_MAC),
                                               (self.office, OFFICE_IP, OFFICE_MAC, STORE_IP,
                                                STORE_MAC)):
            run("ip", "-n", ns, "link", "set", "lo", "up")
            run("ip", "-n", ns, "link", "set", "sl0", "address", mac, "up")
            run("ip", "-n", ns, "addr", "add", ip + "/24", "dev", "sl0")
            # No address resolution over the line: an outage must not turn into "no route".
            run("ip", "-n", ns, "neigh", "replace", peer_ip, "lladdr", peer_mac, "dev", "sl0",
                "nud", "permanent")

    def command(self, text):
        with open(self.control, "w") as f:
            f.write(text + "\n")

    def close(self):
        if self.link:
            self.link.terminate()
            self.link.wait()
        for ns in (self.store, self.office):
            subprocess.run(["ip", "netns", "del", ns], stderr=subprocess.DEVNULL)


class Stamped:
    """A process whose output lines are kept with the time they appeared."""

    def __init__(self, command, path):
        self.lines = []
        self.process = subprocess.Popen(command, stdout=subprocess.PIPE,
                                        stderr=subprocess.STDOUT, text=True, errors="replace")
        self.out = open(path, "w")
        self.thread = threading.Thread(target=self._read, daemon=True)
        self.thread.start()

    def _read(self):
        for line in self.process.stdout:
            now = time.time()
            self.lines.append((now, line.rstrip("\n")))
            self.out.write("%.3f %s" % (now, line))
            self.out.flush()

    def first(self, pattern):
        for when, line in list(self.lines):
            if re.search(pattern, line):
                return when, line
        return None, None

    def stop(self):
        if self.process.poll() is None:
            self.process.terminate()
        try:
            self.process.wait(10)
        except subprocess.TimeoutExpired:
            self.process.kill()
            self.process.wait()
        self.thread.join(5)
        self.out.close()


class LogFollower:
    """Keeps every line of a client's log with the time it appeared, also across the deletion
    of the file (skyvane deletes transact.log once it has sent it)."""

    def __init__(self, path):
        self.path, self.lines, self.offset = path, [], 0
        self.done = threading.Event()
        self.thread = threading.Thread(target=self._follow, daemon=True)
        self.thread.start()

    def _follow(self):
        pending = b""
        while True:
            stop = self.done.is_set()
            try:
                size = os.path.getsize(self.path)
                if size < self.offset:
                    self.offset, pending = 0, b""
                with open(self.path, "rb") as f:
                    f.seek(self.offset)
                    chunk = f.read()
                self.offset += len(chunk)
                pending += chunk
            except OSError:
                pass
            now = time.time()
            while b"\n" in pending:
                line, pending = pending.split(b"\n", 1)
                text = line.decode("latin-1").rstrip("\r")
                self.lines.append((now, re.sub(r"^\d+/\d+/\d{4} \d+:\d\d:\d\d [AP]M :", "",
                                              text)))
            if stop:
                return
            time.sleep(0.1)

    def first(self, pattern, after=0.0):
        for when, text in list(self.lines):
            if when >= after and re.search(pattern, text):
                return when
        return None

    def stop(self, path):
        self.done.set()
        self.thread.join(10)
        with open(path, "w") as f:
            for when, text in self.lines:
                f.write("%.3f %s\n" % (when, text))


def wait_for(value, what, seconds=30):
    """value()'s first true result within the time, else an error naming what."""
    deadline = time.time() + seconds
    while time.time() < deadline:
        result = value()
        if result:
            return result
        time.sleep(0.1)
    raise RuntimeError(what + " did not start")


def log_time(line):
    """The time of a log line ("12/7/2026 9:53:13 PM :text"), or None."""
    match = re.match(r"(\d+/\d+/\d{4} \d+:\d\d:\d\d [AP]M) :", line)
    if not match:
        return None
    return datetime.datetime.strptime(match.group(1), "%m/%d/%Y %I:%M:%S %p").timestamp()


def read_lines(path):
    if not os.path.exists(path):
        return []
    with open(path, encoding="latin-1") as f:
        return f.read().splitlines()


class Night:
    def __init__(self, args, client, name, profile, number, folders, lines):
        self.args, self.client, self.name, self.profile = args, client, name, profile
        self.number, self.folders, self.lines = number, folders, lines
        self.work = os.path.join(folders["work"], "night%d" % number)
        self.outage_at = None
        os.makedirs(self.work)

    def run(self, with_outage):
        store, ftp_root = self.folders["store"], self.folders["ftp"]
        returned = os.path.join(ftp_root, "store12", "MissionPackIn.zip")
        if os.path.exists(returned):
            os.remove(returned)
        transfers = os.path.join(self.work, "ftp-transfers.log")
        ftp_config = {"host": OFFICE_IP, "root": ftp_root, "transferLog": transfers,
                      "users": [{"name": "store12", "password": "ftp-secret"}]}
        if self.profile.get("readLimit"):
            ftp_config["readLimit"] = self.profile["readLimit"]
        office = self.lines.office
        ftp = Stamped(["ip", "netns", "exec", office, "/usr/bin/python3",
                       os.path.join(ROOT, "tests", "support", "ftpserver.py"),
                       json.dumps(ftp_config)], os.path.join(self.work, "ftpserver.out"))
        session = None
        try:
            ftp_port = wait_for(lambda: (ftp.first(r"^PORT ")[1] or "").split()[1:],
                                "FTP server")[0]
            script = os.path.join(self.work, "session.script")
            # Up to the server's E08 after the client's report, E31 or E32.
            night = subprocess.run(
                ["bash", "-c", 'source "$0"; night_script "*" "$1" "$2" "E3*" 14400',
                 os.path.join(ROOT, "scripts", "night_script.sh"), ftp_port, OFFICE_IP],
                check=True, capture_output=True, text=True).stdout
            with open(script, "w") as f:
                f.write(night + ENDING[self.client])
            port_file = os.path.join(self.work, "session.port")
            session = Stamped(["ip", "netns", "exec", office,
                               self.args.sessionserver or
                               os.path.join(self.args.bin, "sessionserver"), "--address",
                               OFFICE_IP, "--port-file", port_file, script],
                              os.path.join(self.work, "session.out"))
            port = wait_for(lambda: os.path.exists(port_file) and open(port_file).read().strip(),
                            "session server")
            with open(os.path.join(store, "skyvane.ini"), "w", newline="") as f:
                f.write("[system]\r\nID=STORE12\r\nPass=store-secret\r\nConnection=LAN\r\n"
                        "Server=%s\r\nPort=%s\r\nPassiveMode=True\r\n" % (OFFICE_IP, port))
            return self._client(session, with_outage, returned, transfers)
        finally:
            if session:
                session.stop()
            ftp.stop()

    def _client(self, session, with_outage, returned, transfers):
        store = self.folders["store"]
        if os.path.exists(os.path.join(store, LOG[self.client])):
            os.remove(os.path.join(store, LOG[self.client]))
        log = LogFollower(os.path.join(store, LOG[self.client]))
        arguments = ["-log"] if self.client == "vanelet" else []
        env = dict(os.environ, QT_QPA_PLATFORM="offscreen")
        probe = None
        if self.client == "skyvane" and self.args.xvfb:
            # On a display of its own, where a probe checks that the window repaints.
            env.update(QT_QPA_PLATFORM="xcb", DISPLAY=self.args.xvfb)
            probe = subprocess.Popen(["/usr/bin/python3", os.path.join(HERE, "repaintprobe.py"),
                                      self.args.xvfb, os.path.join(self.work, "repaint.log")])
        line_seconds = self.line_seconds(os.path.getsize(self.folders["pack"]),
                                         self.folders["ret_kb"] * 1024)
        limit = max(1800, 6 * line_seconds + (self.profile.get("outage") or 0))
        started = time.time()
        client = subprocess.Popen(["ip", "netns", "exec", self.lines.store,
                                   os.path.join(store, self.client)] + arguments, cwd=store,
                                  env=env, stdout=open(os.path.join(self.work, "client.out"), "w"),
                                  stderr=subprocess.STDOUT)
        outage = None
        if with_outage and self.profile.get("outage"):
            outage = threading.Thread(target=self._outage, args=(log, returned), daemon=True)
            outage.start()
        ended = True
        try:
            client.wait(limit)
        except subprocess.TimeoutExpired:
            ended = False
        finally:
            if client.poll() is None:
                client.kill()
                client.wait()
            if probe:
                probe.kill()
                probe.wait()
        finished = time.time()
        time.sleep(1)
        log.stop(os.path.join(self.work, "client.log"))
        if os.path.exists(os.path.join(store, "debug.log")):
            shutil.copy(os.path.join(store, "debug.log"), self.work)
        return self.summary(session, started, finished, ended, client.returncode, log, returned,
                            transfers)

    def _outage(self, log, returned):
        """The line goes for the profile's outage once a third of the return pack is there."""
        local = os.path.join(self.folders["store"], "MissionPackIn.zip")
        while not log.first(r"^Sending MissionPackIn\.Zip"):
            time.sleep(0.5)
        size = os.path.getsize(local)
        while not os.path.exists(returned) or os.path.getsize(returned) < size / 3:
            time.sleep(0.2)
        self.outage_at = time.time()
        self.lines.command("down %d" % self.profile["outage"])

    def line_seconds(self, pack_bytes, return_bytes):
        """The time the night's bytes need at the line's rate (or the office's reading rate)."""
        down, up = self.profile["down"]["rate"], self.profile["up"]["rate"]
        if self.profile.get("readLimit"):
            up = min(up, self.profile["readLimit"] * 8)
        return pack_bytes * 8 / down + return_bytes * 8 / up

    def summary(self, session, started, finished, ended, code, log, returned, transfers):
        store = self.folders["store"]
        local = os.path.join(store, "MissionPackIn.zip")
        request = session.first(r"<- STORE12E30")[0]
        answered, answer_line = session.first(r"<- STORE12E3[12]")
        answer = answer_line[-3:] if answer_line else "none"
        delivered = (os.path.exists(returned) and os.path.exists(local)
                     and open(returned, "rb").read() == open(local, "rb").read())
        uploads = sum(1 for line in read_lines(transfers) if line.endswith("MissionPackIn.zip"))
        pack_bytes = os.path.getsize(self.folders["pack"])
        return_bytes = os.path.getsize(local) if os.path.exists(local) else 0
        line_s = self.line_seconds(pack_bytes, return_bytes)
        night_s = answered - request if request and answered else None
        # Failure lines, each "Error ..." line with the description after it.
        texts = [text for _, text in log.lines]
        problems = [text for i, text in enumerate(texts)
                    if re.search(r"(?i)error|fail|time.?out|lost|carried nothing|changed after",
                                 text) or (i and texts[i - 1].startswith("Error"))]
        # The transfers: the Mission Pack's download and the return pack's upload.
        receiving = log.first(r"^Receiving Mission Pack")
        received = log.first(r"Received Successfully$")
        sending = log.first(r"^Sending MissionPackIn\.Zip")
        sent = log.first(r"MissionPackIn\.zip Sent Successfully$|^Error Sending .*MissionPackIn",
                         sending or 0)
        windows = [(a, b) for a, b in ((receiving, received), (sending, sent)) if a and b]
        reports = self.folders["reports"]
        in_pack = set()
        if os.path.exists(local):
            with zipfile.ZipFile(local) as outer:
                if "reports.zip" in outer.namelist():
                    with zipfile.ZipFile(outer.open("reports.zip")) as inner:
                        in_pack = set(inner.namelist())
        left = sorted(os.listdir(os.path.join(store, "reports")))
        archived = sorted(os.listdir(os.path.join(store, "archive"))) \
            if os.path.isdir(os.path.join(store, "archive")) else []
        return {
            "client": self.client, "profile": self.name, "night": self.number,
            "delivered": delivered, "uploads": uploads, "answer": answer,
            "night_s": night_s, "line_s": line_s,
            "ratio": night_s / line_s if night_s and delivered else None,
            "target": self.profile.get("target"),
            "download_s": received - receiving if receiving and received else None,
            "upload_s": sent - sending if sending and sent else None,
            "keepalive_gap_s": self.keepalive_gap(windows),
            "ended_by_itself": ended, "exit_code": code, "run_s": finished - started,
            "reports_in_pack": len(in_pack & set(reports)), "reports": len(reports),
            "reports_left": len(set(left) & set(reports)),
            "reports_archived": len(set(archived) & set(reports)),
            "outage_at_s": self.outage_at - started if self.outage_at else None,
            "outage_to_end_s": finished - self.outage_at if self.outage_at else None,
            "problems": problems[:6],
        }

    def keepalive_gap(self, windows):
        """skyvane's largest gap between keep-alives while a transfer is waited for (debug.log
        keeps whole seconds)."""
        if self.client != "skyvane" or not windows:
            return None
        # debug.log splits an entry after its eighth character: "SEND STO RE12E00".
        pulses = [log_time(line) for line in read_lines(os.path.join(self.work, "debug.log"))
                  if line.endswith(":SEND STO RE12E00")]
        gap = 0
        for begin, end in windows:
            times = [int(begin)] + [t for t in pulses if begin - 1 < t < end] + [int(end)]
            gap = max(gap, max(b - a for a, b in zip(times, times[1:])))
        return gap


def prepare_store(args, client, work, profile, rng):
    scale = args.scale
    store, ftp = os.path.join(work, "store"), os.path.join(work, "ftp")
    for folder in (store, os.path.join(store, "reports"), os.path.join(ftp, "store12")):
        os.makedirs(folder)
    shutil.copy(os.path.join(args.bin, client), store)
    if client == "skyvane":
        shutil.copy(os.path.join(args.bin, "svGetData"), store)
    ret_kb = int(profile["ret"] * scale)
    reports = ["report%02d.dat" % i for i in range(8)]
    for name in reports:
        random_file(os.path.join(store, "reports", name), ret_kb * 1024 // len(reports), rng)
    price_list = os.path.join(work, "prices.zip")
    with zipfile.ZipFile(price_list, "w", zipfile.ZIP_STORED) as z:
        z.writestr("prices.dat", rng.randbytes(int(profile["pack"] * scale) * 1024))
    pack = os.path.join(ftp, "store12", "night.zip")
    with zipfile.ZipFile(pack, "w", zipfile.ZIP_STORED) as z:
        z.writestr("prices.ini", ini([("Type", "sendfile"),
                                      ("DestinationPath", os.path.join(store, "prices"))]))
        z.write(price_list, "prices.zip")
        z.writestr("reports.ini", ini([("Type", "getfile"),
                                       ("TargetFiles", os.path.join(store, "reports", "*.dat")),
                                       ("ArchiveAfterGet", "True"),
                                       ("ArchivePath", os.path.join(store, "archive"))]))
    return {"work": work, "store": store, "ftp": ftp, "pack": pack, "ret_kb": ret_kb,
            "reports": reports}


def run_profile(args, client, name, rng):
    profile = PROFILES[name]
    work = os.path.join(args.work, "%s-%s" % (name, client))
    os.makedirs(work)
    folders = prepare_store(args, client, work, profile, rng)
    lines = Namespaces(work, profile, args.congestion)
    results = []
    try:
        for number in range(1, profile.get("nights", 1) + 1):
            night = Night(args, client, name, profile, number, folders, lines)
            result = night.run(with_outage=number == 1)
            results.append(result)
            print(describe(result), flush=True)
            if delivered_once(result):
                break
    finally:
        lines.close()
    return results


def describe(r):
    night = "%.0f s" % r["night_s"] if r["night_s"] else "-"
    ratio = "%.2fx" % r["ratio"] if r["ratio"] else "-"
    gap = "%d s" % r["keepalive_gap_s"] if r["keepalive_gap_s"] is not None else "-"
    seconds = lambda v: "%.0f s" % v if v is not None else "-"
    text = ("%-10s %-8s night %d: %s, %d upload(s), answer %s, night %s (download %s, upload %s),"
            " line %.0f s, %s, keep-alive gap %s, %s, reports %d/%d in the pack, %d left, "
            "%d archived"
            % (r["profile"], r["client"], r["night"],
               "office has the return pack" if r["delivered"] else "NOT delivered", r["uploads"],
               r["answer"],
               night, seconds(r["download_s"]), seconds(r["upload_s"]), r["line_s"], ratio, gap,
               "ended by itself" if r["ended_by_itself"] else "KILLED at the limit",
               r["reports_in_pack"], r["reports"], r["reports_left"], r["reports_archived"]))
    if r["outage_at_s"] is not None:
        text += "\n      line gone at %.0f s, client ended %.0f s after" % (
            r["outage_at_s"], r["outage_to_end_s"])
    for problem in r["problems"]:
        text += "\n      | " + problem
    return text


def delivered_once(r):
    """The office has the return pack from one upload and the client reported it (E31)."""
    return r["delivered"] and r["uploads"] == 1 and r["answer"] == "E31"


def table(results):
    """Rows in the form of the README's bench table, one per client and line with a target."""
    rows = []
    for r in results:
        if not PROFILES[r["profile"]].get("target") or r["night"] != 1:
            continue
        ok = delivered_once(r) and r["ratio"] <= r["target"]
        ours = "%.0f s" % r["night_s"] if delivered_once(r) else "not delivered (%s, %d STOR)" % (
            r["answer"], r["uploads"])
        rows.append("| night on %s, %s | %s | line rate | %.0f | %s | <= %.2fx | - | - | %s |" % (
            PROFILES[r["profile"]]["row"], r["client"], ours, r["line_s"],
            "%.2fx" % r["ratio"] if delivered_once(r) else "-", r["target"],
            "ok" if ok else "MISSED"))
    return rows


ALLOWED = "/proc/sys/net/ipv4/tcp_allowed_congestion_control"


def allow_congestion(name):
    """A namespace may only default to a congestion control the machine allows. The list is
    left longer afterwards (it only lets programs choose it), as other runs may still need it."""
    allowed = open(ALLOWED).read().split()
    if name not in allowed:
        with open(ALLOWED, "w") as f:
            f.write(" ".join(allowed + [name]))
        print("(%s added to %s)" % (name, ALLOWED), flush=True)


def interrupt(*_):
    raise KeyboardInterrupt


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("--bin", required=True, help="folder of the built clients")
    parser.add_argument("--sessionserver", help="the session server (default: in --bin)")
    parser.add_argument("--profiles", default=",".join(PROFILES))
    parser.add_argument("--clients", default="vanelet,skyvane")
    parser.add_argument("--scale", type=float, default=1.0, help="pack sizes times this")
    parser.add_argument("--work", default=None)
    # The stores' Windows sends with CUBIC, as Debian does; BBR (this machine's default) keeps
    # a bottleneck's queue nearly empty and would hide what a deep queue does.
    parser.add_argument("--congestion", default="cubic", help="TCP congestion control")
    parser.add_argument("--xvfb", default=None, metavar="DISPLAY",
                        help="skyvane on this Xvfb display (started here), with bench/"
                             "repaintprobe.py writing repaint.log beside each night's logs")
    args = parser.parse_args()
    if os.geteuid() != 0:
        sys.exit("slowline.py runs as root (network namespaces)")
    # Stopped from outside: the client, the servers and the line end, the namespaces go.
    signal.signal(signal.SIGTERM, interrupt)
    unknown = set(args.profiles.split(",")) - set(PROFILES)
    if unknown:
        sys.exit("unknown profiles: %s (known: %s)" % (", ".join(unknown), ", ".join(PROFILES)))
    args.work = args.work or "/tmp/skyvane-slowline-%s-%d" % (
        time.strftime("%Y%m%d-%H%M%S"), os.getpid())
    os.makedirs(args.work, exist_ok=True)
    rng = random.Random(1)
    print("work folder %s; load average %s" % (args.work, open("/proc/loadavg").read().strip()),
          flush=True)
    allow_congestion(args.congestion)
    if args.xvfb:
        xvfb = subprocess.Popen(["Xvfb", args.xvfb, "-screen", "0", "1024x768x24", "-nolisten",
                                 "tcp"], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        atexit.register(xvfb.terminate)
        time.sleep(2)
    results = []
    for name in args.profiles.split(","):
        for client in args.clients.split(","):
            if client in PROFILES[name].get("clients", [client]):
                results += run_profile(args, client, name, rng)
    with open(os.path.join(args.work, "results.json"), "w") as f:
        json.dump(results, f, indent=1)
    print("\nload average at the end %s" % open("/proc/loadavg").read().strip())
    print("\n".join(table(results)))
    print("\nlogs and results.json in %s" % args.work)
    bad = [r for r in results if not r["ended_by_itself"]]
    last = {}
    for r in results:
        last[(r["profile"], r["client"])] = r
    failed = [k for k, r in last.items() if not delivered_once(r)]
    return 1 if bad or failed else 0


if __name__ == "__main__":
    sys.exit(main())
