/*
 * Writes Windows' own reading of EUC-JP (code page 20932) and UTF-7 (code
 * page 65000) as test data, so that the POSIX build can be held to it
 * without Windows. Built with MinGW and run under Wine by
 * scripts/dump-codepages.sh, which commits nothing itself: the files it
 * writes are checked in under tests/platform/data/.
 *
 *   codepage_dump euc-jp OUTPUT    every two-byte EUC-JP code
 *   codepage_dump utf-7 OUTPUT     well-formed and ill-formed UTF-7 pieces
 *
 * Each input is converted as the line reader hands a line to the service:
 * followed by a zero byte. The reading is the units before the zero unit
 * that byte gives, written as hexadecimal UTF-16 units.
 */
#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

enum { kMaxInput = 64, kMaxUnits = 2 * kMaxInput };

/* Windows' reading of bytes[0..length) into units; returns the count. Stops
 * the program when the zero byte after the input does not give the last
 * unit: the reading would then not be the one the line reader sees. */
static int Read(UINT code_page, const char *bytes, int length, WCHAR *units) {
  char input[kMaxInput + 1];
  int count;
  memcpy(input, bytes, (size_t)length);
  input[length] = '\0';
  count = MultiByteToWideChar(code_page, 0, input, length + 1, units, kMaxUnits);
  if (count <= 0 || units[count - 1] != 0) {
    fprintf(stderr, "code page %u: the reading of a %d-byte input does not end in a zero unit\n",
            code_page, length);
    exit(1);
  }
  return count - 1;
}

/* ------------------------------------------------------------------ */
/* EUC-JP: one line per first byte (8E, A1-FE), the reading of each     */
/* second byte A1-FE in turn; several units of one code joined by '+'. */

static void DumpEucJp(FILE *out) {
  int lead;
  fprintf(out,
          "# Windows' reading of every two-byte EUC-JP code (code page 20932), written by\n"
          "# tests/windows/codepage_dump.c under Wine (scripts/dump-codepages.sh).\n"
          "# One line per first byte: the byte, then the UTF-16 reading of each second\n"
          "# byte A1-FE in turn, in hexadecimal (several units of one code joined by +).\n");
  for (lead = 0x8E; lead <= 0xFE; ++lead) {
    int trail;
    if (lead > 0x8E && lead < 0xA1) continue;
    fprintf(out, "%02X:", (unsigned)lead);
    for (trail = 0xA1; trail <= 0xFE; ++trail) {
      char code[2];
      WCHAR units[kMaxUnits];
      int count;
      int i;
      code[0] = (char)lead;
      code[1] = (char)trail;
      count = Read(20932, code, 2, units);
      fputc(' ', out);
      for (i = 0; i < count; ++i) fprintf(out, "%s%04X", i > 0 ? "+" : "", (unsigned)units[i]);
    }
    fputc('\n', out);
  }
}

/* ------------------------------------------------------------------ */
/* UTF-7: one line per input, the input quoted with C escapes, then the */
/* units read.                                                          */

static void WriteQuoted(FILE *out, const char *bytes, int length) {
  int i;
  fputc('"', out);
  for (i = 0; i < length; ++i) {
    unsigned char byte = (unsigned char)bytes[i];
    if (byte == '\n') {
      fputs("\\n", out);
    } else if (byte == '\r') {
      fputs("\\r", out);
    } else if (byte == '"' || byte == '\\') {
      fprintf(out, "\\%c", byte);
    } else if (byte >= 0x20 && byte < 0x7F) {
      fputc(byte, out);
    } else {
      fprintf(out, "\\x%02X", byte);
    }
  }
  fputc('"', out);
}

static void DumpUtf7Case(FILE *out, const char *bytes, int length) {
  WCHAR units[kMaxUnits];
  int count = Read(65000, bytes, length, units);
  int i;
  WriteQuoted(out, bytes, length);
  for (i = 0; i < count; ++i) fprintf(out, " %04X", (unsigned)units[i]);
  fputc('\n', out);
}

/* Each byte 01-FF between a prefix and a suffix. */
static void DumpEveryByte(FILE *out, const char *prefix, const char *suffix) {
  int byte;
  for (byte = 1; byte <= 0xFF; ++byte) {
    char input[kMaxInput];
    size_t prefix_length = strlen(prefix);
    size_t suffix_length = strlen(suffix);
    memcpy(input, prefix, prefix_length);
    input[prefix_length] = (char)byte;
    memcpy(input + prefix_length + 1, suffix, suffix_length);
    DumpUtf7Case(out, input, (int)(prefix_length + 1 + suffix_length));
  }
}

static void DumpUtf7(FILE *out) {
  /* Pieces written for a reason: a stray "+", left-over bits, "-" and the
   * other ends of a base64 run, runs that meet, and line ends. */
  static const char *const kPieces[] = {
      "+!\n", "+\n", "+", "a+b", "+AG", "+MEF\n", "+MEF", "+MEF-", "+MEIw", "+MEIwR-",
      "+MEI+MEI-", "+-", "+--", "a+-b", "++-", "+-+-", "+ +", "+MEI-\n", "+MEIw\n",
      "+MEIwRA", "+MEIwRA-", "+MEIwRA\n", "+MEIwRDBG", "+MEIwRDBG-", "+MEIwRDBGMEg-",
      "+MEI-+MEI-", "+MEIw-MEIw", "+MEIwRA--", "+MEIwRA-a", "+MEIwRA.", "+MEIwRA a",
      "+MEIwR\x80" "A-", "+MEI\x80wR-", "+ME\x80Iw-", "+AAA-", "+AAAA-", "+AGE-", "+AGEAYgBj-",
      "+2D3cAA-", "+2D3cAA", "+2D0-", "+3AA-", "+2D3cAAA-", "~\\", "+AH4AXA-", "a~b\\c\n",
      "+MEI\x80+wRA-", "+ME\x80+IwRA-", "+MEIwR\x80+DBG-", "+MEIwR\x80-+DBG-",
      "+/v8-", "+ME/-", "+ME/+-", "+MEI/-", "+MEIw/", "+MEIw+", "+MEIwRD\n", "+MEIwRDBG\n",
  };
  static const char *const kRuns[] = {"+M", "+ME", "+MEI", "+MEIw", "+MEIwR", "+MEIwRD",
                                      "+MEIwRDB", "+MEIwRDBG", "+MEIwRDBGM"};
  static const char *const kEnds[] = {"", "-", "\n", "-a", " a", ".", "\x80"};
  size_t i;
  size_t k;
  fprintf(out,
          "# Windows' reading of UTF-7 (code page 65000), written by\n"
          "# tests/windows/codepage_dump.c under Wine (scripts/dump-codepages.sh).\n"
          "# One line per input: the input as a quoted C string, then the UTF-16 units\n"
          "# read, in hexadecimal.\n");
  for (i = 0; i < sizeof kPieces / sizeof kPieces[0]; ++i) {
    DumpUtf7Case(out, kPieces[i], (int)strlen(kPieces[i]));
  }
  /* Every run length (every count of left-over bits) before every end. */
  for (i = 0; i < sizeof kRuns / sizeof kRuns[0]; ++i) {
    for (k = 0; k < sizeof kEnds / sizeof kEnds[0]; ++k) {
      char input[kMaxInput];
      int length = snprintf(input, sizeof input, "%s%s", kRuns[i], kEnds[k]);
      DumpUtf7Case(out, input, length);
    }
  }
  DumpEveryByte(out, "a", "b");      /* each byte outside base64 */
  DumpEveryByte(out, "+", "a");      /* a "+" before each byte */
  DumpEveryByte(out, "+MEI", "a-");  /* each byte after a unit and 2 left-over bits */
  DumpEveryByte(out, "+MEIw", "-");  /* each byte after a unit and 8 left-over bits */
}

int main(int argc, char **argv) {
  FILE *out;
  if (argc != 3 || (strcmp(argv[1], "euc-jp") != 0 && strcmp(argv[1], "utf-7") != 0)) {
    fprintf(stderr, "usage: %s euc-jp|utf-7 OUTPUT\n", argv[0]);
    return 2;
  }
  out = fopen(argv[2], "wb");
  if (out == NULL) {
    fprintf(stderr, "cannot write %s\n", argv[2]);
    return 1;
  }
  if (argv[1][0] == 'e') {
    DumpEucJp(out);
  } else {
    DumpUtf7(out);
  }
  return fclose(out) == 0 ? 0 : 1;
}
