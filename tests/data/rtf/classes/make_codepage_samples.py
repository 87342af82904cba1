#!/usr/bin/env python3
"""Writes the code-page and nesting samples the way the programs that write them do: text bytes in
the document's or the font's code page as \\'xx escapes, encoded with iconv."""
import subprocess


def encoded(text, charset):
    return subprocess.run(["iconv", "-f", "UTF-8", "-t", charset], input=text.encode(),
                          capture_output=True, check=True).stdout


def escaped(data):
    return "".join(chr(b) if 0x20 <= b < 0x80 and chr(b) not in "\\{}" else "\\'%02x" % b for b in data)


def write(name, rtf):
    with open(name, "w", encoding="ascii", newline="\n") as f:
        f.write(rtf)


def document_code_page(name, header, lines, charset):
    body = "".join("\\pard " + escaped(encoded(line, charset)) + "\\par\n" for line in lines)
    write(name, "{\\rtf1" + header + "\\deff0{\\fonttbl{\\f0\\fnil Font;}}\n\\f0\\fs24 " + body + "}\n")


document_code_page("codepage_mac_roman.rtf", "\\mac",
                   ["Café “quoted” – naïve • résumé", "Œuvre ¿Qué? ™ ©"], "MACINTOSH")
document_code_page("codepage_mac_korean.rtf", "\\ansi\\ansicpg10003",
                   ["맥에서 쓴 한글 문서입니다.", "두 번째 문단: 가나다라"], "EUC-KR")
document_code_page("codepage_mac_japanese.rtf", "\\ansi\\ansicpg10001",
                   ["マックの日本語の文書です。", "ひらがなとカタカナ"], "SHIFT_JIS")
document_code_page("codepage_mac_chinese_traditional.rtf", "\\ansi\\ansicpg10002", ["這是繁體中文的文件。"], "BIG5")
document_code_page("codepage_mac_chinese_simplified.rtf", "\\ansi\\ansicpg10008", ["这是简体中文的文件。"], "GB2312")
document_code_page("codepage_mac_cyrillic.rtf", "\\ansi\\ansicpg10007", ["Привет, мир"], "MAC-CYRILLIC")

# One font of each character set, each with a word of its script in its code page.
FONTS = [
    (0, "CP1252", "Times New Roman", "Déjà vu"),
    (128, "CP932", "MS Mincho", "日本語"),
    (129, "CP949", "Gulim", "한국어"),
    (130, "JOHAB", "Batang Johab", "조합형"),
    (134, "CP936", "SimSun", "简体字"),
    (136, "CP950", "PMingLiU", "繁體字"),
    (161, "CP1253", "Arial Greek", "Ελληνικά"),
    (162, "CP1254", "Arial Tur", "Türkçe ğış"),
    (163, "CP1258", "Arial Viet", "Tiếng Việt"),
    (177, "CP1255", "Arial Hebrew", "עברית"),
    (178, "CP1256", "Arial Arabic", "العربية"),
    (186, "CP1257", "Arial Baltic", "Lietuvių ąčę"),
    (204, "CP1251", "Arial Cyr", "Русский"),
    (222, "CP874", "Tahoma Thai", "ภาษาไทย"),
    (238, "CP1250", "Arial CE", "Čeština ůň"),
]
MAC_FONTS = [
    (77, "MACINTOSH", "Times", "Mac – “Roman”"),
    (78, "SHIFT_JIS", "Osaka", "日本語"),
    (79, "EUC-KR", "AppleGothic", "한국어"),
    (80, "GB2312", "STSong", "简体字"),
    (81, "BIG5", "LiSong Pro", "繁體字"),
    (88, "MAC-CENTRALEUROPE", "Times CE", "Čeština"),
    (89, "MAC-CYRILLIC", "Times Cyr", "Русский"),
]


def font_sample(name, header, fonts):
    table = "".join("{\\f%d\\fnil\\fcharset%d %s;}" % (i, cs, escaped(face.encode())) for i, (cs, _, face, _) in
                    enumerate(fonts))
    body = "".join("{\\f%d %s}\\par\n" % (i, escaped(encoded(text, charset.split("//")[0])))
                   for i, (_, charset, _, text) in enumerate(fonts))
    write(name, "{\\rtf1" + header + "\\deff0{\\fonttbl" + table + "}\n\\pard " + body + "}\n")


font_sample("codepage_fonts_windows.rtf", "\\ansi\\ansicpg1252", FONTS)
font_sample("codepage_fonts_mac.rtf", "\\mac", MAC_FONTS)

# A mail program's HTML kept in RTF: every tag in a group of its own, nested as the HTML nests,
# and the text in runs nested as deep.
depth = 2500
tags = "".join("{\\*\\htmltag%d <div>}{" % (i % 64) for i in range(depth))
closes = "}" * depth
write("deep_mail_html.rtf",
      "{\\rtf1\\ansi\\ansicpg1252\\fromhtml1 \\deff0{\\fonttbl{\\f0\\fswiss Arial;}}\n"
      "{\\*\\htmltag19 <html>}{\\*\\htmltag34 <body>}\n\\f0\\fs20 Start of the message.\\par\n"
      + tags + "Deep text {\\b bold} end.\\par\n" + closes + "\nAfter the nesting.\\par\n}\n")
write("deep_groups.rtf", "{\\rtf1\\ansi a" + "{\\i" * 1200 + " deep" + "}" * 1200 + " b\\par\n}\n")
