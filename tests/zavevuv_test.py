#!/usr/bin/env python3
# SPDX-License-Identifier: MIT
"""The zavevuv command, run as a user runs it: exact output and status.
    zavevuv_test.py ZAVEVUV VERSION FAULTS   every option, operand and status, --json against the
                                             library's own report, and (syncs slowed by the preload
                                             FAULTS) progress on a terminal and SIGINT"""
import ctypes, json, os, pty, re, signal, struct, subprocess, sys, tempfile, time

from wavs import aiff, chunk, w64, wav

SANITIZED = os.environ.get("ZAVEVUV_SANITIZED") == "1"  # a sanitized library loads in no plain Python
if not SANITIZED:
    import zavevuv

tool, version = sys.argv[1:3]
SLOW = {**os.environ, "LD_PRELOAD": sys.argv[3] if len(sys.argv) > 3 else "", "ZAVEVUV_FAULT": "slow-sync",
        "ZAVEVUV_FAULT_PAUSE": "500", "ASAN_OPTIONS": "verify_asan_link_order=0"}
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
        (["-y", "a.wav"], None, "", "zavevuv: invalid option -- 'y'\n" + TRY, 2),
        (["-j0", "a.wav"], None, "", "zavevuv: invalid number of jobs: '0'\n" + TRY, 2),
        (["--jobs=257", "a.wav"], None, "", "zavevuv: invalid number of jobs: '257'\n" + TRY, 2),
        (["-j", "256", "-n", "a.wav", "b.wav"], None, "a.wav: correct\nb.wav: correct\n", "", 0),  # no summary: all well
        (["-vn", "a.wav", "b.wav"], None, "a.wav: correct\nb.wav: correct\n", summary(2, 2, 0, 0, 0, 0, check=True), 0),
        (["--j", "a.wav"], None, "", "zavevuv: option '--j' is ambiguous; possibilities: '--json' '--jobs'\n" + TRY, 2),
        (["a.wav", "-j"], None, "", "zavevuv: option requires an argument -- 'j'\n" + TRY, 2),
        ([], None, "", "zavevuv: missing file operand\n" + TRY, 2),
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
    ({"a.wav": GOOD, "a\nb.wav": CRASHED, "fifo": None, "e\x1b[2J\u009b\udc9b\\.wav": GOOD}, [
        (["-n", "e\x1b[2J\u009b\udc9b\\.wav"], None, "e\\033[2J\\302\\233\\233\\\\.wav: correct\n", "", 0),
        (["--files0-from=-"], b"a.wav\0a\nb.wav", "a.wav: correct\na\\nb.wav" + FIX1, "", 0),
        (["--files0-from", "-", "-q"], b"a.wav\0\0a\nb.wav\0", "", "zavevuv: -:2: invalid zero-length file name\n", 2),
        (["--files0-from=none"], None, "", "zavevuv: none: cannot open list: No such file or directory\n", 2),
        (["--files0-from=-"], b"x" * (64 << 20) + b"\0a.wav", "a.wav: correct\n",  # bounded memory, one line
         "zavevuv: -:1: cannot open: File name too long\n" + summary(2, 1, 0, 0, 0, 1), 2),
        (["--files0-from=-"], bytes(1 << 20), "", "zavevuv: -:1: invalid zero-length file names in a row: "
         "list read no further\n", 2),
        (["--files0-from=/dev/zero"], None, "", "zavevuv: /dev/zero: cannot open list: a device, never opened "
         "as one\n", 2),
        (["--files0-from=fifo"], None, "", "zavevuv: fifo: cannot open list: no writer opened it in 2 seconds\n",
         2)]),
]


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
        make({f"t{n}.wav": CRASHED for n in range(3)})
        pid, tty = pty.fork()
        if pid == 0:
            os.execve(tool, [tool, "-j1", "t0.wav", "t1.wav", "t2.wav"], SLOW)
        seen = b""
        while True:
            try:
                seen += os.read(tty, 4096)
            except OSError:
                break
        text, draws = seen.decode(), re.findall(r"\rzavevuv: \d files, \d fixed, 0 failed\x1b\[K", seen.decode())
        expect("progress on a terminal", (len(draws) > 0, text.count("\x1b[K"), text.endswith(
            summary(3, 0, 3, 0, 0, 0).replace("\n", "\r\n"))), (True, 2 * len(draws), True))
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
        make({**LIST, "caf\udce9.wav": CRASHED, "big.wav": take(100, riff=200), "s.aiff": AIFF, "s.w64": W64})
        events = watch("card"), watch(".")
        out, _, status = zv("-n", "--json", "-r", ".")
        expect("--check writes nothing", [written(fd) for fd in events], [set(), set()])
        lines = [json.loads(line) for line in out.splitlines()]
        expect("--json paths", [os.fsencode(o["path"]) for o in lines],
               [b"./big.wav", b"./caf\xe9.wav", b"./card/sub/take3.wav", b"./card/take1.wav", b"./card/take2.wav",
                b"./s.aiff", b"./s.w64"])
        for o in lines:
            r = zavevuv.check(os.fsencode(o["path"]))
            seconds = None if r.frames is None else round(r.frames / r.sample_rate, 6)
            expect("--json " + o["path"], o, {
                "path": o["path"], "outcome": "would-fix" if r.needs_repair else r.outcome.name.lower().replace("_", "-"),
                "check": True,
                "kind": {1: "not-wave", 2: "riff", 3: "rf64", 4: "w64", 5: "aiff", 6: "aifc"}[r.kind.value],
                "error": None, "write_error": None,
                "fields": r.fields, "data_chunk": r.data_chunk, "stated_bytes": r.stated_bytes,
                "audio_bytes": r.audio_bytes, "stated_frames": r.stated_frames, "frames": r.frames,
                "sample_rate": r.sample_rate, "stated_seconds": round(r.stated_frames / r.sample_rate, 6),
                "seconds": seconds, "rf64": r.rf64, "insert": r.insert})
        expect("--json status", status, 1)
        _, _, status = zv("-r", ".")
        expect("a repair writes only what it fixes", [written(fd) for fd in events],
               [{b"take1.wav"}, {b"big.wav", b"caf\xe9.wav", b"s.aiff", b"s.w64"}])
        out, _, status2 = zv("--json", "missing.wav")
        expect("repaired, then a missing file", (status, json.loads(out)["error"], status2),
               (0, {"errno": "ENOENT", "message": "No such file or directory"}, 2))


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
    table()
    print("\n".join(failures) or "all passed")
    sys.exit(1 if failures else 0)
