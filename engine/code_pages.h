#pragma once

#include <cstddef>
#include <string>
#include <string_view>

// The single-byte code pages the orientation switch reads lines in when they are not UTF-8: Windows-1255 (Hebrew),
// Windows-1256 (Arabic, Persian, Urdu), and Windows-1252 for Western text, which holds no right-to-left letter.
// kDetect: not known yet; GuessCodePage decides it from the file's bytes.
enum class CodePage { kWindows1252, kWindows1255, kWindows1256, kDetect };

// The code point that byte `c` stands for in `code_page` (ASCII as itself), or 0 where the code page defines none.
// `code_page` is one of the three, not kDetect.
char32_t DecodeByte(CodePage code_page, unsigned char c);

// The byte that stands for `code_point` in `code_page`, or -1 when it has none.
int EncodeByte(CodePage code_page, char32_t code_point);

// Decides from the bytes of a file (all of it, or a large part) which code page its single-byte text is in. Only
// bytes outside valid UTF-8 sequences count, and not 0xFD and 0xFE (LRM and RLM in Windows-1255 and Windows-1256),
// unless there are no others: then Windows-1255, in doubt against Windows-1252. Returns kDetect when there are none:
// nothing to decide from.
// - Western when fewer than a quarter of those bytes follow another one: accented letters stand among ASCII ones,
//   while Hebrew and Arabic words are runs of such bytes;
// - otherwise Arabic when at least a fifth of the words that start with such a byte start with one from 0xC0 to 0xDF
//   (or one of the Persian letters at 0x81, 0x8D, 0x8E, 0x90, 0x98): there Windows-1256 has its commonest letters
//   (alef, ba, ta, ...), while Windows-1255 has only vowel points and ligatures, which never start a word;
// - otherwise Hebrew.
// When the bytes are near one of those lines (between a sixth and a half of the bytes after another one;
// a tenth to two fifths of the words; fewer than three words to tell Hebrew from Arabic), `*doubt` (if given) is set
// to the other code page they may be in; otherwise to kDetect.
CodePage GuessCodePage(const unsigned char* text, std::size_t size, CodePage* doubt = nullptr);

// Appends `line`, single bytes in `code_page` (not kDetect), to `*out` as UTF-8, after clearing it. Returns false,
// setting `*undefined`, at a byte the code page does not define.
bool DecodeToUtf8(std::string_view line, CodePage code_page, std::string* out, unsigned char* undefined);

// Reads a code page name as --code-page takes it: "windows-1255", "cp1255", "1255" (any case), also "hebrew",
// "arabic" and "western". Returns false for anything else.
bool ParseCodePage(std::string_view name, CodePage* code_page);

// "windows-1255" and the like; "detect" for kDetect.
const char* CodePageName(CodePage code_page);

// The code page a Windows system's ANSI code page number stands for when it is a right-to-left one (1255, 1256),
// else kDetect.
CodePage CodePageFromAnsiNumber(unsigned number);
