"""The catalogues' build step and check: what they refuse, report and build, on small catalogues."""
import os
import subprocess
import sys
import tempfile
import unittest

SCRIPT = os.environ.get("KPX2_PO_SCRIPT", os.path.join(os.path.dirname(__file__), "../../scripts/po-catalogues.py"))

HEADER = 'msgid ""\nmsgstr ""\n"Content-Type: text/plain; charset=UTF-8\\n"\n\n'
POT = HEADER + 'msgid "NOW"\nmsgstr ""\n\nmsgid "Block %1 of %2"\nmsgstr ""\n\nmsgid "English"\nmsgstr ""\n'


def run(*arguments, files):
    with tempfile.TemporaryDirectory() as folder:
        paths = {}
        for name, text in files.items():
            paths[name] = os.path.join(folder, name)
            with open(paths[name], "w", encoding="utf-8") as f:
                f.write(text)
        argv = [paths.get(a, os.path.join(folder, a) if a.endswith(".cpp") else a) for a in arguments]
        done = subprocess.run([sys.executable, SCRIPT, *argv], capture_output=True, text=True)
        made = None
        for a in argv:
            if a.endswith(".cpp") and os.path.exists(a):
                with open(a, encoding="utf-8") as f:
                    made = f.read()
        return done, made


class BrokenPlaceholdersAreRefusedWithFileAndLine(unittest.TestCase):
    CASES = {
        "a placeholder missing": 'msgid "Block %1 of %2"\nmsgstr "Block %1"\n',
        "an extra placeholder": 'msgid "NOW"\nmsgstr "JETZT %1"\n',
        "a placeholder renumbered": 'msgid "Block %1 of %2"\nmsgstr "Block %1 von %3"\n',
    }

    def test_each(self):
        for name, entry in self.CASES.items():
            with self.subTest(name):
                done, made = run("embed", "out.cpp", "de.po", files={"de.po": HEADER + entry})
                self.assertEqual(done.returncode, 1)
                self.assertRegex(done.stderr, r"de\.po:5: placeholders")
                self.assertIsNone(made)


class TheCheckReportsTextsShownInEnglish(unittest.TestCase):
    CASES = {
        "a missing entry": ('msgid "NOW"\nmsgstr "JETZT"\n', r"no entry for 'Block %1 of %2'"),
        "an empty entry": ('msgid "NOW"\nmsgstr ""\n', r"de\.po:5: empty entry for 'NOW'"),
        "a fuzzy entry": ('#, fuzzy\nmsgid "NOW"\nmsgstr "JETZT"\n', r"de\.po:6: fuzzy entry for 'NOW'"),
    }

    def test_each(self):
        for name, (entries, report) in self.CASES.items():
            with self.subTest(name):
                done, _ = run("check", "kpx2.pot", "de.po", files={"kpx2.pot": POT, "de.po": HEADER + entries})
                self.assertEqual(done.returncode, 1)
                self.assertRegex(done.stdout, report)

    def test_a_complete_catalogue_passes(self):
        complete = HEADER + ('msgid "NOW"\nmsgstr "JETZT"\n\nmsgid "Block %1 of %2"\nmsgstr "Block %1 von %2"\n\n'
                             'msgid "English"\nmsgstr "Deutsch"\n')
        done, _ = run("check", "kpx2.pot", "de.po", files={"kpx2.pot": POT, "de.po": complete})
        self.assertEqual(done.returncode, 0, done.stdout)


class TheBuiltTablesHoldOnlyTranslations(unittest.TestCase):
    def test_empty_and_fuzzy_entries_are_left_out_and_texts_escaped(self):
        po = HEADER + ('msgid "NOW"\nmsgstr ""\n"JE\\"TZT"\n\n#, fuzzy\nmsgid "Block %1 of %2"\nmsgstr "B %1 %2"\n\n'
                       'msgid "English"\nmsgstr "Espa\u00f1ol"\n')
        done, made = run("embed", "out.cpp", "es.po", files={"es.po": po})
        self.assertEqual(done.returncode, 0, done.stderr)
        self.assertIn('{"NOW", "JE\\"TZT"}', made)
        self.assertNotIn("B %1 %2", made)
        self.assertIn('{"es", "Espa\\303\\261ol", Entries0, 2}', made)


if __name__ == "__main__":
    unittest.main()
