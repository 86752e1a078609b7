#!/usr/bin/env python3
"""Writes NOTICES.txt: the third-party components a release links or bundles, each with its
version, the files of it that are linked, and its copyright and licence terms as its Debian source
package (or, for an npm library, its own package) states them, then the full text of every licence
those name by reference. Used for the Windows release and the web site; with --names, prints the
components' names alone, which the Debian package's copyright file is checked against.

The list comes from what was linked, never from a list kept by hand:
  notices.py (--out FILE --title TEXT | --names) [--deps DIR]... [--own DIR]... [--map LINK_MAP]...
             [--link-dir DIR] [--trace TRACE]... [--bundle METAFILE]... [--node-modules DIR]
             [--pe PROGRAM --objdump OBJDUMP --system-imports DIR]... [--crlf] [LIBRARY...]
  LIBRARY            a file that was linked (an archive, an object, a DLL)
  --map LINK_MAP     a linker map (-Wl,-Map): every archive a member was taken from, and every
                     object loaded; its relative paths are from --link-dir (default: here)
  --trace TRACE      what a link's -Wl,--trace printed: every object and archive member it loaded;
                     its relative paths are from --link-dir too
  --bundle METAFILE  esbuild's --metafile: the npm packages whose files went into the bundle, each
                     with its version and licence text from its folder under --node-modules
  --pe PROGRAM       the DLLs a Windows program imports (OBJDUMP -p); a DLL whose import library
                     is in the --system-imports folder is part of Windows and needs no notice
  --deps DIR         a folder made by scripts/lib/cross-deps.sh: its notices/PACKAGE/ say which
                     of its files come from which source package; a DLL among them gets a pointer
                     to its exact source (its licence, the LGPL, asks for one)
  --own DIR          the project's own build folder: what is built there is ours
Any other file is looked up in the Debian packages installed (/usr/share/doc/PACKAGE/copyright).
A linked file of unknown origin is a failure, so that nothing is shipped without its notice.
"""

import argparse
import os
import re
import subprocess
import sys

LICENCES = "/usr/share/common-licenses"


def fail(message):
    sys.exit(f"notices.py: {message}")


def inside(path, folder):
    return os.path.commonpath([path, folder]) == folder


class Component:
    def __init__(self, name, version, copyright_path, licence=None):
        self.name = name
        self.version = version
        self.copyright_path = copyright_path
        # An npm library's licence by its SPDX name; a Debian package's is in its copyright file.
        self.licence = licence
        self.files = set()


def deps_packages(deps):
    """{absolute file: (package, version, copyright path)} from a cross-built deps folder."""
    found = {}
    notices = os.path.join(deps, "notices")
    if not os.path.isdir(notices):
        fail(f"{notices}: missing; scripts/windows-deps makes it")
    for package in sorted(os.listdir(notices)):
        folder = os.path.join(notices, package)
        with open(os.path.join(folder, "version")) as f:
            version = f.read().strip()
        with open(os.path.join(folder, "files")) as f:
            for line in f:
                if line.strip():
                    found[os.path.realpath(os.path.join(deps, line.strip()))] = (
                        package, version, os.path.join(folder, "copyright"))
    return found


def debian_package(path):
    """(source package, its version, copyright path) of an installed file, or None."""
    run = subprocess.run(["dpkg-query", "-S", path], capture_output=True, text=True)
    if run.returncode != 0:
        return None
    binary = run.stdout.split(":", 1)[0].split(",")[0].strip()
    # The binary package's version: the source's may be its packaging's alone (gcc-mingw-w64).
    run = subprocess.run(["dpkg-query", "-W", "-f=${source:Package}\t${Version}", binary],
                         capture_output=True, text=True, check=True)
    source, version = run.stdout.split("\t")
    return source, version, os.path.realpath(f"/usr/share/doc/{binary}/copyright")


def map_inputs(link_map, link_dir):
    """The archives a linker map shows members were taken from, and the objects it loaded;
    relative paths are the linker's, from link_dir."""
    inputs = set()
    in_archives = False
    with open(link_map, errors="replace") as f:
        for line in f:
            line = line.rstrip("\n")
            if not line.strip() or line[0].isspace():
                continue
            if line.startswith("Archive member included"):
                in_archives = True
                continue
            member = re.match(r"(.+?\.a)\(.*\)$", line)
            if in_archives and member:
                inputs.add(os.path.realpath(os.path.join(link_dir, member.group(1))))
                continue
            in_archives = False
            loaded = re.match(r"LOAD (.+\.o(bj)?)$", line)
            if loaded:
                inputs.add(os.path.realpath(os.path.join(link_dir, loaded.group(1))))
    return inputs


def trace_inputs(trace, link_dir):
    """The archives and objects a link's --trace names: "ARCHIVE(MEMBER)" or a plain path;
    relative paths are the linker's, from link_dir."""
    inputs = set()
    with open(trace, errors="replace") as f:
        for line in f:
            line = line.strip()
            if not line:
                continue
            member = re.match(r"(.+?\.a)\(.*\)$", line)
            inputs.add(os.path.realpath(os.path.join(link_dir, member.group(1) if member else line)))
    return inputs


def npm_package_folder(path):
    """The folder of the npm package a bundled file belongs to, or None for the project's own."""
    parts = path.replace("\\", "/").split("/")
    if "node_modules" not in parts:
        return None
    at = len(parts) - 1 - parts[::-1].index("node_modules")
    width = 2 if parts[at + 1].startswith("@") else 1
    return "/".join(parts[:at + 1 + width])


def bundled_packages(metafile, node_modules):
    """{package name: Component} for the npm packages whose files esbuild put in an output."""
    import json
    with open(metafile) as f:
        meta = json.load(f)
    base = os.path.dirname(os.path.realpath(node_modules))
    components = {}
    for output, about in meta.get("outputs", {}).items():
        for path in about.get("inputs", {}):
            folder = npm_package_folder(path)
            if folder is None:
                continue
            folder = os.path.join(base, folder)
            with open(os.path.join(folder, "package.json")) as f:
                package = json.load(f)
            licence_files = sorted(n for n in os.listdir(folder)
                                   if re.match(r"(LICEN[CS]E|COPYING)", n, re.IGNORECASE))
            if not licence_files:
                fail(f"{folder}: bundled into {os.path.basename(output)}, but has no licence file")
            name = package["name"]
            if name not in components:
                components[name] = Component(name, package["version"],
                                             os.path.join(folder, licence_files[0]),
                                             package.get("license", "see its licence file"))
            components[name].files.add(os.path.basename(output))
    return components


def imported_dlls(program, objdump):
    run = subprocess.run([objdump, "-p", program], capture_output=True, text=True)
    if run.returncode != 0:
        fail(f"{program}: {objdump} cannot read it: {run.stderr.strip()}")
    return re.findall(r"DLL Name: (\S+)", run.stdout)


def referenced_licences(text):
    names = re.findall(re.escape(LICENCES) + r"/([A-Za-z0-9.+-]+)", text)
    return [n.rstrip(".") for n in names]


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--out")
    parser.add_argument("--title")
    parser.add_argument("--names", action="store_true")
    parser.add_argument("--trace", action="append", default=[])
    parser.add_argument("--bundle", action="append", default=[])
    parser.add_argument("--node-modules", default="node_modules")
    parser.add_argument("--deps", action="append", default=[])
    parser.add_argument("--own", action="append", default=[])
    parser.add_argument("--map", action="append", default=[])
    parser.add_argument("--link-dir", default=".")
    parser.add_argument("--pe", action="append", default=[])
    parser.add_argument("--objdump", default="objdump")
    parser.add_argument("--system-imports")
    parser.add_argument("--crlf", action="store_true")
    parser.add_argument("libraries", nargs="*")
    args = parser.parse_args()
    if not args.names and not (args.out and args.title):
        parser.error("--out and --title, or --names")

    deps = [os.path.realpath(d) for d in args.deps]
    own = [os.path.realpath(o) for o in args.own]
    known = {}
    for d in deps:
        known.update(deps_packages(d))
    by_name = {os.path.basename(p).lower(): p for p in known}

    linked = {os.path.realpath(p) for p in args.libraries}
    for link_map in args.map:
        linked |= map_inputs(link_map, args.link_dir)
    for trace in args.trace:
        linked |= trace_inputs(trace, args.link_dir)
    for program in args.pe:
        for dll in imported_dlls(program, args.objdump):
            if dll.lower() in by_name:
                linked.add(by_name[dll.lower()])
                continue
            stem = dll.lower().removesuffix(".dll")
            if args.system_imports and os.path.exists(os.path.join(args.system_imports, f"lib{stem}.a")):
                continue
            fail(f"{program}: imports {dll}, whose origin is not known")

    components = {}
    for path in sorted(linked):
        if not os.path.isfile(path):
            fail(f"{path}: linked, but not there")
        if path in known:
            origin = known[path]
        elif any(inside(path, o) for o in own) and not any(inside(path, d) for d in deps):
            # Built here; a deps folder inside the build folder is not ours.
            continue
        else:
            origin = debian_package(path)
            if origin is None:
                fail(f"{path}: linked, but neither a known dependency nor part of a Debian package")
        component = components.setdefault(origin[0], Component(*origin))
        component.files.add(os.path.basename(path))
    bundled = {}
    for metafile in args.bundle:
        for name, component in bundled_packages(metafile, args.node_modules).items():
            if name in bundled:
                bundled[name].files |= component.files
            else:
                bundled[name] = component
    for name, component in bundled.items():
        if name in components:
            fail(f"{name}: both linked and bundled")
        components[name] = component

    if args.names:
        for name in sorted(components):
            print(name)
        return

    out = [args.title, "=" * len(args.title), "",
           "These programs contain or use the components below, each with the files of it that",
           "they link, then its copyright and licence terms as its Debian source package gives",
           "them. The full text of each licence those terms name by reference follows at the end.",
           ""]
    if bundled:
        out[-1:] = ["An npm library bundled into a script is given with its own licence file instead.", ""]
    licences = []
    for number, component in enumerate(sorted(components.values(), key=lambda c: c.name), 1):
        out.append(f"{number}. {component.name} {component.version}")
        if component.licence:
            out.append("   bundled into: " + ", ".join(sorted(component.files)))
            out.append(f"   licence: {component.licence}")
            out.append("")
            continue
        out.append("   linked: " + ", ".join(sorted(component.files)))
        dlls = sorted(f for f in component.files if f.lower().endswith(".dll"))
        if dlls:
            out.append(f"   {', '.join(dlls)} is a separate file beside the programs: you may replace it")
            out.append("   with your own build of the same library. Its source is Debian's source package")
            out.append(f"   {component.name} {component.version}.")
            # The exact source it was built from (the version pinned for the cross build), as a
            # pointer rather than an archive shipped beside it.
            out.append("   That exact source is in Debian's archive (Debian 12); on a Debian system with")
            out.append("   deb-src entries, this fetches and unpacks it:")
            out.append(f"       apt-get source {component.name}={component.version}")
        out.append("")
    for component in sorted(components.values(), key=lambda c: c.name):
        with open(component.copyright_path, errors="replace") as f:
            text = f.read()
        heading = f"{component.name} {component.version}: copyright and licence"
        if component.licence:
            heading += f" ({os.path.basename(component.copyright_path)})"
        out += ["", heading, "-" * len(heading), "", text.rstrip("\n"), ""]
        for name in referenced_licences(text):
            path = os.path.realpath(os.path.join(LICENCES, name))
            if os.path.isfile(path) and path not in [p for _, p in licences]:
                licences.append((name, path))
    for name, path in licences:
        heading = f"The licence named {LICENCES}/{name}"
        with open(path, errors="replace") as f:
            out += ["", heading, "-" * len(heading), "", f.read().rstrip("\n"), ""]

    newline = "\r\n" if args.crlf else "\n"
    part = args.out + ".part"
    with open(part, "w", newline=newline) as f:
        f.write("\n".join(out) + "\n")
    os.replace(part, args.out)


if __name__ == "__main__":
    main()
