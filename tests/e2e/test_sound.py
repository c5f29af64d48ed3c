"""The completion sound: played whole after a backup, skipped at once without a device."""
import os
import struct
import subprocess
import sys
import tempfile
import time
import unittest
import wave

from harness import BackupTestCase, NO_SOUND, ON_WINE, posix_only, run

ROOT = os.path.abspath(os.path.join(os.path.dirname(__file__), "..", ".."))
IMAGE = os.path.join(ROOT, "res", "completion_sound.wav")
GENERATOR = os.path.join(ROOT, "tools", "make_completion_sound.py")

HEADER_LINES = (b"WAV Header Info: NbChannels 2, BitsPerSamples: 16, NbBlockAlign 4\n"
                b"WAV Header Info: SamplePerSec 44100, nAvgBytesPerSec: 176400, WavSize 352212\n")
WAIT = 2.252  # the sound's 1996 ms plus 256 ms


def image_samples():
    """The sample bytes of the embedded image, read by a reader that is not ours."""
    with wave.open(IMAGE, "rb") as w:
        return w.readframes(w.getnframes())


class CompletionSoundTest(BackupTestCase):

    def write_config(self, text, name="asound.conf"):
        path = os.path.join(self.root, name)
        with open(path, "w") as f:
            f.write(text)
        return path

    def file_device(self):
        """A default device that writes what it plays, raw, to a file."""
        played = os.path.join(self.root, "played.raw")
        config = self.write_config(
            'pcm.null { type null }\n'
            'pcm.!default { type file slave.pcm "null" file "%s" format "raw" }\n' % played)
        return config, played

    def backup(self, env):
        """A silent project backup; returns the result, the archive and the end time."""
        project = self.make_tree(os.path.join(self.root, "proj"), {"a.pb": "Procedure A()\nEndProcedure\n"})
        result = run(["/p", project, "/silent"], env=env)
        ended = time.time()
        archive = self.only_archive(os.path.join(project, "_backups"))
        return result, archive, ended

    @posix_only("captures the played samples through ALSA's file plugin")
    def test_a_backup_plays_the_whole_sound_and_waits_for_it(self):
        config, played = self.file_device()
        (code, out, err), archive, ended = self.backup({"ALSA_CONFIG_PATH": config})
        self.assertEqual(code, 0, err)
        self.assertEqual(out, HEADER_LINES)
        self.assertEqual(err, b"")
        with open(played, "rb") as f:
            sound = f.read()
        self.assertEqual(len(sound), 352212)
        self.assertEqual(sound, image_samples())
        # The archive is written and closed before the sound starts.
        waited = ended - os.stat(archive).st_mtime
        self.assertGreaterEqual(waited, WAIT)
        self.assertLess(waited, WAIT + 2.0)

    def test_without_a_usable_output_the_run_ends_at_once_and_silently(self):
        fake_library = os.path.join(self.root, "fakelib")
        os.mkdir(fake_library)
        # An empty file where the loader looks first: the library cannot be loaded.
        open(os.path.join(fake_library, "libasound.so.2"), "wb").close()
        config, played = self.file_device()
        cases = {
            "no devices configured": {"ALSA_CONFIG_PATH": NO_SOUND},
            "default names a card that is not there": {
                "ALSA_CONFIG_PATH": self.write_config("pcm.!default { type hw card 29 }\n", "no-card.conf")},
            "no audio library": {"ALSA_CONFIG_PATH": config,
                                 "LD_LIBRARY_PATH": fake_library},
        }
        for name, env in cases.items():
            with self.subTest(name):
                (code, out, err), archive, ended = self.backup(env)
                self.assertEqual(code, 0, err)
                self.assertEqual(out, b"")
                if not ON_WINE:  # Wine's audio driver lets the ALSA library complain on stderr
                    self.assertEqual(err, b"")
                # Well below the chime's wait; Wine's end of a process takes some tenths more.
                self.assertLess(ended - os.stat(archive).st_mtime, 1.5 if ON_WINE else 1.0)
                self.assertFalse(os.path.exists(played))
                os.remove(archive)

    def test_a_run_that_ends_in_a_report_plays_nothing(self):
        config, played = self.file_device()
        started = time.time()
        code, out, _ = run(["/p", os.path.join(self.root, "missing"), "/silent"],
                           env={"ALSA_CONFIG_PATH": config})
        self.assertEqual(code, 0)
        self.assertNotIn(b"WAV Header Info", out)
        self.assertFalse(os.path.exists(played))
        self.assertLess(time.time() - started, 2.0)


class SoundImageTest(unittest.TestCase):

    def test_the_generator_writes_the_committed_image(self):
        with tempfile.TemporaryDirectory() as folder:
            fresh = os.path.join(folder, "sound.wav")
            subprocess.run([sys.executable, GENERATOR, fresh], check=True)
            with open(fresh, "rb") as f, open(IMAGE, "rb") as committed:
                self.assertTrue(f.read() == committed.read(), "res/completion_sound.wav is stale")

    def test_layout_and_level(self):
        with open(IMAGE, "rb") as f:
            image = f.read()
        self.assertEqual(len(image), 352318)
        self.assertEqual(image[:4] + image[8:16], b"RIFFWAVEfmt ")
        self.assertEqual(struct.unpack_from("<I", image, 4)[0], 352310)
        self.assertEqual(struct.unpack_from("<IHHIIHH", image, 16), (16, 1, 2, 44100, 176400, 4, 16))
        self.assertEqual(image[36:40], b"data")
        self.assertEqual(struct.unpack_from("<I", image, 40)[0], 352212)
        self.assertEqual(image[352256:352260], b"LIST")
        self.assertEqual(struct.unpack_from("<I", image, 352260)[0], 54)
        self.assertEqual(image[352264:352272], b"INFOISFT")
        self.assertEqual(struct.unpack_from("<I", image, 352272)[0], 42)
        self.assertIn(b"make_completion_sound.py\0", image[352276:])

        with wave.open(IMAGE, "rb") as w:
            self.assertEqual((w.getnchannels(), w.getsampwidth(), w.getframerate(), w.getnframes()),
                             (2, 2, 44100, 88053))
        samples = struct.unpack("<%dh" % (352212 // 2), image_samples())
        peak = max(abs(s) for s in samples)
        # About -3 dBFS, well clear of clipping.
        self.assertGreater(peak, 32768 * 10 ** (-3.5 / 20))
        self.assertLess(peak, 32768 * 10 ** (-2.5 / 20))
        # Silence at both ends: no click when playback starts or stops.
        self.assertEqual(samples[:4], (0, 0, 0, 0))
        self.assertEqual(samples[-4:], (0, 0, 0, 0))


if __name__ == "__main__":
    unittest.main()
