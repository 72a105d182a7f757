#!/usr/bin/python3
"""Prints what the central office received in the demonstration, and checks it.

demo_summary.py RUN_FOLDER   (exit 1 when something that should have arrived is missing)
"""
import configparser
import io
import os
import sys
import zipfile


def tsd_range(data):
    parser = configparser.ConfigParser()
    parser.read_string(data.decode("utf-8", "replace"))
    section = parser["TSD"] if "TSD" in parser else {}
    return section.get("StartDate"), section.get("EndDate")


def show_pack(client, folder, expect_tsv):
    problems = []
    path = os.path.join(folder, "MissionPackIn.zip")
    print("\n== %s: MissionPackIn.zip (%d bytes)" % (client, os.path.getsize(path)))
    with zipfile.ZipFile(path) as z:
        names = z.namelist()
        for info in z.infolist():
            print("   %-16s %9d bytes" % (info.filename, info.file_size))
        for name in names:
            if name.endswith(".tsv"):
                lines = z.read(name).split(b"\r\n")[:-1]
                print("\n   %s: %d lines; first lines:" % (name, len(lines)))
                for line in lines[:3]:
                    print("     " + line.decode("utf-8", "replace").replace("\t", " | "))
                if not lines:
                    problems.append("%s is empty" % name)
            if name.endswith(".tsd"):
                start, end = tsd_range(z.read(name))
                print("   %s: StartDate=%s EndDate=%s" % (name, start, end))
        for name in names:
            if name.endswith("reports.zip"):
                inner = zipfile.ZipFile(io.BytesIO(z.read(name)))
                print("   reports.zip holds: " + ", ".join(inner.namelist()))
    required = ["reports.zip"] + (["orders.tsv", "products.tsv"] if expect_tsv else [])
    for name in required:
        if name not in names:
            problems.append("%s: %s missing from MissionPackIn.zip" % (client, name))
    if expect_tsv:
        with zipfile.ZipFile(path) as z:
            start, end = tsd_range(z.read("orders.tsd"))
            if not start or not end:
                problems.append("orders.tsd has no date range")
    return problems


def main():
    run = sys.argv[1]
    received = os.path.join(run, "received")
    problems = []
    print("\n================ What the central office received ================")
    for client, expect_tsv in (("vanelet", False), ("skyvane", True)):
        folder = os.path.join(received, client)
        if not os.path.isfile(os.path.join(folder, "MissionPackIn.zip")):
            problems.append("%s delivered no MissionPackIn.zip" % client)
            continue
        problems += show_pack(client, folder, expect_tsv)
    log = os.path.join(received, "skyvane", "transact.log")
    if os.path.isfile(log):
        lines = open(log, "rb").read().decode("utf-8", "replace").split("\r\n")[:-1]
        print("\n== skyvane: transact.log (%d lines); last lines:" % len(lines))
        for line in lines[-6:]:
            print("   " + line)
    else:
        problems.append("skyvane delivered no transact.log")
    prices = os.path.join(run, "prices", "pricelist.txt")
    print("\n== The store after the night")
    print("   price list unpacked:  %s (%s)" % (prices, "yes" if os.path.isfile(prices) else "NO"))
    archive = os.path.join(run, "reports-archive")
    archived = sorted(os.listdir(archive)) if os.path.isdir(archive) else []
    print("   reports archived:     %s" % ", ".join(archived))
    print("\n== Where the files lie")
    print("   FTP server root:      %s" % os.path.join(run, "ftp-root"))
    print("   received packs:       %s" % received)
    print("   program folder:       %s (transact.log, vanelet.log, debug logs)" %
          os.path.join(run, "store"))
    if not os.path.isfile(prices):
        problems.append("the price list was not unpacked")
    if problems:
        print("\nDEMO FAILED:")
        for p in problems:
            print("   " + p)
        return 1
    print("\nDemo complete: both sessions delivered their results.")
    return 0


if __name__ == "__main__":
    sys.exit(main())
