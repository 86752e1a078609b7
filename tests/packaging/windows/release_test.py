"""The Windows release as it is shipped, read back from its files: the programs' icon and version,
no debugging sections in the zip's programs, and NOTICES.txt naming everything they link.
The environment gives ZIP, SETUP, BIN (the build's programs), ICON (the .ico the build drew),
MAPS (the programs' linker maps, ','-separated), LINK_DIR (the folder the linker ran in),
BUILD_DIR, OBJDUMP, SYSTEM_IMPORTS (mingw-w64's import libraries of Windows' own DLLs),
DATA_SET_TABLE and VERSION."""

import os
import re
import subprocess
import tempfile
import unittest
import zipfile

import pe_resources

ENV = os.environ
PROGRAMS = ["velmorastik.exe", "velmorastik-capture.exe"]


def unpacked_release():
    """The zip unpacked in a temporary folder: (the folder object, the release's folder in it)."""
    folder = tempfile.TemporaryDirectory()
    with zipfile.ZipFile(ENV["ZIP"]) as archive:
        archive.extractall(folder.name)
    (top,) = os.listdir(folder.name)
    return folder, os.path.join(folder.name, top)


def section_names(path):
    run = subprocess.run([ENV["OBJDUMP"], "-h", path], capture_output=True, text=True, check=True)
    return re.findall(r"^\s*\d+\s+(\S+)", run.stdout, re.M)


def ico_images(path):
    with open(path, "rb") as f:
        data = f.read()
    count = int.from_bytes(data[4:6], "little")
    images = []
    for i in range(count):
        entry = data[6 + 16 * i: 22 + 16 * i]
        size = int.from_bytes(entry[8:12], "little")
        offset = int.from_bytes(entry[12:16], "little")
        images.append((entry[0] or 256, data[offset:offset + size]))
    return images


class Release(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.folder, cls.release = unpacked_release()

    @classmethod
    def tearDownClass(cls):
        cls.folder.cleanup()


class ProgramResources(Release):
    def test_both_programs_and_the_installer_carry_the_drawn_icon_at_four_sizes(self):
        want = ico_images(ENV["ICON"])
        self.assertEqual([side for side, _ in want], [16, 32, 48, 256])
        for path in [os.path.join(ENV["BIN"], p) for p in PROGRAMS] + \
                [os.path.join(self.release, p) for p in PROGRAMS]:
            with self.subTest(path=path):
                self.assertEqual(pe_resources.icon_images(path), want)
        # NSIS puts the icon's images in its own order: the same set is what counts.
        self.assertEqual(sorted(pe_resources.icon_images(ENV["SETUP"])), sorted(want))

    def test_both_programs_and_the_installer_say_their_version_and_what_they_are(self):
        version = ENV["VERSION"]
        numbers = tuple(int(n) for n in version.split(".")) + (0,)
        for path in [os.path.join(self.release, p) for p in PROGRAMS] + [ENV["SETUP"]]:
            with self.subTest(path=path):
                strings, fixed = pe_resources.version_strings(path)
                self.assertEqual(fixed, numbers)
                self.assertEqual(strings.get("ProductName"), "velmorastik")
                self.assertEqual(strings.get("ProductVersion"), version)
                self.assertEqual(strings.get("FileVersion"), version)
                self.assertEqual(strings.get("CompanyName"), "the velmorastik maintainers")
                self.assertIn("velmorastik", strings.get("FileDescription", ""))
        for program in PROGRAMS:
            strings, _ = pe_resources.version_strings(os.path.join(self.release, program))
            self.assertEqual(strings.get("OriginalFilename"), program)


class Stripping(Release):
    def test_the_zip_has_no_debugging_sections_and_the_build_keeps_them(self):
        shipped = PROGRAMS + [f for f in os.listdir(self.release) if f.lower().endswith(".dll")]
        self.assertEqual(len(shipped), 3, "the two programs and the libmpg123 DLL")
        for name in shipped:
            with self.subTest(name=name):
                sections = section_names(os.path.join(self.release, name))
                self.assertIn(".text", sections)
                self.assertEqual([s for s in sections if s.startswith(".debug")], [])
        for name in PROGRAMS:
            self.assertIn(".debug_info", section_names(os.path.join(ENV["BIN"], name)),
                          f"bin/{name} keeps its debugging sections")


class Notices(Release):
    def linked_from_outside(self):
        """Every file the programs link that is not built here (the deps folder's are not ours)."""
        build = os.path.realpath(ENV["BUILD_DIR"])
        deps = os.path.join(build, "deps")
        found = set()
        for link_map in ENV["MAPS"].split(","):
            with open(link_map, errors="replace") as f:
                text = f.read()
            archives = re.findall(r"^(\S.*?\.a)\(", text, re.M)
            objects = re.findall(r"^LOAD (.+\.o(?:bj)?)$", text, re.M)
            for path in archives + objects:
                path = os.path.realpath(os.path.join(ENV["LINK_DIR"], path))
                if os.path.commonpath([path, build]) != build or path.startswith(deps + os.sep):
                    found.add(os.path.basename(path))
        return found

    def imported_dlls(self):
        """Every DLL the shipped programs and DLLs import that is not part of Windows."""
        found = set()
        shipped = [f for f in os.listdir(self.release) if f.lower().endswith((".exe", ".dll"))]
        for name in shipped:
            run = subprocess.run([ENV["OBJDUMP"], "-p", os.path.join(self.release, name)],
                                 capture_output=True, text=True, check=True)
            for dll in re.findall(r"DLL Name: (\S+)", run.stdout):
                stem = dll.lower().removesuffix(".dll")
                if not os.path.exists(os.path.join(ENV["SYSTEM_IMPORTS"], f"lib{stem}.a")):
                    found.add(dll)
        return found

    def test_name_every_library_the_programs_link_or_import(self):
        with open(os.path.join(self.release, "NOTICES.txt"), encoding="utf-8", errors="replace", newline="") as f:
            notices = f.read()
        linked = self.linked_from_outside()
        dlls = self.imported_dlls()
        # What these programs are known to link, so that an empty reading cannot pass.
        for name in ["libjpeg.a", "libstdc++.a", "libmpg123.dll.a"]:
            self.assertIn(name, linked)
        self.assertEqual(dlls, {"libmpg123-0.dll"})
        listed = set(re.findall(r"^   linked: (.*)$", notices.replace("\r", ""), re.M))
        listed = {name for line in listed for name in line.split(", ")}
        self.assertEqual(sorted((linked | dlls) - listed), [], "linked or imported, but not in NOTICES.txt")

    def test_carry_the_licence_texts(self):
        with open(os.path.join(self.release, "NOTICES.txt"), encoding="utf-8", errors="replace", newline="") as f:
            notices = f.read()
        # libmpg123's LGPL 2.1 in full, libjpeg-turbo's IJG and BSD terms, GCC's runtime exception.
        self.assertIn("GNU LESSER GENERAL PUBLIC LICENSE\r\n                       Version 2.1", notices)
        self.assertIn("the Independent JPEG Group", notices)
        self.assertIn("GCC RUNTIME LIBRARY EXCEPTION", notices.upper())
        self.assertTrue(notices.endswith("\r\n") and "\n" not in notices.replace("\r\n", ""),
                        "Windows line ends throughout")


class Readme(Release):
    def test_lists_every_file_of_the_data_set_and_says_what_the_box_means(self):
        with open(os.path.join(self.release, "README.txt"), encoding="utf-8", newline="") as f:
            readme = f.read()
        with open(ENV["DATA_SET_TABLE"]) as f:
            rows = [line.split() for line in f if re.match(r"^[a-z]+ ", line)]
        self.assertEqual(len(rows), 14)
        for kind, path in rows:
            windows_path = "data\\" + path.replace("/", "\\")
            self.assertRegex(readme, r"\n    " + re.escape(windows_path) + r" +" + kind + "\r\n")
        self.assertIn('"DDERR_UNSUPPORTED "', readme)
        self.assertIn(f"velmorastik-{ENV['VERSION']}-setup.exe", readme)
        self.assertIn("uninstall.exe /S", readme)


if __name__ == "__main__":
    unittest.main()
