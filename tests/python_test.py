#!/usr/bin/env python3
# SPDX-License-Identifier: MIT
"""The zavevuv package on crashed takes, by every kind of file argument.
    python_test.py HEADER    (zavevuv.h: the outcomes and version to agree with)"""
import errno, io, os, pathlib, re, subprocess, sys, tempfile, unittest, wave

import zavevuv
from wavs import plucked, wav
from zavevuv import Outcome

HEADER = open(sys.argv.pop(1)).read()


def crashed(path, frames=1000):  # 16-bit stereo, sizes as written before the first sample
    with open(path, "wb") as f:
        f.write(wav(b"RIFF", 36, b"", 2, 2, b"", 0, 0) + bytes(range(256)) * (frames * 4 // 256))


class Package(unittest.TestCase):
    def setUp(self):
        self.dir = tempfile.TemporaryDirectory()
        self.path = os.path.join(self.dir.name, "take.wav")
        crashed(self.path, 1024)

    def tearDown(self):
        self.dir.cleanup()

    def test_every_kind_of_file(self):
        opened = []
        kinds = {"str": lambda: self.path, "bytes": lambda: os.fsencode(self.path),
                 "PathLike": lambda: __import__("pathlib").Path(self.path),
                 "int": lambda: opened.append(os.open(self.path, os.O_RDWR)) or opened[-1],
                 "file object": lambda: opened.append(open(self.path, "r+b")) or opened[-1]}
        for kind, file in kinds.items():
            with self.subTest(kind):
                crashed(self.path, 1024)
                before = open(self.path, "rb").read()
                seen = zavevuv.check(file())
                self.assertEqual((seen.outcome, seen.fields, seen.frames, seen.data_chunk, seen.kind,
                                  seen.sample_rate, seen.stated_frames),
                                 (Outcome.FIXED, 2, 1024, 36, zavevuv.Kind.RIFF, 8000, 0))
                self.assertEqual(open(self.path, "rb").read(), before)
                done = zavevuv.repair(file())
                self.assertEqual((done.outcome, done.audio_bytes, done.stated_bytes, done.error),
                                 (Outcome.FIXED, 4096, 0, 0))
                with wave.open(self.path) as w:
                    self.assertEqual((w.getnframes(), len(w.readframes(2048))), (1024, 4096))
                self.assertEqual(zavevuv.repair(file()).outcome, Outcome.CORRECT)
        for f in opened:
            f.close() if hasattr(f, "close") else os.close(f)

    def test_verdicts_are_reports_and_failures_raise_as_os_does(self):
        seen = zavevuv.check(self.path)
        self.assertEqual((seen.needs_repair, str(seen.outcome), str(Outcome.TO_END)), (True, "fixed", "to-end"))
        self.assertFalse((done := zavevuv.repair(pathlib.Path(self.path))).needs_repair)
        text = os.path.join(self.dir.name, "notes.wav")
        open(text, "w").write("RIFF, but no WAVE")
        notes = zavevuv.check(text)
        self.assertEqual((notes.kind, notes.audio_bytes, notes.needs_repair), (zavevuv.Kind.NOT_WAVE, None, False))
        with open(self.path, "rb") as f:
            lines = [str(seen), str(done), str(zavevuv.check(f)), str(zavevuv.check(f.fileno())), str(notes)]
        sizes = "data size 0 -> 4,096 bytes (0.13 s)"
        self.assertEqual(lines, [f"{self.path}: would fix: {sizes}", f"{self.path}: fixed: {sizes}",
                                 f"{self.path}: correct", "(descriptor): correct", f"{text}: not audio"])
        fd = os.open(self.path, os.O_RDONLY)
        missing = os.path.join(self.dir.name, "none.wav")
        for call, wrong, raised in ((zavevuv.repair, missing, FileNotFoundError),
                                    (zavevuv.check, self.dir.name, IsADirectoryError),
                                    (zavevuv.check, -1, OSError), (zavevuv.repair, fd, OSError),
                                    (zavevuv.repair, fd + 2**32, OverflowError),  # not fd itself
                                    (zavevuv.repair, self.path + "\0.wav", ValueError)):  # not the take
            crashed(self.path)
            with self.subTest(wrong=wrong), self.assertRaises(raised) as caught:
                call(wrong)
            with open(self.path, "rb") as f:
                self.assertEqual(f.read(8)[4:], (36).to_bytes(4, "little"))
            if isinstance(wrong, str) and raised is not ValueError:
                self.assertEqual(caught.exception.filename, wrong)
        os.close(fd)
        with open(self.path, "rb") as f, self.assertRaises(OSError) as caught:
            zavevuv.repair(f)  # open for reading only
        self.assertEqual((caught.exception.errno, caught.exception.filename), (errno.EBADF, self.path))
        holder = subprocess.Popen([sys.executable, "-c", "import fcntl, sys\nf = open(sys.argv[1], 'rb+')\n"
                                   "fcntl.lockf(f, fcntl.LOCK_EX)\nprint(flush=True)\nsys.stdin.read()", self.path],
                                  stdin=subprocess.PIPE, stdout=subprocess.PIPE)
        holder.stdout.readline()  # another process's POSIX lock, held
        with self.assertRaises(zavevuv.Busy) as caught:
            zavevuv.repair(self.path)
        holder.communicate()
        self.assertEqual((caught.exception.errno, caught.exception.filename), (errno.EAGAIN, self.path))

    def test_a_header_gone_rebuilt_from_a_take(self):
        good, lost, other = (os.path.join(self.dir.name, n) for n in ("good.wav", "lost.wav", "other.wav"))
        head = wav(b"RIFF", None, b"", 2, 2, b"", None, 48000)
        for path, audio in ((good, plucked(12000)), (lost, plucked(12000, seed=2)), (other, plucked(12000, big=True))):
            with open(path, "wb") as f:
                f.write(bytes(44) + audio)  # its header never reached the card
        with open(good, "r+b") as f:
            f.write(head)
        before = open(lost, "rb").read()
        stereo = zavevuv.Format(zavevuv.Encoding.PCM, 16, False, 2, False)
        guess = zavevuv.guess(lost)
        self.assertEqual((guess.outcome, guess.shape, guess.reads_as), (Outcome.HEADER_GONE, zavevuv.Shape.ZEROED, stereo))
        seen = zavevuv.check(lost, like=good)
        self.assertEqual((seen.needs_repair, seen.shape, seen.audio_bytes, open(lost, "rb").read()),
                         (True, zavevuv.Shape.ZEROED, 48000, before))
        self.assertEqual(zavevuv.rebuild(lost, like=good).outcome, Outcome.FIXED)
        with wave.open(lost) as w:
            self.assertEqual((w.getnchannels(), w.getframerate(), w.readframes(12000)), (2, 8000, before[44:]))
        self.assertEqual(zavevuv.rebuild(lost, like=good).outcome, Outcome.CORRECT)
        misfit = zavevuv.rebuild(other, like=good)
        self.assertEqual((misfit.outcome, misfit.refusal, misfit.reads_as.big_endian), (Outcome.HEADER_GONE,
                                                                                        zavevuv.Refusal.MISFIT, True))
        for like, raised in ((other, ValueError), (lost + "\0", ValueError)):
            with self.subTest(like=like), self.assertRaises(raised):
                zavevuv.rebuild(lost, like=like)
        with open(lost, "rb") as f, self.assertRaises(TypeError):
            zavevuv.check(f, like=good)

    def test_names_and_version_as_the_header_has_them(self):
        names = re.findall(r"ZAVEVUV_(\w+) = (\d+),? +/\*", HEADER.split("enum zavevuv_outcome {")[1].split("};")[0])
        self.assertEqual([(m.name, m.value) for m in Outcome], [(n, int(v)) for n, v in names])
        for enum, prefix in ((zavevuv.Kind, "KIND"), (zavevuv.Shape, "SHAPE"), (zavevuv.Refusal, "REFUSAL")):
            values = re.findall(rf"ZAVEVUV_{prefix}_(\w+) = (\d+)", HEADER)
            self.assertEqual([(m.name, m.value) for m in enum], [(n, int(v)) for n, v in values])
        self.assertEqual(zavevuv.__version__, re.search(r'VERSION_STRING "(.*)"', HEADER).group(1))

    def test_wrong_types(self):
        for wrong in (None, 3.5, True, ["take.wav"], io.BytesIO(b"RIFF")):
            with self.subTest(wrong=wrong), self.assertRaisesRegex(TypeError, "str, bytes or os.PathLike.*int"):
                zavevuv.check(wrong)


if __name__ == "__main__":
    unittest.main()
