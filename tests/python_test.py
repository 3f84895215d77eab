#!/usr/bin/env python3
# SPDX-License-Identifier: MIT
"""The zavevuv package on crashed takes, by every kind of file argument.
    python_test.py HEADER    (zavevuv.h: the outcomes and version to agree with)"""
import os, re, sys, tempfile, unittest, wave

import zavevuv
from wavs import wav
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

    def test_outcomes_are_values(self):
        missing = zavevuv.repair(os.path.join(self.dir.name, "none.wav"))
        self.assertEqual((missing.outcome, missing.error, missing.frames, missing.kind),
                         (Outcome.CANNOT_OPEN, 2, None, zavevuv.Kind.UNKNOWN))
        text = os.path.join(self.dir.name, "notes.wav")
        open(text, "w").write("RIFF, but no WAVE")
        self.assertEqual(zavevuv.check(text).kind, zavevuv.Kind.NOT_WAVE)

    def test_names_and_version_as_the_header_has_them(self):
        names = re.findall(r"ZAVEVUV_(\w+) = (\d+),? +/\*", HEADER.split("enum zavevuv_outcome {")[1].split("};")[0])
        self.assertEqual([(m.name, m.value) for m in Outcome], [(n, int(v)) for n, v in names])
        kinds = re.findall(r"ZAVEVUV_KIND_(\w+) = (\d+)", HEADER)
        self.assertEqual([(m.name, m.value) for m in zavevuv.Kind], [(n, int(v)) for n, v in kinds])
        self.assertEqual(zavevuv.__version__, re.search(r'VERSION_STRING "(.*)"', HEADER).group(1))

    def test_wrong_types(self):
        for wrong in (None, 3.5, True, ["take.wav"]):
            with self.subTest(wrong=wrong), self.assertRaises(TypeError):
                zavevuv.check(wrong)


if __name__ == "__main__":
    unittest.main()
