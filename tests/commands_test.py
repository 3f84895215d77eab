#!/usr/bin/env python3
# SPDX-License-Identifier: MIT
"""Both commands, run as a user runs them: exact output and status, a column per dialect.
    commands_test.py ZAVEVUV_32UVO ZAVEVUV VERSION FAULTS
        zavevuv_32uvo's arguments and list, and zavevuv's every option, operand and status, on the
        same files where the rows are the same; zavevuv's --json against the library's own report;
        (syncs slowed by the preload FAULTS) progress on a terminal, SIGINT and a closed pipe"""
import ctypes, json, os, pty, re, shutil, signal, struct, subprocess, sys, tempfile, time

from wavs import aiff, chunk, plucked, w64, wav

SANITIZED = os.environ.get("ZAVEVUV_SANITIZED") == "1"  # a sanitized library loads in no plain Python
if not SANITIZED:
    import zavevuv

classic, tool, version = sys.argv[1:4]
FAULTS = sys.argv[4] if len(sys.argv) > 4 else ""
SLOW = {**os.environ, "LD_PRELOAD": FAULTS, "ZAVEVUV_FAULT": "slow-sync", "ZAVEVUV_FAULT_PAUSE": "500",
        "ASAN_OPTIONS": "verify_asan_link_order=0"}
USER = ["setpriv", "--reuid", "nobody", "--regid", "nogroup", "--clear-groups"] if os.geteuid() == 0 else []


def take(frames, stated=None, riff=None):  # 16-bit stereo at 44,100 Hz; a crash leaves 0 and 36
    return wav(b"RIFF", riff, b"", 2, 2, b"", stated, frames * 4, rate=44100) + bytes(frames * 4)


GOOD, CRASHED, CUT = take(100), take(44100, 0, 36), take(0)[:42]
AIFF, W64 = aiff(0, 0, 0, 176400) + bytes(176400), w64(0, 24, 176400) + bytes(176400)  # as ffmpeg, sox leave them
FIX1 = ": fixed: data size 0 -> 176,400 bytes (1.00 s)\n"
LIST = {"card/take1.wav": CRASHED, "card/take2.wav": GOOD, "card/sub/take3.wav": take(22050, 4),
        "card/notes.wav": b"not audio\n", "card/link.wav": "take2.wav", "card/a.txt": b"", "card/fifo": None}


def summary(n, correct, fixed, unfixable, other, failed, check=False, skipped=0):
    return (f"zavevuv: {n} files: {correct} correct, {fixed} {'to fix' if check else 'fixed'}, {unfixable} "
            f"not fixable, {other} not audio, {failed} failed"
            + (f"; {skipped} skipped (links, special files)" if skipped else "") + "\n")


def zeroed(data, n=44):  # a take whose header never reached the card
    return bytes(n) + data[n:]


def stereo8k(audio, rate=8000):  # 16-bit stereo: a plucked take
    return wav(b"RIFF", None, b"", 2, 2, b"", None, len(audio), rate=rate) + audio


TAKE, GONE = stereo8k(plucked(12000)), zeroed(stereo8k(plucked(12000, seed=2)))
GUESS = "header gone (head zeroed): its audio reads as 16-bit little-endian PCM, 2 channels; name a take of the " \
        "same recorder with --like=TAKE to rebuild it\n"
REBUILT = "(head zeroed) as WAV, 16-bit little-endian PCM, 2 channels, 8,000 Hz: data size 48,000 bytes (1.50 s)\n"
TRY = "Try 'zavevuv --help' for more information.\n"
# (files, [(arguments, standard input, stdout, stderr, status), ...]): each group in a fresh folder, in order.
TABLE = [
    ({"take.wav": CRASHED}, [
        (["-n", "take.wav"], None, "take.wav: would fix: data size 0 -> 176,400 bytes (1.00 s)\n", "", 1),
        (["take.wav"], None, "take.wav" + FIX1, "", 0),
        (["take.wav", "--check"], None, "take.wav: correct\n", "", 0),
        (["-q", "take.wav"], None, "", "", 0)]),
    ({"a.wav": GOOD, "b.wav": CRASHED, "notes.wav": b"text", "dir/x": b"", "cut.wav": CUT,
      "big.wav": take(100, riff=200), "-n.wav": GOOD}, [
        (["a.wav", "b.wav", "notes.wav", "missing.wav", "dir", "cut.wav"], None,
         "a.wav: correct\nb.wav" + FIX1 + "notes.wav: not audio\n"
         "cut.wav: truncated: the file ends inside the data chunk's size field\n",
         "zavevuv: missing.wav: cannot open: No such file or directory\n"
         "zavevuv: dir: a folder, walked only with -r: Is a directory\n" + summary(6, 1, 1, 1, 1, 2), 2),
        (["-nq", "big.wav", "a.wav", "cut.wav"], None,
         "big.wav: would fix: 1 size field; data size 400 bytes (0.00 s)\n"
         "cut.wav: truncated: the file ends inside the data chunk's size field\n", "", 1),
        (["--", "-n.wav"], None, "-n.wav: correct\n", "", 0),
        (["--frob"], None, "", "zavevuv: unrecognized option '--frob'\n" + TRY, 2),
        (["-j0", "a.wav"], None, "", "zavevuv: invalid number of jobs: '0'\n" + TRY, 2),
        (["--jobs=257", "a.wav"], None, "", "zavevuv: invalid number of jobs: '257'\n" + TRY, 2),
        (["-j", "256", "-n", "a.wav", "b.wav"], None, "a.wav: correct\nb.wav: correct\n", "", 0),  # no summary: all well
        (["-vn", "a.wav", "b.wav"], None, "a.wav: correct\nb.wav: correct\n", summary(2, 2, 0, 0, 0, 0, check=True), 0),
        (["--j", "a.wav"], None, "", "zavevuv: option '--j' is ambiguous; possibilities: '--json' '--jobs'\n" + TRY, 2),
        (["a.wav", "-j"], None, "", "zavevuv: option requires an argument -- 'j'\n" + TRY, 2),
        (["--files0-from=-", "a.wav"], None, "", "zavevuv: extra operand 'a.wav'\n"
         "file operands cannot be combined with --files0-from\n" + TRY, 2)]),
    (LIST, [
        (["-rn", "card"], None, "card/sub/take3.wav: would fix: data size 4 -> 88,200 bytes (0.50 s)\n"
         "card/take1.wav: would fix: data size 0 -> 176,400 bytes (1.00 s)\ncard/take2.wav: correct\n",
         summary(5, 1, 2, 0, 2, 0, check=True, skipped=2), 1),  # a link and a FIFO, never opened
        (["card/", "-rq"], None, "card/sub/take3.wav: fixed: data size 4 -> 88,200 bytes (0.50 s)\n"
         "card/take1.wav" + FIX1, "", 0),
        (["-r", "card/sub", "card/link.wav"], None, "card/sub/take3.wav: correct\ncard/link.wav: correct\n", "", 0)]),
    ({"s/a.aiff": AIFF, "s/b.w64": W64, "s/c.aif": aiff(None, None, None, 400) + bytes(400),
      "s/d.aiff": aiff(0, 0, 0, 1 << 20)[:40]}, [
        (["-rn", "s"], None, "s/a.aiff: would fix: AIFF data size 0 -> 176,400 bytes (1.00 s)\n"
         "s/b.w64: would fix: Wave64 data size 0 -> 176,400 bytes (1.00 s)\ns/c.aif: correct\n"
         "s/d.aiff: no data chunk\n", summary(4, 1, 2, 1, 0, 0, check=True), 1),
        (["-rq", "s"], None, "s/a.aiff: fixed: AIFF data size 0 -> 176,400 bytes (1.00 s)\n"
         "s/b.w64: fixed: Wave64 data size 0 -> 176,400 bytes (1.00 s)\ns/d.aiff: no data chunk\n", "", 1)]),
    ({"take.wav": TAKE, "lost.wav": GONE, "be.wav": zeroed(stereo8k(plucked(12000, seed=3, big=True))),
      "quiet.wav": zeroed(stereo8k(bytes(48000))), "notes.txt": b"not a take", "sub/gone.wav": GONE,
      "sub/gone.raw": GONE}, [
        (["lost.wav"], None, "lost.wav: " + GUESS, "", 1),
        (["-n", "--like=take.wav", "lost.wav", "be.wav", "quiet.wav", "take.wav"], None,
         "lost.wav: would rebuild " + REBUILT + "be.wav: header gone, not rebuilt: its audio reads as 16-bit "
         "big-endian PCM, 2 channels, not as the take's format\nquiet.wav: header gone, not rebuilt: the audio "
         "tested is silence, which tells no format\ntake.wav: correct\n", summary(4, 1, 1, 2, 0, 0, check=True), 1),
        (["--like=take.wav", "lost.wav"], None, "lost.wav: rebuilt " + REBUILT, "", 0),
        (["--like", "take.wav", "lost.wav"], None, "lost.wav: correct\n", "", 0),
        (["--like=none.wav", "take.wav"], None, "", "zavevuv: none.wav: cannot read take: No such file or "
         "directory\n", 2),
        (["--like=notes.txt", "take.wav"], None, "", "zavevuv: notes.txt: not a take: its header does not stand, or "
         "its samples are of a format no bytes can be tested against (ADPCM, GSM)\n", 2),
        (["-rn", "sub"], None, "sub/gone.wav: " + GUESS, summary(2, 0, 0, 1, 1, 0, check=True), 1)]),
    ({"a.wav": GOOD, "a\nb.wav": CRASHED, "fifo": None, "e\x1b[2J\u009b\udc9b\\.wav": GOOD}, [
        (["-n", "e\x1b[2J\u009b\udc9b\\.wav"], None, "e\\033[2J\\302\\233\\233\\\\.wav: correct\n", "", 0),
        (["--files0-from=-"], b"a.wav\0a\nb.wav", "a.wav: correct\na\\nb.wav" + FIX1, "", 0),
        (["--files0-from", "-", "-q"], b"a.wav\0\0a\nb.wav\0", "", "zavevuv: -:2: invalid zero-length file name\n", 2),
        (["--files0-from=none"], None, "", "zavevuv: none: cannot open list: No such file or directory\n", 2),
        (["--files0-from=-"], b"x" * (64 << 20) + b"\0a.wav", "a.wav: correct\n",  # bounded memory, one line
         "zavevuv: -:1: cannot open: File name too long\n" + summary(2, 1, 0, 0, 0, 1), 2),
        (["--files0-from=-"], bytes(1 << 20), "", "zavevuv: -:1: invalid zero-length file names in a row: "
         "list read no further\n", 2),
        (["--files0-from=-"], b"a.wav\0" + bytes(512) + b"a.wav\0", "a.wav: correct\n", "zavevuv: -:2: invalid "
         "zero-length file names in a row: list read no further\n" + summary(2, 1, 0, 0, 0, 1), 2),
        (["--files0-from=/dev/zero"], None, "", "zavevuv: /dev/zero: cannot open list: a device, never opened "
         "as one\n", 2),
        (["--files0-from=fifo"], None, "", "zavevuv: fifo: cannot open list: no writer opened it in 2 seconds\n",
         2)]),
]


def tone(n):  # a recorder's bytes, as the C++ tests make them
    return bytes((i * 37 + (i >> 4)) & 0xFF for i in range(n))


BAD, OK = (wav(b"RIFF", r, b"", 1, 2, b"", r, 800) + tone(800) for r in (8, None))  # crashed: RIFF 8, data 0
BAD = BAD[:40] + struct.pack("<I", 0) + BAD[44:]
FORGED = "e\x1b[2J\u009b\udc9b\\\n.wav"  # C0 and C1 controls, a raw 0x9B, a backslash, a line feed
LONG = "a" * 150 + "/" + "b" * 150 + ".wav"


def fixture(d):  # the files each row of the shared table starts from, made afresh for it
    os.chdir(d)
    os.chmod(d, 0o777)
    make({**{n: BAD for n in ("bad.wav", "ro.wav", "rw.wav", "w/one.wav", "w/two.wav", "w/four.wav", "w/" + LONG,
                              "w/a\nb.wav", FORGED, "root-only/take.wav", "udir/own/take.wav", "udir/probe.wav")},
          "rogood.wav": OK, "w/three.wav": OK, "cut.wav": b"RIFF\0\0\0\0WAVEdata\x01",
          "take.aiff": aiff(0, 0, 0, 800, ch=1) + tone(800), "take.w64": w64(0, 24, 800, ch=1) + tone(800),
          "comm.aif": aiff(None, None, None, 800, ch=1)[:38], "gone.wav": GONE, "list.txt": b"one.wav\n\n\ntwo.wav\nthree.wav",
          "crlf.txt": b"one.wav\r\n\r\n two.wav\r", "many.txt": b"w/three.wav\n" * 600,
          "dup.txt": b"bad.wav\nbad.wav\n", "empty.txt": b"\n\n", "long.txt": LONG.encode(),
          "zero.txt": b"bad.wav\0\0x", "nul.txt": b"w/one.wav\0w/a\nb.wav\0", "fifo": None,
          "over.txt": b"bad.wav\n" + b"o" * 4096 + b"\n", "edge.txt": b"w/" + b"e" * 4093 + b"\r\n",
          "root-only/secret.txt": b"api_token=abc\n", "udir.txt": b"sub/take.wav\n", "victim/projectX/x": b"",
          "theirs.wav": "root-only/take.wav", "ours.wav": "root-only/take.wav", "udir/sub": "../root-only",
          "udir/mine": "own", "udir/list.txt": "../root-only/secret.txt",
          "udir/x.wav": "../victim/projectX/../../udir/probe.wav"})
    for name in ("ro.wav", "rogood.wav"):  # read by anyone, written by none
        os.chmod(name, 0o444)
    os.chmod("rw.wav", 0o777)
    os.chmod("root-only", 0o700)
    if os.geteuid() == 0:  # another user's folder, links and files; one only uid 4242 may search
        os.chown("victim", 4242, 4242)
        os.chmod("victim", 0o700)
        for name in ("theirs.wav", "udir", "udir/own", "udir/own/take.wav", "udir/sub", "udir/mine", "udir/list.txt",
                     "udir/probe.wav", "udir/x.wav"):
            os.lchown(name, 65534, 65534)


def usage():  # the usage text, byte for byte, with the version the build was given
    here = os.path.dirname(os.path.abspath(__file__))
    return open(os.path.join(here, "usage.txt")).read().replace("@VERSION@", version)


def fixed(p):
    return f"Header was fixed successfully in {p}.\n"


def good(p):
    return f"The header in {p} appears to be correct.\n"


def lost(p):
    return f"File called {p} cannot be found.\n"


def read(n):
    return f"Read a list containing {n} files\n"


def cannot(p, why):
    return f"zavevuv: {p}: {why}\n"


GFIX = ": fixed: data size 0 -> 800 bytes (0.05 s)\n"
NOBODY = "setpriv --reuid=65534 --regid=65534 --clear-groups " if os.geteuid() == 0 else ""
NO_WRITES = "ulimit -f 0; trap '' XFSZ; "  # writes past a file-size limit of 0 fail
LOST_SYNC = f"ASAN_OPTIONS=verify_asan_link_order=0 ZAVEVUV_FAULT=lost-sync LD_PRELOAD='{FAULTS}' "
NO_PROC = ("" if SANITIZED else  # the sanitizers' runtime reads its options from /proc
           "unshare --mount --propagation private sh -c 'umount -l /proc && exec \"$0\" \"$@\"' ")
# The shared table: (shell before "$BIN", arguments, standard input, root only,
#   zavevuv_32uvo's (stdout, status) or None, zavevuv's (stdout, stderr, status) or None).
SHARED = [
    ("", [], "", False, (usage(), 1), ("", "zavevuv: missing file operand\n" + TRY, 2)),
    ("", ["bad.wav", "w/", "extra"], "", False, (usage(), 1), None),
    ("", ["-h"], "", False, (lost("-h"), 0), ("", "zavevuv: invalid option -- 'h'\n" + TRY, 2)),
    ("", ["fifo"], "", False, (lost("fifo"), 0), ("", cannot("fifo", "cannot open: Invalid argument"), 2)),
    ("", ["/dev/null"], "", False, (lost("/dev/null"), 0),
     ("", cannot("/dev/null", "cannot open: Invalid argument"), 2)),
    (NOBODY, ["ro.wav"], "", False, (lost("ro.wav"), 0),
     ("", cannot("ro.wav", "cannot open for writing: Permission denied"), 2)),
    (NOBODY, ["rogood.wav"], "", False, (good("rogood.wav"), 0), ("rogood.wav: correct\n", "", 0)),  # no write
    (NOBODY, ["rw.wav"], "", False, (fixed("rw.wav"), 0), ("rw.wav" + GFIX, "", 0)),
    ("", ["take.aiff"], "", False, (fixed("take.aiff"), 0),
     ("take.aiff: fixed: AIFF data size 0 -> 800 bytes (0.01 s)\n", "", 0)),
    ('"$BIN" take.w64 >/dev/null; ', ["take.w64"], "", False, (good("take.w64"), 0), ("take.w64: correct\n", "", 0)),
    ("", ["comm.aif"], "", False, ("Cannot find data block in wave file!\n", 0), ("comm.aif: no data chunk\n", "", 1)),
    ("", ["gone.wav"], "", False, ("Cannot find data block in wave file!\n", 0), ("gone.wav: " + GUESS, "", 1)),
    (NO_WRITES, ["bad.wav"], "", False, ("Unable to write data to header in bad.wav.\n", 0),
     ("", cannot("bad.wav", "cannot write: File too large"), 2)),
    (LOST_SYNC, ["bad.wav"], "", False, ("Unable to write data to header in bad.wav.\n", 0),
     ("", cannot("bad.wav", "cannot write: Input/output error"), 2)),
    (LOST_SYNC + '"$BIN" bad.wav >/dev/null 2>&1; ', ["bad.wav"], "", False, (fixed("bad.wav"), 0),  # the write was lost
     ("bad.wav" + GFIX, "", 0)),
    ("exec >/dev/full; ", ["bad.wav"], "", False, ("", 1), ("", "", 2)),
    ('"$BIN" bad.wav >/dev/full; ', ["bad.wav"], "", False, (good("bad.wav"), 0), ("bad.wav: correct\n", "", 0)),
    ("exec >&-; ", ["bad.wav"], "", False, ("", 1), ("", "", 2)),
    ("", [FORGED], "", False, (fixed("e\\033[2J\\302\\233\\233\\\\n.wav"), 0),  # a backslash as it is
     ("e\\033[2J\\302\\233\\233\\\\\\n.wav" + GFIX, "", 0)),  # doubled
    ("", ["list.txt"], "", False, ("Cannot find data block in wave file!\n", 0), ("list.txt: not audio\n", "", 0)),
    ("", ["cut.wav"], "", False, ("The header in cut.wav is truncated.\n", 0),
     ("cut.wav: truncated: the file ends inside the data chunk's size field\n", "", 1)),
    ("", ["list.txt", "w/"], "", False, (read(3) + fixed("w/one.wav") + fixed("w/two.wav") + good("w/three.wav"), 0),
     None),
    ("", ["list.txt", "w"], "", False, (read(3) + lost("wone.wav") + lost("wtwo.wav") + lost("wthree.wav"), 0), None),
    ("", ["crlf.txt", "w/"], "", False, (read(2) + fixed("w/one.wav") + lost("w/ two.wav"), 0), None),
    ("", ["many.txt", ""], "", False, (read(512) + good("w/three.wav") * 512 +
                                       "List called many.txt names more than 512 files; the rest were not checked.\n",
                                       0), None),
    ("", ["dup.txt", ""], "", False, (read(2) + fixed("bad.wav") + good("bad.wav"), 0), None),
    ("", ["zero.txt", ""], "", False, ("List called zero.txt cannot be read\n", 1), None),
    ("", ["nul.txt", ""], "", False, (read(2) + fixed("w/one.wav") + fixed("w/a\\nb.wav"), 0), None),
    ("find w -name 'four.wav' -print0 -o -name 'a?b.wav' -print0 | ", ["/dev/stdin", ""], "", False,
     (read(2) + fixed("w/four.wav") + fixed("w/a\\nb.wav"), 0), None),
    ("", ["/dev/zero", ""], "", False, ("List called /dev/zero cannot be read\n", 1), None),  # a device: never opened
    ("", ["fifo", ""], "", False, ("List called fifo cannot be read\n", 1), None),  # no writer in 2 seconds
    ("", ["/dev/null", ""], "", False, (read(0), 1), None),
    ("", ["over.txt", ""], "", False, (read(2) + fixed("bad.wav") + lost("o" * 4096), 0), None),  # said, not fatal
    ("", ["edge.txt", ""], "", False, (read(1) + lost("w/" + "e" * 4093), 0), None),
    ("", ["long.txt", "w/"], "", False, (read(1) + fixed("w/" + LONG), 0), None),
    ("", ["/dev/stdin", "w/"], "four.wav\n", False, (read(1) + fixed("w/four.wav"), 0), None),
    ("", ["nolist.txt", "w/"], "", False, ("List called nolist.txt does not exist\n", 1), None),
    ("", ["empty.txt", "w/"], "", False, (read(0), 1), None),
    ("", ["w", "w/"], "", False, ("List called w cannot be read\n", 1), None),
    ("", ["bad.wav", "bad.wav"], "", False, ("List called bad.wav cannot be read\n", 1), None),
    ("yes '' | ", ["/dev/stdin", ""], "", False, ("List called /dev/stdin cannot be read\n", 1), None),  # 4 MiB
    # Root's rule for links, and a machine without /proc (only root may unmount it).
    (NO_PROC, ["bad.wav"], "", True, (fixed("bad.wav"), 0), ("bad.wav" + GFIX, "", 0)),
    ("", ["theirs.wav"], "", True, (lost("theirs.wav"), 0),  # no user's link followed but with their rights
     ("", cannot("theirs.wav", "cannot open: Permission denied"), 2)),
    ("", ["ours.wav"], "", True, (fixed("ours.wav"), 0), ("ours.wav" + GFIX, "", 0)),
    ("", ["udir/sub/take.wav"], "", True, (lost("udir/sub/take.wav"), 0),  # a link mid-path
     ("", cannot("udir/sub/take.wav", "cannot open: No such file or directory"), 2)),
    ("", ["udir.txt", "udir/"], "", True, (read(1) + lost("udir/sub/take.wav"), 0), None),
    ("", ["udir/mine/take.wav"], "", True, (fixed("udir/mine/take.wav"), 0),  # its own folder
     ("udir/mine/take.wav" + GFIX, "", 0)),
    ("", ["udir/x.wav"], "", True, (lost("udir/x.wav"), 0),  # resolved with its owner's rights
     ("", cannot("udir/x.wav", "cannot open: Permission denied"), 2)),
    ("", ["udir/list.txt", ""], "", True, ("List called udir/list.txt does not exist\n", 1), None),
]


def shared():
    """Each row of the shared table in a fresh copy of the files, by each command it has a column for."""
    for before, args, stdin, root, *columns in SHARED:
        if root and os.geteuid() != 0:
            continue
        for binary, want in zip((classic, tool), columns):
            if want is None:
                continue
            with tempfile.TemporaryDirectory() as d:
                fixture(d)
                command = before + '"$BIN"' + "".join(" '" + a.replace("'", "'\\''") + "'" for a in args)
                done = subprocess.run(["sh", "-c", command], input=os.fsencode(stdin), capture_output=True,
                                      env={**os.environ, "BIN": binary})
                got = (done.stdout.decode(errors="surrogateescape"), done.stderr.decode(errors="surrogateescape"),
                       done.returncode)
                expect(f"{os.path.basename(binary)} {before}{args[:2]}", got,
                       (want[0], "", want[1]) if binary == classic else want)
    if os.geteuid() != 0:
        print("not run: root's rule for other users' links, and a run without /proc, as they need root")


def unroff(text):  # a man page's text as a reader reads it
    for escape, plain in (("\\-", "-"), ("\\(aq", "'"), ("\\(dq", '"'), ("\\(lq", '"'), ("\\(rq", '"'),
                          ("\\&", ""), ("\\fR", ""), ("\\e", "\\")):
        text = text.replace(escape, plain)
    return text


def man_words():
    """Every word of both commands' table (src/cli/words.h) stands in their man pages, as a reader reads it
    there: font macros' arguments joined, escapes read, spaces collapsed."""
    here = os.path.dirname(os.path.abspath(__file__))

    def text(page):
        lines = []
        for line in open(os.path.join(here, "..", "man", page + ".in")).read().split("\n"):
            macro, _, rest = line.partition(" ") if line.startswith(".") else ("", "", line)
            args = [a or b for a, b in re.findall(r'"([^"]*)"|(\S+)', rest)]
            joined = {".B": " ", ".I": " ", ".BI": "", ".IB": "", ".BR": "", ".RB": "", ".IR": "", ".RI": ""}
            lines.append(joined[macro].join(args) if macro in joined else rest if not macro else "\n")
        return " ".join(unroff(" ".join(lines)).split())

    table = open(os.path.join(here, "..", "src", "cli", "words.h")).read()
    literal = lambda part: "".join(bytes(w, "ascii").decode("unicode_escape")
                                   for w in re.findall(r'"((?:[^"\\]|\\.)*)"', part)).rstrip("\n")
    classic, gnu = text("zavevuv_32uvo.1"), text("zavevuv.1")
    rows = re.findall(r"\{([^{}]*)\}", table.split("kOutcomeWords{{")[1].split("}};")[0])
    for line, verdict, word in (re.split(r",\s*(Verdict::\w+),", row) for row in rows):
        expect(f"zavevuv_32uvo(1) has {literal(line)!r}", literal(line).replace("%s", "path") in classic, True)
        words = literal(word) if verdict == "Verdict::Failed" else "path: " + literal(word)
        expect(f"zavevuv(1) has {words!r}", words in gnu, True)
    for name in ("kWouldFix", "kNotAudio"):
        word = literal(table.split(name + " =")[1].split(";")[0])
        expect(f"zavevuv(1) has {word!r}", "path: " + word in gnu, True)
    for name in ("kShapeWords", "kRefusalWords"):  # a header gone: its shape, why it was not rebuilt
        for word in re.findall(r'"((?:[^"\\]|\\.)*)"', table.split(name + "{")[1].split("};")[0]):
            expect(f"zavevuv(1) has {word!r}", literal(f'"{word}"') in gnu, True)
    expect("zavevuv(1) has what to do", literal(table.split("kNameATake =")[1].split(";")[0]) in gnu, True)
    expect("zavevuv(1) has the take that is none", literal(table.split("kNoTake =")[1].split(";")[0]) in gnu, True)
    for row in re.findall(r"\{([^{}]*)\}", table.split("kEventWords{{")[1].split("}};")[0]):
        line, _, reason = re.split(r",\s*(\d+),", row)
        line = literal(line).replace("%s", "list", 1).replace("%i", "n" if "Read" in line else "512")
        expect(f"zavevuv_32uvo(1) has {line!r}", "nullptr" in row.split(",")[0] or line in classic, True)
        expect(f"zavevuv(1) has {literal(reason)!r}", "nullptr" in reason or literal(reason) in gnu, True)


def run_example(block, env):  # "$ " commands, "> " their continuations, the rest their output
    commands = []
    for line in block.split("\n"):
        if line.startswith("$ "):
            commands.append([line[2:], ""])
        elif line.startswith("> "):
            commands[-1][0] += "\n" + line[2:]
        else:
            commands[-1][1] += line + "\n"
    # One shell for the block, as a user types it; a unit separator after each command's output.
    script = "exec 2>&1\n" + "".join(f"{command}\nprintf '\\037'\n" for command, _ in commands)
    said = subprocess.run(["bash", "-c", script], capture_output=True, text=True, env=env).stdout.split("\x1f")
    for (command, want), got in zip(commands, said):
        expect(f"example: {command}", got, want)


def man_examples():
    """Every example in the man pages' EXAMPLES, run as it is written, on the files it names."""
    here = os.path.dirname(os.path.abspath(__file__))
    build = os.path.dirname(tool)
    stereo = lambda frames, rate, stated=None: wav(b"RIFF", None if stated is None else 36, b"", 2, 2, b"", stated,
                                                   frames * 4, rate=rate) + tone(frames * 4)
    reserved = wav(b"RIFF", 0, chunk(b"JUNK", bytes(28)), 2, 2, b"", 0, 0)
    pages = {"zavevuv_32uvo.1": {"guitar.wav": BAD, "WaveFiles/guitar.wav": BAD, "WaveFiles/bass.wav": OK},
             "zavevuv.1": {"card/DCIM/take12.wav": stereo(308640, 48000, 0), "card/DCIM/take13.wav": OK,
                           "archive/2026/take7.wav": stereo(22050, 44100, 0), "archive/reserved.wav": reserved,
                           "rescue/take14.wav": stereo8k(plucked(24000), 48000),
                           "rescue/take15.wav": zeroed(stereo8k(plucked(24000, seed=5), 48000))},
             "zavevuv.3": {"take.wav": BAD}}
    env = {**os.environ, "PATH": build + os.pathsep + os.environ["PATH"]}
    for page, files in pages.items():
        section = open(os.path.join(here, "..", "man", page + ".in")).read().split(".SH EXAMPLES\n")[1]
        blocks = re.findall(r"\.EX\n(.*?)\n\.EE", section.split("\n.SH ")[0], re.S)
        with tempfile.TemporaryDirectory() as d:
            os.chdir(d)
            make(files)
            if page == "zavevuv.1":
                os.truncate("archive/reserved.wav", 5 << 30)
                os.utime("archive/reserved.wav", (time.time() - 3 * 86400,) * 2)  # not of the last day
                if not shutil.which("jq"):
                    print("not run: the jq example of zavevuv(1), as jq is not installed (.ci/deps installs it)")
                    blocks = [b for b in blocks if "jq" not in b]
            for block in map(unroff, blocks):
                if block.startswith("#include"):  # zavevuv(3)'s program, built against this build
                    open("app.c", "w").write(block)
                    built = subprocess.run(["cc", "-std=c11", "app.c", "-I", os.path.join(build, "generated", "include"),
                                            "-L", build, "-lzavevuv", "-o", "app"], capture_output=True, text=True)
                    expect("zavevuv(3)'s example builds", built.stderr, "")
                    got = subprocess.run(["./app", "take.wav"], capture_output=True, text=True).stdout
                    expect("zavevuv(3)'s example", got, "take.wav: fixed, 800 bytes of audio\n")
                elif block.startswith("import "):  # and in Python
                    make({"take.wav": BAD})
                    done = subprocess.run([sys.executable, "-c", block], capture_output=True, text=True)
                    expect("zavevuv(3)'s Python example", (done.returncode, open("take.wav", "rb").read() == OK),
                           (0, True))
                else:
                    run_example(block, env)


def make(files):
    for name, body in files.items():
        os.makedirs(os.path.dirname(name) or ".", exist_ok=True)
        if body is None:
            os.mkfifo(name)
        elif isinstance(body, str):
            os.symlink(body, name)
        else:
            open(name, "wb").write(body)


def zv(*args, stdin=None, user=False):
    done = subprocess.run((USER if user else []) + [tool, *args], input=stdin, capture_output=True)
    return done.stdout.decode(errors="surrogateescape"), done.stderr.decode(errors="surrogateescape"), done.returncode


failures = []


def expect(name, got, want):
    if got != want:
        failures.append(f"{name}:\n  got  {got!r}\n  want {want!r}")


def watch(folder):  # inotify on a folder: every write to a file in it, and every close after one
    libc = ctypes.CDLL(None, use_errno=True)
    fd = libc.inotify_init1(os.O_NONBLOCK)
    libc.inotify_add_watch(fd, os.fsencode(folder), 0x2 | 0x8 | 0x4)  # IN_MODIFY, IN_CLOSE_WRITE, IN_ATTRIB
    return fd


def written(fd):  # the names of the files written to since the last call
    try:
        events = os.read(fd, 65536)
    except BlockingIOError:
        return set()
    names = set()
    while events:
        n = struct.unpack_from("<iIII", events)[3]
        names.add(events[16:16 + n].rstrip(b"\0"))
        events = events[16 + n:]
    return names


def table():
    for files, runs in TABLE:
        with tempfile.TemporaryDirectory() as d:
            os.chdir(d)
            make(files)
            for args, stdin, out, err, status in runs:
                expect(" ".join(["zavevuv", *args]), zv(*args, stdin=stdin), (out, err, status))
    with tempfile.TemporaryDirectory() as d:  # what only a user meets: a file they may only read
        os.chdir(d)
        os.chmod(d, 0o755)
        make({"ro.wav": CRASHED, "good.wav": GOOD})
        for name in ("ro.wav", "good.wav"):
            os.chmod(name, 0o444)
        expect("read-only, check", zv("-n", "ro.wav", "good.wav", user=True),
               ("ro.wav: would fix: data size 0 -> 176,400 bytes (1.00 s); cannot open for writing: "
                "Permission denied\ngood.wav: correct\n", summary(2, 1, 1, 0, 0, 0, check=True), 1))
        expect("read-only, repair", zv("ro.wav", "good.wav", user=True),
               ("good.wav: correct\n", "zavevuv: ro.wav: cannot open for writing: Permission denied\n"
                + summary(2, 1, 0, 0, 0, 1), 2))
    if subprocess.run(["stat", "-f", "-c", "%T", "/dev/shm"], capture_output=True,
                      text=True).stdout.strip() != "tmpfs":
        print("not run: a take past 4 GiB where no block can be inserted, as /dev/shm is no tmpfs")
    else:
        with tempfile.TemporaryDirectory(dir="/dev/shm") as d:  # said "to the end" once, then only read
            os.chdir(d)
            with open("big.wav", "wb") as f:
                f.write(take(0, 0, 0))
                f.truncate(44 + (5 << 30))
            events, big = watch("."), "big.wav: {}5,368,709,120 bytes (30,434.86 s){}; no room for RF64\n"
            expect("past 4 GiB on tmpfs: the sizes, once", (zv("big.wav"), written(events)), (
                (big.format("to the end: data size 0 -> ", ' as "to the end of the file"'), "", 1), {b"big.wav"}))
            expect("past 4 GiB on tmpfs: then only read", (zv("big.wav"), written(events)), (
                (big.format("too large: ", " of audio past 4 GiB"), "", 1), set()))
    if os.geteuid() != 0:
        print("not run: -x over a bind mount, as only root may mount")
    else:
        with tempfile.TemporaryDirectory() as d:  # -x: a bind mount in the walk, then passed over
            os.chdir(d)
            make({"card/take.wav": GOOD, "card/mnt/x": b"", "other/take.wav": CRASHED})
            script = 'mount --bind other card/mnt && { "$0" -rn card; "$0" -rnqx card; }'
            done = subprocess.run(["unshare", "-m", "sh", "-c", script, tool], capture_output=True, text=True)
            expect("-x over a bind mount", (done.stdout, done.returncode), (
                "card/mnt/take.wav: would fix: data size 0 -> 176,400 bytes (1.00 s)\ncard/take.wav: correct\n", 0))
    with tempfile.TemporaryDirectory() as d:  # syncs slowed: a terminal, then a SIGINT mid-run
        os.chdir(d)
        make({f"t{n}.wav": CRASHED for n in range(6)})
        pid, tty = pty.fork()
        if pid == 0:  # three lines at once after 1 s: one drawn, each erased once
            os.execve(tool, [tool, "-j3"] + [f"t{n}.wav" for n in range(6)], SLOW)
        seen = b""
        while True:
            try:
                seen += os.read(tty, 4096)
            except OSError:
                break
        text, draws = seen.decode(), re.findall(r"\rzavevuv: \d files, \d fixed, 0 failed\x1b\[K", seen.decode())
        expect("progress on a terminal", (len(draws) > 0, text.count("\x1b[K"), text.endswith(
            summary(6, 0, 6, 0, 0, 0).replace("\n", "\r\n"))), (True, 2 * len(draws), True))
        os.waitpid(pid, 0)
        for jobs, done in (("-j1", 1), ("-j2", 2)):  # the files begun are finished and said, no other begun
            for n in range(3):
                open(f"t{n}.wav", "wb").write(CRASHED)
            run = subprocess.Popen([tool, jobs, "t0.wav", "t1.wav", "t2.wav"], env={**SLOW, "ZAVEVUV_FAULT_PAUSE": "2000"},
                                   stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True)
            time.sleep(0.5)  # well inside the first 2 s syncs
            run.send_signal(signal.SIGINT)
            out, err = run.communicate()
            expect("SIGINT mid-run " + jobs, (out, err, run.returncode, open("t2.wav", "rb").read() == CRASHED),
                   ("".join(f"t{n}.wav" + FIX1 for n in range(done)), summary(done, 0, done, 0, 0, 0) if done > 1 else "",
                    -signal.SIGINT, True))
        os.mkfifo("fifo")
        run = subprocess.Popen([tool, "--files0-from=fifo"], stdout=subprocess.PIPE, stderr=subprocess.PIPE)
        time.sleep(0.5)  # waiting for a writer
        run.send_signal(signal.SIGTERM)
        expect("SIGTERM while a list waits", (run.communicate(timeout=10), run.returncode), ((b"", b""), -signal.SIGTERM))
        for n in range(3):  # held by another process's flock: the waits for it end with the run
            open(f"t{n}.wav", "wb").write(CRASHED)
        holder = subprocess.Popen([sys.executable, "-c", "import fcntl, time\nheld = [open(f't{n}.wav', 'rb') for n in "
                                   "range(3)]\nfor f in held: fcntl.flock(f, fcntl.LOCK_EX)\nprint(flush=True)\n"
                                   "time.sleep(30)"], stdout=subprocess.PIPE)
        holder.stdout.readline()
        run = subprocess.Popen([tool, "-j3", "t0.wav", "t1.wav", "t2.wav"], stdout=subprocess.PIPE,
                               stderr=subprocess.PIPE)
        time.sleep(0.3)  # inside the 2 s waits for the locks
        start = time.monotonic()
        run.send_signal(signal.SIGTERM)
        run.communicate(timeout=10)
        took = time.monotonic() - start
        holder.kill()
        holder.wait()
        expect("SIGTERM while locks are waited for: over within a second, nothing written",
               (took < 1, run.returncode, [open(f"t{n}.wav", "rb").read() == CRASHED for n in range(3)]),
               (True, -signal.SIGTERM, [True] * 3))
    with tempfile.TemporaryDirectory() as d:  # a closed pipe mid-batch, writes slowed: no file half-written
        os.chdir(d)
        far = dict(form=b"RIFF", first=b"", ch=2, width=2, before=chunk(b"JUNK", bytes(5000)), audio_bytes=400)
        apart = [wav(riff=r, stored=r, **far) + bytes(400) for r in (0, None)]  # its two sizes, two writes
        # The second line (one write) comes while the next three are between their two writes.
        shapes = [(GOOD, GOOD), (CRASHED, take(44100))] + [apart] * 14
        make({f"t{n:02}.wav": crashed for n, (crashed, _) in enumerate(shapes)})
        done = subprocess.run(["bash", "-c", '"$0" -j4 -r . | head -1 >/dev/null; echo ${PIPESTATUS[0]}', tool],
                              env={**SLOW, "ZAVEVUV_FAULT": "slow-write", "ZAVEVUV_FAULT_PAUSE": "200"},
                              capture_output=True, text=True)
        states = [open(f"t{n:02}.wav", "rb").read() for n in range(len(shapes))]
        expect("a closed pipe mid-batch: status, and no file half-written", (done.stdout, [
            n for n, state in enumerate(states) if state not in shapes[n]]), ("141\n", []))
    with tempfile.TemporaryDirectory() as d:  # names in JSON: valid UTF-8 as it is, other bytes escaped
        os.chdir(d)
        names = [b"\xc2\x80", b'a"\\', b"\xc3\xbf", b"\xe0\xa0\x80", b"\xef\xbf\xbd", b"\xed\x9f\xbf",
                 b"\xf0\x90\x80\x80", b"\xf4\x8f\xbf\xbf", b"\x7f\x01", b"\x80", b"\xc1\xbf", b"\xe0\x9f\xbf", b"\xed\xa0\x80",
                 b"\xf0\x8f\xbf\xbf", b"\xf4\x90\x80\x80", b"\xf5\x80\x80\x80", b"\xc3("]
        for name in names:
            open(name, "wb").write(GOOD)
        done = subprocess.run([tool, "-n", "--json", *names], capture_output=True)
        want = []
        for raw in names:
            text = raw.decode("utf-8", "surrogateescape")
            quoted = "".join("\\" + c if c in '"\\' else f"\\u{ord(c):04x}" if 0xDC80 <= ord(c) <= 0xDCFF
                             or ord(c) < 0x20 or 0x7F <= ord(c) <= 0x9F else c for c in text)
            want.append(b'{"path":"' + quoted.encode() + b'",')
        expect("JSON paths, byte by byte", [line[:len(w)] for line, w in zip(done.stdout.splitlines(), want)], want)
    if SANITIZED:
        return print("--json against the library: not run, a sanitized build cannot be loaded")
    with tempfile.TemporaryDirectory() as d:  # --json against the library, and a check that never writes
        os.chdir(d)
        make({**LIST, "caf\udce9.wav": CRASHED, "big.wav": take(100, riff=200), "s.aiff": AIFF, "s.w64": W64,
              "gone.wav": GONE})
        events = watch("card"), watch(".")
        out, _, status = zv("-n", "--json", "-r", ".")
        expect("--check writes nothing", [written(fd) for fd in events], [set(), set()])
        lines = [json.loads(line) for line in out.splitlines()]
        expect("--json paths", [os.fsencode(o["path"]) for o in lines],
               [b"./big.wav", b"./caf\xe9.wav", b"./card/sub/take3.wav", b"./card/take1.wav", b"./card/take2.wav",
                b"./gone.wav", b"./s.aiff", b"./s.w64"])
        name = lambda e: None if e is None or e.value == 0 else e.name.lower().replace("_", "-")  # noqa: E731
        for o in lines:
            r = zavevuv.guess(os.fsencode(o["path"]))  # a file named as audio: its header may be gone
            seconds = lambda n: None if n is None else round(n / r.sample_rate, 6)  # noqa: E731
            reads = r.reads_as and {"encoding": name(r.reads_as.encoding), "bits": r.reads_as.bits,
                                    "big_endian": r.reads_as.big_endian, "channels": r.reads_as.channels,
                                    "channels_assumed": r.reads_as.channels_assumed}
            expect("--json " + o["path"], o, {
                "path": o["path"], "outcome": "would-fix" if r.needs_repair else r.outcome.name.lower().replace("_", "-"),
                "check": True,
                "kind": {1: "not-wave", 2: "riff", 3: "rf64", 4: "w64", 5: "aiff", 6: "aifc"}[r.kind.value],
                "error": None, "write_error": None,
                "fields": r.fields, "data_chunk": r.data_chunk, "stated_bytes": r.stated_bytes or 0,
                "audio_bytes": r.audio_bytes or 0, "stated_frames": r.stated_frames, "frames": r.frames,
                "sample_rate": r.sample_rate, "stated_seconds": seconds(r.stated_frames),
                "seconds": seconds(r.frames), "rf64": r.rf64, "insert": r.insert, "shape": name(r.shape),
                "refusal": name(r.refusal), "reads_as": reads})
        expect("--json status", status, 1)
        _, _, status = zv("-r", ".")
        expect("a repair writes only what it fixes", [written(fd) for fd in events],
               [{b"take1.wav"}, {b"big.wav", b"caf\xe9.wav", b"s.aiff", b"s.w64"}])
        out, _, status2 = zv("--json", "missing.wav")
        expect("repaired (a header gone aside), then a missing file", (status, json.loads(out)["error"], status2),
               (1, {"errno": "ENOENT", "message": "No such file or directory"}, 2))


if __name__ == "__main__":
    expect("--version", zv("--version")[0].splitlines()[0], f"zavevuv (zavevuv_32uvo) {version}")
    expect("--help", zv("--help")[0].splitlines()[0], "Usage: zavevuv [OPTION]... FILE...")
    completion = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "completion", "zavevuv")
    with tempfile.TemporaryDirectory() as d:  # names with spaces, quotes and line feeds stay whole
        os.chdir(d)
        make({"my take.wav": GOOD, "it's.AIF": GOOD, "new\nline.wav": GOOD, "notes.txt": b"", "sub/x": b""})
        for word, want in (("--ch", ["--check"]), ("", ["it's.AIF", "my take.wav", "new\nline.wav", "sub"]),
                           ("'my t", ["my take.wav"]), ("my\\ t", ["my take.wav"]), ("it\\'", ["it's.AIF"])):
            script = f'. "$0"; COMP_WORDS=(zavevuv "$1"); COMP_CWORD=1; _zavevuv; printf "%s\\0" "${{COMPREPLY[@]}}"'
            done = subprocess.run(["bash", "-c", script, completion, word], capture_output=True, text=True, cwd=d)
            expect(f"bash completion of {word!r}", sorted(done.stdout.split("\0")[:-1]), want)
    man_words()
    shared()
    table()
    if not SANITIZED:
        man_examples()
    print("\n".join(failures) or "all passed")
    sys.exit(1 if failures else 0)
