#!/usr/bin/env python3
"""Writes large seeds for a fuzz target into a corpus folder: the shapes that small seeds never
reach (wide and tall tables, thousands of paragraphs, deep groups, containers whose blocks expand
hundreds of times, archives with deep paths, many members and high compression). They are made on
the spot rather than kept in the repository. Usage: make_large_seeds.py TARGET FOLDER"""
import io
import os
import struct
import sys
import zipfile


def table(columns, rows):
    cells = "".join("\\cellx%d" % (100 * (c + 1)) for c in range(columns))
    row = "\\trowd" + cells + "".join("\\pard\\intbl c%d\\cell" % c for c in range(columns)) + "\\row\n"
    return ("{\\rtf1\\ansi " + row * rows + "}").encode()


def rtf_seeds():
    yield "wide_table.rtf", table(1000, 5)
    yield "tall_table.rtf", table(3, 20000)
    yield "ragged_table.rtf", ("{\\rtf1 " + "\\trowd\\cellx100\\intbl a\\cell b\\cell c\\cell\\row" * 2000
                               + "\\cell\\cell\\row\\nestcell x}").encode()
    yield "many_paragraphs.rtf", b"{\\rtf1\\ansi " + b"x\\par " * 200000 + b"}"
    yield "deep_groups.rtf", b"{\\rtf1 " + b"{\\b " * 20000 + b"deep" + b"}" * 20000 + b"}"
    yield "big_picture.rtf", (b"{\\rtf1 {\\pict\\pngblip\\picw10\\pich10 " + b"89504e47" * 250000 + b"}}")


def object_seeds():
    # Lengths that lie: a stream that claims far more native data than it holds, and a package
    # label that never ends.
    yield "lying_stream", struct.pack("<IIIsIII", 0x501, 2, 2, b"P", 0, 0, 0x7FFFFFFF) + b"x" * 100000
    yield "many_nul_labels", struct.pack("<H", 2) + b"a" * 1000000 + b"\0"


def bomb_container(blocks):
    # One encoded block that expands to a long run, repeated: the container's worst case.
    block = bytes.fromhex("4080000000" "04" "78")
    body = b"".join(struct.pack("<I", len(block)) + block for _ in range(blocks))
    return b"CompressRTF " + body


def container_seeds():
    yield "container_bomb", bomb_container(30000)


def zip_bytes(members, **kwargs):
    out = io.BytesIO()
    with zipfile.ZipFile(out, "w", **kwargs) as z:
        for name, data, method in members:
            z.writestr(zipfile.ZipInfo(name), data, compress_type=method)
    return out.getvalue()


def archive_seeds():
    yield "deep_path.zip", zip_bytes([("d/" * 2100 + "x.txt", b"deep", zipfile.ZIP_STORED)])
    yield "many_members.zip", zip_bytes([("m%05d.txt" % i, b"x", zipfile.ZIP_STORED) for i in range(20000)])
    yield "bomb.zip", zip_bytes([("TKFile.rtf", b"\0" * (200 << 20), zipfile.ZIP_DEFLATED)])
    yield "long_comment.zip", zip_bytes([("a", b"a", zipfile.ZIP_STORED)]) [:-2] + struct.pack("<H", 65535) + b"c" * 65535


def search_seeds():
    korean = "제주도에서 렌터카를 빌려 여행을 했다 "
    yield "korean_body", ("제주여행기\0여행을\0" + korean * 20000).encode()
    yield "one_long_word", ("x\0" + "가" * 50 + "\0" + "가나다라" * 100000).encode()
    yield "long_latin_word", b"t\0" + b"a" * 300 + b"\0" + b"a" * 1000000
    yield "many_quotes", b"t\0" + b'"a" ' * 5000 + b"\0" + b"a " * 300000
    yield "mixed_scripts", ("t\0漢字 かな\0" + "漢字かな한글abc" * 60000).encode()


def main():
    target, folder = sys.argv[1], sys.argv[2]
    os.makedirs(folder, exist_ok=True)
    if target == "fuzz_rtf_reader":
        seeds = rtf_seeds()
    elif target == "fuzz_line_list_load":
        # The first byte picks the format and modes: 0 is RTF by content, as a file is loaded.
        seeds = [(n, b"\0" + d) for n, d in list(rtf_seeds()) + list(container_seeds())]
    elif target == "fuzz_decompress_block":
        seeds = container_seeds()
        seeds = [(n, d[12:]) for n, d in seeds]  # the target adds the signature itself
    elif target == "fuzz_search_text":
        seeds = search_seeds()
    elif target == "fuzz_object_data":
        seeds = object_seeds()
    else:
        seeds = archive_seeds()
    for name, data in seeds:
        path = os.path.join(folder, "large_" + name)
        if not os.path.exists(path):
            with open(path, "wb") as f:
                f.write(data)


if __name__ == "__main__":
    main()
