#!/usr/bin/python3
"""Writes the benches' folder of mixed data: mixedfolder.py FOLDER SIZE_MB

All files directly in FOLDER: half log-like text (compresses well), a quarter random bytes (does
not compress), a quarter base64 text (compresses a little), and a few hundred small files. The
same arguments always give the same text files.
"""
import base64, os, random, sys
folder, total = sys.argv[1], int(sys.argv[2]) * 1024 * 1024
rng = random.Random(42)
def text_file(path, size):
    items = ["COFFEE", "BAGEL", "MUFFIN", "TEA", "JUICE", "SANDWICH", "SALAD", "SOUP"]
    with open(path, "w", newline="") as f:
        written = 0
        while written < size:
            lines = []
            for _ in range(1000):
                lines.append("%d/%d/2026 %d:%02d:%02d PM\t%06d\t%s\t%d\t%.2f\tstore %04d\r\n" % (
                    rng.randint(1, 12), rng.randint(1, 28), rng.randint(1, 12),
                    rng.randint(0, 59), rng.randint(0, 59), rng.randint(0, 999999),
                    rng.choice(items), rng.randint(1, 9), rng.random() * 100,
                    rng.randint(1, 300)))
            chunk = "".join(lines)
            f.write(chunk)
            written += len(chunk)
def random_file(path, size):
    with open(path, "wb") as f:
        f.write(os.urandom(size))
def base64_file(path, size):
    with open(path, "wb") as f:
        f.write(base64.encodebytes(os.urandom(size * 3 // 4)))
quarter = total // 4
for i in range(8):
    text_file(os.path.join(folder, "sales%02d.tsv" % i), quarter * 2 // 8)
for i in range(4):
    random_file(os.path.join(folder, "photo%02d.jpg" % i), quarter // 4)
for i in range(4):
    base64_file(os.path.join(folder, "mail%02d.b64" % i), quarter * 3 // 4 // 4)
for i in range(300):
    text_file(os.path.join(folder, "small%03d.txt" % i), rng.randint(4, 100) * 1024)
