#!/usr/bin/env python3
"""Reads a built Windows file's version resource, running nothing, and fails unless it carries
the project's version, product name, a description and the file's own name, as Windows shows
them in the file's properties.

Usage: check_pe_version.py FILE VERSION   (VERSION as MAJOR.MINOR.PATCH)
"""
import os
import struct
import sys

RT_VERSION = 16
FIXED_FILE_INFO_SIGNATURE = 0xFEEF04BD
VFT_APP, VFT_DLL = 1, 2


class Malformed(Exception):
    pass


def resource_section(image):
    """The resource directory's bytes and the address (RVA) they start at."""
    (pe_offset,) = struct.unpack_from("<I", image, 0x3C)
    if image[pe_offset:pe_offset + 4] != b"PE\0\0":
        raise Malformed("no PE signature")
    sections, optional_size = struct.unpack_from("<H12xH", image, pe_offset + 6)
    optional = pe_offset + 24
    (magic,) = struct.unpack_from("<H", image, optional)
    directories = optional + {0x10B: 96, 0x20B: 112}[magic]
    resource_rva, resource_size = struct.unpack_from("<II", image, directories + 2 * 8)
    if resource_rva == 0:
        raise Malformed("no resources")
    for index in range(sections):
        header = optional + optional_size + 40 * index
        virtual_size, address, raw_size, raw_offset = struct.unpack_from("<IIII", image, header + 8)
        if address <= resource_rva < address + max(virtual_size, raw_size):
            start = raw_offset + resource_rva - address
            return image[start:start + resource_size], resource_rva
    raise Malformed("the resource directory lies in no section")


def first_entry(resources, directory, wanted_id=None):
    """The offset an entry of a resource directory points to: the one with wanted_id, or the
    first. A set high bit marks a subdirectory."""
    named, numbered = struct.unpack_from("<HH", resources, directory + 12)
    for index in range(named + numbered):
        name, target = struct.unpack_from("<II", resources, directory + 16 + 8 * index)
        if wanted_id is None or name == wanted_id:
            return target
    raise Malformed(f"no resource entry {wanted_id}")


def version_block(resources, rva):
    directory = first_entry(resources, 0, RT_VERSION) & 0x7FFFFFFF
    directory = first_entry(resources, directory) & 0x7FFFFFFF
    data_entry = first_entry(resources, directory)
    data_rva, size = struct.unpack_from("<II", resources, data_entry)
    return resources[data_rva - rva:data_rva - rva + size]


def aligned(offset):
    return (offset + 3) & ~3


def read_text(data, offset):
    """A NUL-terminated UTF-16 text and the offset after its NUL."""
    end = offset
    while data[end:end + 2] != b"\0\0":
        end += 2
    return data[offset:end].decode("utf-16-le"), end + 2


def walk(data, offset, end, strings, fixed):
    """Collects the text values of a version block and its children by key, and the fixed
    information of the root."""
    while offset < end:
        length, value_length, kind = struct.unpack_from("<HHH", data, offset)
        if length == 0:
            raise Malformed("a version block of length 0")
        key, value = read_text(data, offset + 6)
        value = aligned(value)
        if kind == 1 and value_length:
            strings[key] = read_text(data, value)[0]
            value_bytes = 2 * value_length
        else:
            value_bytes = value_length
            if key == "VS_VERSION_INFO":
                fixed.extend(struct.unpack_from("<13I", data, value))
        walk(data, aligned(value + value_bytes), offset + length, strings, fixed)
        offset = aligned(offset + length)


def check(path, version):
    with open(path, "rb") as file:
        image = file.read()
    resources, rva = resource_section(image)
    data = version_block(resources, rva)
    strings, fixed = {}, []
    walk(data, 0, len(data), strings, fixed)

    failures = []
    if not fixed or fixed[0] != FIXED_FILE_INFO_SIGNATURE:
        failures.append("no fixed file information")
    else:
        numbers = [int(part) for part in version.split(".")] + [0]
        packed = ((numbers[0] << 16) | numbers[1], (numbers[2] << 16) | numbers[3])
        for label, (most, least) in (("file", fixed[2:4]), ("product", fixed[4:6])):
            if (most, least) != packed:
                failures.append(f"fixed {label} version is {most >> 16}.{most & 0xFFFF}."
                                f"{least >> 16}.{least & 0xFFFF}, expected {version}.0")
        expected_type = VFT_DLL if path.lower().endswith(".dll") else VFT_APP
        if fixed[9] != expected_type:
            failures.append(f"file type {fixed[9]}, expected {expected_type}")
    expected = {
        "FileVersion": version,
        "ProductVersion": version,
        "ProductName": "Tavrel",
        "OriginalFilename": os.path.basename(path),
    }
    for key, value in expected.items():
        if strings.get(key) != value:
            failures.append(f"{key} is {strings.get(key)!r}, expected {value!r}")
    if not strings.get("FileDescription", "").startswith("Tavrel "):
        failures.append(f"FileDescription is {strings.get('FileDescription')!r}")
    return failures


def main(arguments):
    if len(arguments) != 2:
        print(__doc__.strip().splitlines()[-1], file=sys.stderr)
        return 64
    path, version = arguments
    try:
        failures = check(path, version)
    except (Malformed, struct.error, KeyError, IndexError) as error:
        failures = [f"unreadable version resource: {error or type(error).__name__}"]
    for failure in failures:
        print(f"{path}: {failure}", file=sys.stderr)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
