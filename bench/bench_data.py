"""Synthetic file contents with a chosen deflate ratio, for the benchmarks.

A content is a sequence of blocks, each either fresh random bytes (which
deflate cannot shrink) or a slice of a pool of word text (which deflates to
about a fifth of its size). The share of random blocks sets the ratio; a few
secant steps on the real deflated size bring it close to the target. Every
content is reproducible from its seed.
"""
import random
import zlib

# The settings of the codecs under test: raw deflate, default level, memLevel 8.
ZLIB_LEVEL = 6
RAW_WINDOW_BITS = -15
MEMORY_LEVEL = 8

_POOL_SIZE = 4 << 20
_pool = None


def deflated_size(data):
    """Bytes of the raw deflate stream of data, at the settings above."""
    c = zlib.compressobj(ZLIB_LEVEL, zlib.DEFLATED, RAW_WINDOW_BITS, MEMORY_LEVEL)
    return len(c.compress(data)) + len(c.flush())


def text_pool():
    """A few MB of word text with a small vocabulary (deflates to ~0.2)."""
    global _pool
    if _pool is None:
        rng = random.Random("orvane text pool")
        letters = "abcdefghijklmnopqrstuvwxyz_"
        vocabulary = ["".join(rng.choice(letters) for _ in range(rng.randint(2, 10)))
                      for _ in range(60)]
        weights = [1.0 / (i + 1) for i in range(len(vocabulary))]
        separators = [" ", "(", ")", ", ", ".\n", " :- ", "\n    "]
        pieces = []
        size = 0
        while size < _POOL_SIZE:
            words = rng.choices(vocabulary, weights=weights, k=50000)
            seps = rng.choices(separators, weights=[20, 3, 3, 5, 2, 1, 2], k=50000)
            chunk = "".join(w + s for w, s in zip(words, seps))
            pieces.append(chunk)
            size += len(chunk)
        _pool = "".join(pieces).encode()[:_POOL_SIZE]
    return _pool


def text_ratio():
    pool = text_pool()
    return deflated_size(pool[: 1 << 20]) / (1 << 20)


def _block_size(size):
    return max(64, min(4096, size // 128))


def mixed(size, share, seed):
    """size bytes of text blocks mixed with other blocks.

    share in 0..1 is the part of random blocks (less compressible than
    text); share in -1..0 is, negated, the part of blocks that repeat the
    previous one (more compressible than text).
    """
    rng = random.Random(seed)
    pool = text_pool()
    block = _block_size(size)
    out = bytearray()
    share = min(max(share, -1.0), 1.0)
    credit = 0.0
    last = pool[:block]
    while len(out) < size:
        credit += abs(share)
        if credit >= 1.0 - 1e-9:
            credit -= 1.0
            out += rng.randbytes(block) if share > 0 else last
        else:
            at = rng.randrange(0, len(pool) - block)
            last = pool[at:at + block]
            out += last
    return bytes(out[:size])


def with_ratio(size, ratio, seed, prefix=b"", steps=6):
    """prefix followed by filler, size bytes in all, deflating to about ratio."""
    filler = size - len(prefix)
    if filler <= 0:
        return prefix[:size]
    target = ratio * size
    c = text_ratio()
    share = (ratio - c) / (1.0 - c)
    best = None
    previous = None
    for _ in range(steps):
        data = prefix + mixed(filler, share, seed)
        got = deflated_size(data)
        if best is None or abs(got - target) < abs(best[1] - target):
            best = (data, got)
        if abs(got - target) <= max(64, 0.002 * target):
            break
        if previous is not None and previous[1] != got and previous[0] != share:
            slope = (got - previous[1]) / (share - previous[0])
        else:
            slope = 0.82 * filler
        previous = (share, got)
        share += (target - got) / slope
        share = min(max(share, -1.0), 1.0)
    return best[0]


# --- command line: sources for the scripts ---------------------------------------

def write_tree(folder, count, total, seed="orvane peers"):
    """count files, total bytes in all: half text-like, half incompressible."""
    import os
    rng = random.Random(seed)
    weights = [rng.lognormvariate(0, 1.0) for _ in range(count)]
    scale = total / sum(weights)
    os.makedirs(folder, exist_ok=True)
    for i, weight in enumerate(weights):
        size = max(1, int(weight * scale))
        if i % 2 == 0:
            data = with_ratio(size, rng.uniform(0.22, 0.45), "%s %d" % (seed, i), steps=2)
        else:
            data = mixed(size, 1.0, "%s %d" % (seed, i))
        name = "%s%03d.%s" % ("text" if i % 2 == 0 else "data", i, "txt" if i % 2 == 0 else "bin")
        with open(os.path.join(folder, name), "wb") as f:
            f.write(data)


def write_big(path, size, seed="orvane big"):
    """One file of size bytes, alternating text and random runs of 1 MB."""
    run = 1 << 20
    with open(path, "wb") as f:
        written = 0
        n = 0
        while written < size:
            piece = min(run, size - written)
            f.write(mixed(piece, 1.0 if n % 2 else 0.0, "%s %d" % (seed, n)))
            written += piece
            n += 1


def write_many(path, count, per_folder=1000, seed="orvane many"):
    """A zip archive (Python's zipfile) of count small deflated text files."""
    import zipfile
    rng = random.Random(seed)
    pool = text_pool()
    with zipfile.ZipFile(path, "w", zipfile.ZIP_DEFLATED) as z:
        for i in range(count):
            size = rng.randrange(100, 600)
            at = rng.randrange(0, len(pool) - size)
            z.writestr("f%03d/%06d.txt" % (i // per_folder, i), pool[at:at + size])


def main(argv):
    usage = ("usage: bench_data.py tree FOLDER COUNT TOTAL | big FILE SIZE | "
             "many ARCHIVE COUNT")
    if len(argv) == 4 and argv[0] == "tree":
        write_tree(argv[1], int(argv[2]), int(argv[3]))
    elif len(argv) == 3 and argv[0] == "big":
        write_big(argv[1], int(argv[2]))
    elif len(argv) == 3 and argv[0] == "many":
        write_many(argv[1], int(argv[2]))
    else:
        raise SystemExit(usage)
    return 0


if __name__ == "__main__":
    import sys
    sys.exit(main(sys.argv[1:]))
