"""What a Windows program carries in its resources, read back from the file with pefile: its icon
group's images and its version. Used by release_test.py and, for the uninstaller, by
install_test.sh (python3 pe_resources.py icon-sides FILE)."""

import struct
import sys

import pefile

RT_ICON = 3
RT_GROUP_ICON = 14
RT_VERSION = 16


def _resources(pe, kind):
    """{id: bytes} of every resource of one type (first language of each)."""
    found = {}
    if not hasattr(pe, "DIRECTORY_ENTRY_RESOURCE"):
        return found
    for entry in pe.DIRECTORY_ENTRY_RESOURCE.entries:
        if entry.id != kind:
            continue
        for item in entry.directory.entries:
            data = item.directory.entries[0].data.struct
            found[item.id if item.id is not None else str(item.name)] = pe.get_data(data.OffsetToData, data.Size)
    return found


def icon_images(path):
    """The first icon group's images as [(side, bytes)], in the group's order; [] without one."""
    pe = pefile.PE(path, fast_load=False)
    groups = _resources(pe, RT_GROUP_ICON)
    if not groups:
        return []
    icons = _resources(pe, RT_ICON)
    group = groups[sorted(groups, key=str)[0]]
    _, kind, count = struct.unpack_from("<HHH", group, 0)
    assert kind == 1, "an icon group, not a cursor's"
    images = []
    for i in range(count):
        width, _, _, _, _, _, _, icon_id = struct.unpack_from("<BBBBHHIH", group, 6 + 14 * i)
        images.append((width or 256, icons[icon_id]))
    return images


def version_strings(path):
    """The version resource's strings ({"ProductName": ...}) and its fixed file version as a tuple."""
    pe = pefile.PE(path)
    strings = {}
    for info in getattr(pe, "FileInfo", [[]])[0]:
        if info.Key == b"StringFileInfo":
            for table in info.StringTable:
                strings.update({k.decode(): v.decode() for k, v in table.entries.items()})
    fixed = ()
    if hasattr(pe, "VS_FIXEDFILEINFO"):
        f = pe.VS_FIXEDFILEINFO[0]
        fixed = (f.FileVersionMS >> 16, f.FileVersionMS & 0xFFFF, f.FileVersionLS >> 16, f.FileVersionLS & 0xFFFF)
    return strings, fixed


if __name__ == "__main__":
    if len(sys.argv) == 3 and sys.argv[1] == "icon-sides":
        print(" ".join(str(side) for side, _ in icon_images(sys.argv[2])))
    else:
        sys.exit("usage: pe_resources.py icon-sides FILE")
