#!/usr/bin/env python3
"""packaging/windows/notices.py on small made-up links: what it names, the pointer to a DLL's
exact source, the npm libraries of a bundle, and the links it refuses to write notices for."""

import json
import os
import subprocess
import sys
import tempfile
import unittest

NOTICES = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "packaging", "windows", "notices.py")


def notices(*args):
    return subprocess.run([sys.executable, NOTICES, *args], capture_output=True, text=True)


class Link(unittest.TestCase):
    def setUp(self):
        self.scratch = tempfile.TemporaryDirectory()
        self.root = self.scratch.name
        self.deps = os.path.join(self.root, "deps")
        self.file("deps/notices/mpg123/version", "1.31.2-1+deb12u1\n")
        self.file("deps/notices/mpg123/files", "bin/libmpg123-0.dll\n")
        self.file("deps/notices/mpg123/copyright", "Files: *\nCopyright: the mpg123 authors\nLicense: LGPL-2.1\n")
        self.dll = self.file("deps/bin/libmpg123-0.dll", "dll")
        self.file("deps/notices/libjpeg-turbo/version", "1:2.1.5-2\n")
        self.file("deps/notices/libjpeg-turbo/files", "lib/libjpeg.a\n")
        self.file("deps/notices/libjpeg-turbo/copyright", "Files: *\nLicense: IJG\n")
        self.archive = self.file("deps/lib/libjpeg.a", "archive")
        self.own = os.path.join(self.root, "build")
        self.object = self.file("build/main.o", "object")
        self.out = os.path.join(self.root, "NOTICES.txt")

    def tearDown(self):
        self.scratch.cleanup()

    def file(self, name, text):
        path = os.path.join(self.root, name)
        os.makedirs(os.path.dirname(path), exist_ok=True)
        with open(path, "w") as f:
            f.write(text)
        return path

    def written(self, *args):
        run = notices("--out", self.out, "--title", "Title", "--deps", self.deps, "--own", self.own, *args)
        self.assertEqual(run.returncode, 0, run.stderr)
        with open(self.out) as f:
            return f.read()


class Sources(Link):
    def test_a_dll_points_to_its_exact_debian_source(self):
        text = self.written(self.dll)
        self.assertIn("1. mpg123 1.31.2-1+deb12u1\n   linked: libmpg123-0.dll\n", text)
        self.assertIn("       apt-get source mpg123=1.31.2-1+deb12u1\n", text)
        self.assertIn("Copyright: the mpg123 authors", text)

    def test_a_static_library_gets_no_source_pointer(self):
        text = self.written(self.archive)
        self.assertIn("1. libjpeg-turbo 1:2.1.5-2\n   linked: libjpeg.a\n\n", text)
        self.assertNotIn("apt-get source", text)


class Traces(Link):
    def test_a_trace_names_the_archives_it_loaded_and_skips_our_own_objects(self):
        trace = self.file("build/show.js.trace", f"{self.object}\n{self.archive}(jdapimin.c.o)\n"
                                                 f"{self.archive}(jdmaster.c.o)\n")
        run = notices("--names", "--deps", self.deps, "--own", self.own, "--trace", trace)
        self.assertEqual((run.returncode, run.stdout), (0, "libjpeg-turbo\n"), run.stderr)

    def test_a_file_of_unknown_origin_is_refused_by_name(self):
        stray = self.file("elsewhere/libstray.a", "archive")
        trace = self.file("build/show.js.trace", f"{stray}(x.o)\n")
        run = notices("--names", "--deps", self.deps, "--own", self.own, "--trace", trace)
        self.assertNotEqual(run.returncode, 0)
        self.assertIn(f"{stray}: linked, but neither a known dependency nor part of a Debian package", run.stderr)


class Bundles(Link):
    def bundle(self, licence_file=True):
        self.file("node_modules/fflate/package.json", json.dumps({"name": "fflate", "version": "0.8.2", "license": "MIT"}))
        self.file("node_modules/fflate/esm/browser.js", "")
        if licence_file:
            self.file("node_modules/fflate/LICENSE", "MIT License\n\nCopyright (c) 2023 the fflate author\n")
        self.file("node_modules/@scope/lib/package.json", json.dumps({"name": "@scope/lib", "version": "1.0.0", "license": "ISC"}))
        self.file("node_modules/@scope/lib/index.js", "")
        self.file("node_modules/@scope/lib/LICENCE.md", "ISC licence text\n")
        # Only what went into an output counts: the unused package is in "inputs" alone.
        self.file("node_modules/unused/package.json", json.dumps({"name": "unused", "version": "2.0.0"}))
        return self.file("meta.json", json.dumps({
            "inputs": {"node_modules/unused/index.js": {}},
            "outputs": {"site/maker.js": {"inputs": {
                "src/maker/main.js": {}, "node_modules/fflate/esm/browser.js": {},
                "node_modules/@scope/lib/index.js": {}}}}}))

    def test_each_bundled_package_with_its_version_licence_and_text(self):
        meta = self.bundle()
        text = self.written("--bundle", meta, "--node-modules", os.path.join(self.root, "node_modules"))
        self.assertIn("1. @scope/lib 1.0.0\n   bundled into: maker.js\n   licence: ISC\n", text)
        self.assertIn("2. fflate 0.8.2\n   bundled into: maker.js\n   licence: MIT\n", text)
        self.assertIn("Copyright (c) 2023 the fflate author", text)
        self.assertIn("ISC licence text", text)
        self.assertNotIn("unused", text)

    def test_a_bundled_package_without_a_licence_file_is_refused(self):
        meta = self.bundle(licence_file=False)
        run = notices("--names", "--bundle", meta, "--node-modules", os.path.join(self.root, "node_modules"))
        self.assertNotEqual(run.returncode, 0)
        self.assertIn("fflate: bundled into maker.js, but has no licence file", run.stderr)


if __name__ == "__main__":
    unittest.main()
