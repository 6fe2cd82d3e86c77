#!/usr/bin/python3
"""The gates of the test command's scripts: each script runs on a copy of
scripts/ with stand-ins for the tools it calls, and must fail, with its
message, when a tool fails, a suite runs other tests than it must, a fuzzer
stops early or the machine's configuration changes.
    tests/scripts_test.py [unittest options]
"""
import os
import shutil
import subprocess
import tempfile
import unittest

SOURCE = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))

# A stand-in tool: it logs its arguments, prints $STATE/NAME.out if there is
# one, runs $STATE/NAME.sh if there is one (with the arguments), and exits
# with $STATE/NAME.exit (0 if none).
STAND_IN = """#!/bin/sh
name=$(basename "$0")
echo "$name $*" >>"$STATE/calls"
[ ! -f "$STATE/$name.out" ] || cat "$STATE/$name.out"
[ ! -f "$STATE/$name.sh" ] || . "$STATE/$name.sh"
exit "$(cat "$STATE/$name.exit" 2>/dev/null || echo 0)"
"""


class Scripts(unittest.TestCase):
    tools = ()

    def setUp(self):
        self.root = tempfile.mkdtemp()
        self.addCleanup(shutil.rmtree, self.root)
        self.tree = os.path.join(self.root, "tree")
        self.state = os.path.join(self.root, "state")
        self.bin = os.path.join(self.root, "bin")
        for folder in (self.state, self.bin, os.path.join(self.tree, "tests")):
            os.makedirs(folder)
        shutil.copytree(os.path.join(SOURCE, "scripts"), os.path.join(self.tree, "scripts"))
        shutil.copy(os.path.join(SOURCE, "tests", "expected-tests.txt"), os.path.join(self.tree, "tests"))
        for tool in self.tools + ("apt-get", "sudo", "dpkg-checkbuilddeps"):
            self.stand_in(os.path.join(self.bin, tool))
        self.given("dpkg-query.sh", 'for p in "$@"; do case $p in -*) ;; *) echo "ii "; esac; done')

    def stand_in(self, path):
        with open(path, "w") as f:
            f.write(STAND_IN)
        os.chmod(path, 0o755)

    def given(self, name, text):
        with open(os.path.join(self.state, name), "w") as f:
            f.write(text + "\n")

    def run_script(self, *args):
        env = dict(os.environ, PATH=self.bin + ":/usr/bin:/bin", STATE=self.state)
        return subprocess.run([os.path.join(self.tree, "scripts", args[0]), *args[1:]], env=env,
                              stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True, timeout=600)

    def calls(self, tool):
        with open(os.path.join(self.state, "calls")) as f:
            return [line.split(" ", 1)[1].strip() for line in f if line.split(" ", 1)[0] == tool]

    def assertFailsWith(self, result, message):
        self.assertNotEqual(result.returncode, 0, result.stdout)
        self.assertIn(message, result.stdout)


def ctest_log(tests):
    lines = [f"{i}/{len(tests)} Test  #{i}: {name} ......   Passed    0.10 sec" for i, name in enumerate(tests, 1)]
    return "\n".join(lines + [f"100% tests passed, 0 tests failed out of {len(tests)}"])


def expected(stage, arch):
    command = f". {SOURCE}/scripts/tools.sh && cd {SOURCE} && expected_tests {stage} {arch}"
    return subprocess.run(["bash", "-c", command], check=True, stdout=subprocess.PIPE, text=True).stdout.split()


class TestCommand(Scripts):
    tools = ("cmake", "dpkg", "dpkg-query", "dpkg-architecture")

    def setUp(self):
        super().setUp()
        self.given("dpkg.sh", '[ "$1" != --print-architecture ] || echo amd64\n'
                              '[ "$1" != --print-foreign-architectures ] || cat "$STATE/foreign" 2>/dev/null')
        self.given("dpkg-architecture.sh", 'echo "$2-linux-gnu"')
        # Each workflow passes what its stage expects, unless a test says otherwise.
        for stage, arch in [("release", "amd64"), ("sanitize", "amd64")] + \
                [("cross", a) for a in ("arm64", "armhf", "i386", "ppc64el", "riscv64", "s390x")]:
            preset = stage if stage != "cross" else "cross-" + arch
            self.given("log-" + preset, ctest_log(expected(stage, arch)))
        self.given("cmake.sh", 'cat "$STATE/log-$3" 2>/dev/null; [ ! -f "$STATE/change" ] || echo armhf >>"$STATE/foreign"')
        for script in ("fuzz.sh", "debian-build.sh"):
            self.stand_in(os.path.join(self.tree, "scripts", script))

    def test_a_stage_that_runs_what_it_expects_passes(self):
        result = self.run_script("test.sh", "release", "sanitize")
        self.assertEqual(result.returncode, 0, result.stdout)
        self.assertEqual(self.calls("cmake"), ["--workflow --preset release --fresh",
                                               "--workflow --preset sanitize --fresh"])

    def test_a_suite_that_ran_other_tests_fails_by_name(self):
        tests = expected("release", "amd64")
        for log, message in [(tests[1:], "did not pass: " + tests[0]), (tests + ["stray_test"], "not expected: stray_test"),
                             (tests[:-1] + ["renamed_test"], "did not pass: " + tests[-1])]:
            with self.subTest(message):
                self.given("log-release", ctest_log(log))
                self.assertFailsWith(self.run_script("test.sh", "release"), message)

    def test_a_failing_stage_fails_the_command_and_stops_it(self):
        self.given("cmake.exit", "1")
        result = self.run_script("test.sh", "release", "fuzz")
        self.assertNotEqual(result.returncode, 0, result.stdout)
        self.assertNotIn("== fuzz ==", result.stdout)

    def test_a_changed_architecture_list_fails_the_command(self):
        self.given("change", "")
        self.assertFailsWith(self.run_script("test.sh", "release"), "changed dpkg's architectures or apt's sources")

    def test_each_named_stage_runs_alone(self):
        result = self.run_script("test.sh", "fuzz")
        self.assertEqual(result.returncode, 0, result.stdout)
        self.assertEqual(self.calls("cmake"), [])
        self.assertEqual(self.calls("fuzz.sh"), ["60"])
        self.assertEqual(self.calls("debian-build.sh"), [])
        self.assertEqual(self.run_script("test.sh", "--plan", "fuzz", "cross").stdout, "fuzz cross\n")
        self.assertFailsWith(self.run_script("test.sh", "nosuchstage"), "unknown stage")

    def test_the_cross_stage_runs_every_promised_architecture(self):
        result = self.run_script("test.sh", "cross")
        self.assertEqual(result.returncode, 0, result.stdout)
        self.assertEqual(self.calls("cmake"), [f"--workflow --preset cross-{a} --fresh" for a in
                                               ("arm64", "armhf", "i386", "ppc64el", "riscv64", "s390x")])
        self.assertEqual(self.calls("debian-build.sh"), ["-a arm64"])


class Fuzz(Scripts):
    tools = ("cmake", "dpkg-query")

    def setUp(self):
        super().setUp()
        fuzzer = os.path.join(self.tree, "build", "fuzz", "engine_fuzzer")
        os.makedirs(os.path.dirname(fuzzer))
        self.stand_in(fuzzer)

    def test_the_fuzzer_must_run_its_time_without_a_finding(self):
        self.given("engine_fuzzer.out", "Done 5000 runs in 61 second(s)")
        self.assertEqual(self.run_script("fuzz.sh", "60").returncode, 0)
        self.given("engine_fuzzer.out", "Done 50 runs in 0 second(s)")
        self.assertFailsWith(self.run_script("fuzz.sh", "60"), "stopped after 0 seconds, not 60")
        self.given("engine_fuzzer.out", "")
        self.assertFailsWith(self.run_script("fuzz.sh", "60"), "stopped after no seconds")
        self.given("engine_fuzzer.out", "Done 5000 runs in 61 second(s)")
        self.given("engine_fuzzer.exit", "1")
        self.assertFailsWith(self.run_script("fuzz.sh", "60"), "engine_fuzzer failed")


class PackageChecks(Scripts):
    """debian-build-inside.sh: each of Debian's checks fails the build."""
    tools = ("dpkg", "dpkg-buildpackage", "dpkg-deb", "lintian", "blhc", "hardening-check", "readelf", "g++",
             "reprotest")

    def setUp(self):
        super().setUp()
        self.out = os.path.join(self.root, "out")
        self.given("dpkg.out", "amd64")
        # A build leaves a package, its .changes and one object behind.
        self.given("dpkg-buildpackage.sh", 'touch ../threebody_1-1_amd64.deb ../threebody_1-1_amd64.changes\n'
                                           'mkdir -p obj-x && touch obj-x/a.o; echo "1/1 Test #1: t Passed"')
        self.given("dpkg-deb.sh", '[ "$1" != -x ] || { mkdir -p "$3/usr/bin"; touch "$3/usr/bin/threebody"; }')
        # The C library's start-up files carry no control-flow mark; our objects do.
        self.given("readelf.sh", 'case $2 in *.o) [ -f "$STATE/unmarked" ] || echo "IBT, SHSTK";; esac')

    def run_inside(self):
        os.environ["DEBIAN_BUILD_OUT"] = self.out
        try:
            return self.run_script("debian-build-inside.sh")
        finally:
            del os.environ["DEBIAN_BUILD_OUT"]

    def test_every_check_passing_passes(self):
        result = self.run_inside()
        self.assertEqual(result.returncode, 0, result.stdout)
        self.assertEqual(self.calls("blhc"), [self.out + "/build.log"])
        (reprotest,) = self.calls("reprotest")
        vary = reprotest.split()[0]
        self.assertTrue(vary.startswith("--vary=") and "time" not in vary, reprotest)

    def test_each_failing_check_fails_the_build(self):
        for tool, message in [("lintian", "lintian found"), ("blhc", ""), ("hardening-check", ""),
                              ("reprotest", "the builds differ"), ("dpkg-buildpackage", ""),
                              ("unmarked", "without control-flow protection")]:
            with self.subTest(tool):
                shutil.rmtree(self.out, ignore_errors=True)
                self.given(tool + ".exit" if tool != "unmarked" else tool, "1")
                self.assertFailsWith(self.run_inside(), message)
                os.remove(os.path.join(self.state, tool + ".exit" if tool != "unmarked" else tool))

    def test_lintian_fails_on_warnings_and_pedantic_tags(self):
        # lintian itself decides: --fail-on names what fails.
        for kind in ("warning", "pedantic"):
            with self.subTest(kind):
                shutil.rmtree(self.out, ignore_errors=True)
                self.given("lintian.sh", f'case "$*" in *--fail-on*{kind}*) exit 1;; esac')
                self.assertFailsWith(self.run_inside(), "lintian found")

    def test_the_object_check_needs_objects(self):
        self.given("dpkg-buildpackage.sh", 'touch ../threebody_1-1_amd64.deb ../threebody_1-1_amd64.changes\n'
                                           'echo "1/1 Test #1: t Passed"')
        self.assertFailsWith(self.run_inside(), "no objects to check")
        self.given("dpkg-buildpackage.sh", 'touch ../threebody_1-1_amd64.deb ../threebody_1-1_amd64.changes')
        shutil.rmtree(self.out)
        self.assertFailsWith(self.run_inside(), "the build ran no tests")


class PackageBuild(Scripts):
    """debian-build.sh: the autopkgtests, each in a testbed of its own, and
    piuparts fail the stage."""
    tools = ("mmdebstrap", "autopkgtest", "piuparts", "mount", "umount", "dpkg", "dpkg-query", "git")

    def setUp(self):
        super().setUp()
        shutil.copytree(os.path.join(SOURCE, "debian"), os.path.join(self.tree, "debian"))
        self.given("dpkg.out", "amd64")
        # The build chroot says it built; the minbase one is an empty tarball.
        out = os.path.join(self.tree, "build", "debian-bookworm")
        self.given("mmdebstrap.sh", f'[ -d "{out}" ] && echo 0 >"{out}/status" && touch "{out}/threebody_1-1_amd64.deb"\n'
                                    'eval "target=\\${$(($# - 1))}"; case $target in *.tar.gz) mkdir -p "$STATE/base/etc"; tar -czf "$target" -C "$STATE/base" .;; esac')
        # umount fails, as the real one does, on what is not mounted.
        self.given("mount.sh", 'echo "$3" >>"$STATE/mounted"')
        self.given("umount.sh", 'for m; do [ "$m" = -R ] || grep -qxF "$m" "$STATE/mounted" || exit 32; done\n'
                                'for m; do grep -vxF "$m" "$STATE/mounted" >"$STATE/left" || true; mv "$STATE/left" "$STATE/mounted"; done')
        # Each test passes, and writes so in its summary.
        self.given("autopkgtest.sh", 'for a; do case $a in --test-name=*) t=${a#*=};; --output-dir=*) o=${a#*=};; esac; done\n'
                                     'mkdir -p "$o"; echo "$t $(cat "$STATE/verdict" 2>/dev/null || echo PASS)" >"$o/summary"')

    def test_each_autopkgtest_runs_alone_and_a_failure_fails(self):
        result = self.run_script("debian-build.sh", "bookworm")
        self.assertEqual(result.returncode, 0, result.stdout)
        runs = self.calls("autopkgtest")
        with open(os.path.join(SOURCE, "debian", "tests", "control")) as f:
            tests = [line.split()[1] for line in f if line.startswith("Tests:")]
        self.assertEqual([a for run in runs for a in run.split() if a.startswith("--test-name=")],
                         ["--test-name=" + t for t in tests])
        testbeds = {run.split()[-1] for run in runs}
        self.assertEqual(len(testbeds), len(tests), "the tests share a testbed")
        self.assertTrue(all(" -- chroot " in run for run in runs), runs)
        self.assertEqual(len(self.calls("piuparts")), 1)
        # A superficial test alone makes autopkgtest exit 8; a skipped one too.
        for tool, status, verdict, message in [("autopkgtest", "4", "FAIL", "autopkgtest window failed"),
                                               ("autopkgtest", "8", "SKIP", "autopkgtest window failed"),
                                               ("autopkgtest", "8", "PASS", ""), ("piuparts", "1", "", "piuparts failed")]:
            with self.subTest(tool + " " + status + " " + verdict):
                self.given(tool + ".exit", status)
                self.given("verdict", verdict or "PASS")
                result = self.run_script("debian-build.sh", "bookworm")
                if message:
                    self.assertFailsWith(result, message)
                else:
                    self.assertEqual(result.returncode, 0, result.stdout)
                os.remove(os.path.join(self.state, tool + ".exit"))


if __name__ == "__main__":
    unittest.main(verbosity=2)
