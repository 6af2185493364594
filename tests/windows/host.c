/*
 * End-to-end host of the velto library, written the way a C host of the DLL
 * is written: it loads the library by path at run time and finds the five
 * exports by their undecorated names, declared __stdcall on 32-bit Windows.
 *
 * The same source builds for Windows (run under Wine or on Windows) and for
 * POSIX (dlopen of libvelto.so), and both run one case file, so the two
 * builds are held to the same results.
 *
 *   velto_windows_host LIBRARY CASES [LABEL [ZONE]]
 *
 * Prints one line per case ("ok", "FAIL" or "skip" with the reason) and
 * closes with "LABEL: N passed, N failed, N skipped". Exit status 0 when
 * nothing failed.
 *
 * Cases marked "zone ZONE" need the system time zone ZONE, which a Windows
 * process cannot change for itself (Wine takes it from TZ when the process
 * starts). They run in a pass of their own: with ZONE given, and TZ=ZONE in
 * the environment it was started with, the host runs those cases and
 * nothing else. Without ZONE it leaves them out.
 */
#ifdef _WIN32
#define WIN32_LEAN_AND_MEAN
#include <windows.h>
#else
#define _POSIX_C_SOURCE 200809L
#define _DEFAULT_SOURCE
#include <dlfcn.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/time.h>
#include <time.h>
#include <unistd.h>
#define WINAPI
#endif

#include <ctype.h>
#include <stdarg.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

typedef int(WINAPI *StatusFunction)(const char *, const char *);
typedef const char *(WINAPI *EpochToLocalFunction)(const char *, const char *);
typedef const char *(WINAPI *LocalToEpochFunction)(const char *);

struct Exports {
  StatusFunction get_file_status;
  StatusFunction get_data_status;
  StatusFunction get_status;
  EpochToLocalFunction epoch_to_local;
  LocalToEpochFunction local_to_epoch;
};

enum { kPathSize = 1024, kTextSize = 8192, kMaxIni = 16, kMaxExpect = 16 };

static int g_passed;
static int g_failed;
static int g_skipped;

/* ------------------------------------------------------------------ */
/* Platform shim: loading the library, files, directories, times.      */

#ifdef _WIN32
#define SEPARATOR "\\"
typedef HMODULE Library;

static Library OpenLibrary(const char *path) { return LoadLibraryA(path); }
static void CloseLibrary(Library library) { FreeLibrary(library); }

static int FindExport(Library library, const char *name, void *function, size_t size) {
  FARPROC address = GetProcAddress(library, name);
  if (address == NULL) return 0;
  memcpy(function, &address, size);
  return 1;
}

static int MakeDirectory(const char *path) { return CreateDirectoryA(path, NULL) != 0; }
static void RemoveDirectory_(const char *path) { RemoveDirectoryA(path); }
static void RemoveFile(const char *path) { DeleteFileA(path); }
static int ChangeDirectory(const char *path) { return SetCurrentDirectoryA(path) != 0; }

static int FileExistsAt(const char *path) {
  return GetFileAttributesA(path) != INVALID_FILE_ATTRIBUTES;
}

static int SetModifiedTime(const char *path, long long epoch) {
  HANDLE file = CreateFileA(path, FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE,
                            NULL, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, NULL);
  unsigned long long ticks = (unsigned long long)(epoch + 11644473600LL) * 10000000ULL;
  FILETIME time;
  int ok;
  if (file == INVALID_HANDLE_VALUE) return 0;
  time.dwLowDateTime = (DWORD)(ticks & 0xFFFFFFFFULL);
  time.dwHighDateTime = (DWORD)(ticks >> 32);
  ok = SetFileTime(file, NULL, NULL, &time) != 0;
  CloseHandle(file);
  return ok;
}

static int MakeSandbox(char *out, size_t size) {
  char temp[MAX_PATH];
  DWORD length = GetTempPathA(sizeof temp, temp);
  if (length == 0 || length >= sizeof temp) return 0;
  snprintf(out, size, "%svelto-host-%lu", temp, (unsigned long)GetCurrentProcessId());
  return MakeDirectory(out);
}

static int CodePageAvailable(int code_page) { return IsValidCodePage((UINT)code_page) != 0; }

static void SetTz(const char *value) { SetEnvironmentVariableA("TZ", value); }
#else
#define SEPARATOR "/"
typedef void *Library;

static Library OpenLibrary(const char *path) { return dlopen(path, RTLD_NOW | RTLD_LOCAL); }
static void CloseLibrary(Library library) { dlclose(library); }

static int FindExport(Library library, const char *name, void *function, size_t size) {
  void *address = dlsym(library, name);
  if (address == NULL) return 0;
  memcpy(function, &address, size);
  return 1;
}

static int MakeDirectory(const char *path) { return mkdir(path, 0700) == 0; }
static void RemoveDirectory_(const char *path) { rmdir(path); }
static void RemoveFile(const char *path) { unlink(path); }
static int ChangeDirectory(const char *path) { return chdir(path) == 0; }

static int FileExistsAt(const char *path) {
  struct stat info;
  return stat(path, &info) == 0;
}

static int SetModifiedTime(const char *path, long long epoch) {
  struct timespec times[2];
  times[0].tv_sec = (time_t)epoch;
  times[0].tv_nsec = 0;
  times[1] = times[0];
  return utimensat(AT_FDCWD, path, times, 0) == 0;
}

static int MakeSandbox(char *out, size_t size) {
  const char *temp = getenv("TMPDIR");
  snprintf(out, size, "%s/velto-host-XXXXXX", temp != NULL && temp[0] != '\0' ? temp : "/tmp");
  return mkdtemp(out) != NULL;
}

static int CodePageAvailable(int code_page) {
  (void)code_page;
  return 1;
}

static void SetTz(const char *value) {
  if (value != NULL) {
    setenv("TZ", value, 1);
  } else {
    unsetenv("TZ");
  }
}
#endif

/* ------------------------------------------------------------------ */
/* Reporting.                                                          */

static void Pass(const char *name) {
  ++g_passed;
  printf("ok   %s\n", name);
}

static void Skip(const char *name, const char *reason) {
  ++g_skipped;
  printf("skip %s: %s\n", name, reason);
}

static void Fail(const char *name, const char *format, ...) {
  va_list arguments;
  ++g_failed;
  printf("FAIL %s: ", name);
  va_start(arguments, format);
  vprintf(format, arguments);
  va_end(arguments);
  printf("\n");
}

/* Shows a byte string with its non-printing bytes escaped. */
static const char *Shown(const char *text, size_t length, char *out, size_t size) {
  size_t used = 0;
  size_t i;
  out[0] = '\0';
  for (i = 0; i < length && used + 5 < size; ++i) {
    unsigned char byte = (unsigned char)text[i];
    if (byte >= 0x20 && byte < 0x7F && byte != '\\') {
      out[used++] = (char)byte;
    } else {
      used += (size_t)snprintf(out + used, size - used, "\\x%02X", byte);
    }
  }
  out[used] = '\0';
  return out;
}

/* ------------------------------------------------------------------ */
/* Files of a case.                                                    */

static int WriteBytes(const char *path, const char *bytes, size_t length) {
  FILE *file = fopen(path, "wb");
  int ok;
  if (file == NULL) return 0;
  ok = fwrite(bytes, 1, length, file) == length;
  return fclose(file) == 0 && ok;
}

static size_t ReadBytes(const char *path, char *out, size_t size) {
  FILE *file = fopen(path, "rb");
  size_t length;
  if (file == NULL) return 0;
  length = fread(out, 1, size - 1, file);
  out[length] = '\0';
  fclose(file);
  return length;
}

static int SameKey(const char *a, size_t a_length, const char *b) {
  size_t i;
  if (strlen(b) != a_length) return 0;
  for (i = 0; i < a_length; ++i) {
    if (tolower((unsigned char)a[i]) != tolower((unsigned char)b[i])) return 0;
  }
  return 1;
}

static void TrimSpaces(const char **begin, const char **end) {
  while (*begin < *end && (**begin == ' ' || **begin == '\t')) ++*begin;
  while (*end > *begin && ((*end)[-1] == ' ' || (*end)[-1] == '\t' || (*end)[-1] == '\r')) --*end;
}

/* The value of key in section [GetStatus] of an INI text, as a host reads
 * its results. 1 when found. */
static int IniValue(const char *text, const char *key, char *out, size_t size) {
  int in_section = 0;
  const char *line = text;
  while (*line != '\0') {
    const char *end = strchr(line, '\n');
    const char *next = end != NULL ? end + 1 : line + strlen(line);
    const char *begin = line;
    if (end == NULL) end = next;
    TrimSpaces(&begin, &end);
    if (begin < end && *begin == '[') {
      const char *close = memchr(begin, ']', (size_t)(end - begin));
      in_section = close != NULL && SameKey(begin + 1, (size_t)(close - begin - 1), "GetStatus");
    } else if (in_section) {
      const char *equals = memchr(begin, '=', (size_t)(end - begin));
      if (equals != NULL) {
        const char *key_end = equals;
        const char *value = equals + 1;
        const char *value_end = end;
        const char *key_begin = begin;
        TrimSpaces(&key_begin, &key_end);
        TrimSpaces(&value, &value_end);
        if (SameKey(key_begin, (size_t)(key_end - key_begin), key)) {
          size_t length = (size_t)(value_end - value);
          if (length >= size) length = size - 1;
          memcpy(out, value, length);
          out[length] = '\0';
          return 1;
        }
      }
    }
    line = next;
  }
  return 0;
}

/* ------------------------------------------------------------------ */
/* The case file: one directive a line, quoted byte strings with C      */
/* escapes (\r \n \t \\ \" \xHH).                                      */

struct Bytes {
  char data[kTextSize];
  size_t length;
};

struct Expectation {
  char key[64];
  struct Bytes value;
  int absent;
};

struct Case {
  char name[128];
  int line;
  struct Bytes ini[kMaxIni];
  int ini_count;
  struct Bytes target;
  int has_target;
  int target_is_directory;
  char target_name[256];
  long long target_mtime;
  int has_mtime;
  struct Bytes temporary;
  int has_temporary;
  int status_missing;
  int relative;
  char status_name[256];
  char call[32];
  int expected_rc;
  struct Expectation expectations[kMaxExpect];
  int expectation_count;
  int needed_code_page;
  char zone[64];
};

/* Reads one token: a quoted string (escapes decoded) or a bare word. */
static int NextToken(const char **cursor, struct Bytes *out) {
  const char *p = *cursor;
  out->length = 0;
  while (*p == ' ' || *p == '\t') ++p;
  if (*p == '\0' || *p == '\n' || *p == '\r' || *p == '#') return 0;
  if (*p != '"') {
    while (*p != '\0' && !isspace((unsigned char)*p) && out->length + 1 < sizeof out->data) {
      out->data[out->length++] = *p++;
    }
    out->data[out->length] = '\0';
    *cursor = p;
    return 1;
  }
  ++p;
  while (*p != '\0' && *p != '"' && out->length + 1 < sizeof out->data) {
    char c = *p++;
    if (c == '\\') {
      char escape = *p++;
      switch (escape) {
        case 'r': c = '\r'; break;
        case 'n': c = '\n'; break;
        case 't': c = '\t'; break;
        case 'x': {
          char digits[3] = {p[0], p[1], '\0'};
          c = (char)strtol(digits, NULL, 16);
          p += 2;
          break;
        }
        default: c = escape; break;
      }
    }
    out->data[out->length++] = c;
  }
  if (*p == '"') ++p;
  out->data[out->length] = '\0';
  *cursor = p;
  return 1;
}

/* A token as a zero-terminated name, cut to fit. */
static void CopyWord(char *out, size_t size, const struct Bytes *word) {
  size_t length = word->length < size ? word->length : size - 1;
  memcpy(out, word->data, length);
  out[length] = '\0';
}

static void AppendBytes(struct Bytes *to, const struct Bytes *from, long times) {
  long i;
  for (i = 0; i < times && to->length + from->length < sizeof to->data; ++i) {
    memcpy(to->data + to->length, from->data, from->length);
    to->length += from->length;
  }
  to->data[to->length] = '\0';
}

/* ------------------------------------------------------------------ */
/* Running a status case.                                              */

static void JoinPath(char *out, const char *dir, const char *name) {
  snprintf(out, kPathSize, "%s%s%s", dir, SEPARATOR, name);
}

static StatusFunction ChosenCall(const struct Exports *exports, const char *call) {
  if (strcmp(call, "GetFileStatus") == 0) return exports->get_file_status;
  if (strcmp(call, "GetDataStatus") == 0) return exports->get_data_status;
  if (strcmp(call, "GetStatus") == 0) return exports->get_status;
  return NULL;
}

static int WriteStatusFile(const struct Case *c, const char *path) {
  struct Bytes text;
  int i;
  text.length = 0;
  text.data[0] = '\0';
  if (c->ini_count > 0) {
    static const struct Bytes header = {"[GetStatus]\r\n", 13};
    static const struct Bytes line_end = {"\r\n", 2};
    AppendBytes(&text, &header, 1);
    for (i = 0; i < c->ini_count; ++i) {
      AppendBytes(&text, &c->ini[i], 1);
      AppendBytes(&text, &line_end, 1);
    }
  }
  return WriteBytes(path, text.data, text.length);
}

static void CheckResults(const struct Case *c, const char *status_path, int rc) {
  static char text[kTextSize * 4];
  char value[kTextSize];
  char shown[kTextSize];
  char wanted[kTextSize];
  int i;
  if (rc != c->expected_rc) {
    Fail(c->name, "%s returned %d, expected %d", c->call, rc, c->expected_rc);
    return;
  }
  if (c->status_missing) {
    if (FileExistsAt(status_path)) {
      Fail(c->name, "the missing status file was created");
    } else {
      Pass(c->name);
    }
    return;
  }
  ReadBytes(status_path, text, sizeof text);
  for (i = 0; i < c->expectation_count; ++i) {
    const struct Expectation *e = &c->expectations[i];
    int found = IniValue(text, e->key, value, sizeof value);
    if (e->absent) {
      if (found) {
        Fail(c->name, "%s is \"%s\", expected no such key", e->key,
             Shown(value, strlen(value), shown, sizeof shown));
        return;
      }
      continue;
    }
    if (!found || strlen(value) != e->value.length ||
        memcmp(value, e->value.data, e->value.length) != 0) {
      Fail(c->name, "%s is %s%s%s, expected \"%s\"", e->key, found ? "\"" : "",
           found ? Shown(value, strlen(value), shown, sizeof shown) : "absent", found ? "\"" : "",
           Shown(e->value.data, e->value.length, wanted, sizeof wanted));
      return;
    }
  }
  Pass(c->name);
}

static void RunStatusCase(const struct Exports *exports, const char *sandbox, int number,
                          const struct Case *c) {
  char dir[kPathSize];
  char status_path[kPathSize];
  char target_path[kPathSize];
  char temporary_path[kPathSize];
  char reason[128];
  const char *status_argument = status_path;
  const char *target_argument = target_path;
  StatusFunction call = ChosenCall(exports, c->call);
  int rc;

  if (c->needed_code_page != 0 && !CodePageAvailable(c->needed_code_page)) {
    snprintf(reason, sizeof reason, "code page %d is not available on this system",
             c->needed_code_page);
    Skip(c->name, reason);
    return;
  }
  if (call == NULL) {
    Fail(c->name, "unknown call \"%s\" (line %d)", c->call, c->line);
    return;
  }
  snprintf(dir, sizeof dir, "%s%scase%d", sandbox, SEPARATOR, number);
  if (!MakeDirectory(dir)) {
    Fail(c->name, "cannot create %s", dir);
    return;
  }
  JoinPath(status_path, dir, c->status_name[0] != '\0' ? c->status_name : "status.ini");
  JoinPath(target_path, dir, c->target_name[0] != '\0' ? c->target_name : "target.txt");
  JoinPath(temporary_path, dir, "velto.tmp");

  if (!c->status_missing && !WriteStatusFile(c, status_path)) {
    Fail(c->name, "cannot write %s", status_path);
    return;
  }
  if (c->target_is_directory) {
    MakeDirectory(target_path);
  } else if (c->has_target) {
    WriteBytes(target_path, c->target.data, c->target.length);
    if (c->has_mtime && !SetModifiedTime(target_path, c->target_mtime)) {
      Fail(c->name, "cannot set the time of %s", target_path);
      return;
    }
  }
  if (c->has_temporary) WriteBytes(temporary_path, c->temporary.data, c->temporary.length);

  if (c->relative) {
    /* Bare names, completed by the library with the current directory. */
    ChangeDirectory(dir);
    status_argument = c->status_name[0] != '\0' ? c->status_name : "status.ini";
    target_argument = c->target_name[0] != '\0' ? c->target_name : "target.txt";
  }
  rc = call(target_argument, status_argument);
  if (c->relative) ChangeDirectory(sandbox);

  CheckResults(c, status_path, rc);

  RemoveFile(status_path);
  RemoveFile(temporary_path);
  if (c->target_is_directory) {
    RemoveDirectory_(target_path);
  } else {
    RemoveFile(target_path);
  }
  RemoveDirectory_(dir);
}

/* ------------------------------------------------------------------ */
/* Time conversions.                                                   */

static void CheckText(const char *name, const char *got, const struct Bytes *expected) {
  char shown[kTextSize];
  char wanted[kTextSize];
  if (got == NULL) {
    Fail(name, "null result");
  } else if (strlen(got) != expected->length || memcmp(got, expected->data, expected->length) != 0) {
    Fail(name, "got \"%s\", expected \"%s\"", Shown(got, strlen(got), shown, sizeof shown),
         Shown(expected->data, expected->length, wanted, sizeof wanted));
  } else {
    Pass(name);
  }
}

/* An epoch-to-local or local-to-epoch line, from its first argument on. */
static void RunTimeConversion(const struct Exports *exports, const char *directive,
                              const char *cursor) {
  struct Bytes name, input, format, expected;
  NextToken(&cursor, &name);
  NextToken(&cursor, &input);
  if (directive[0] == 'e') {
    NextToken(&cursor, &format);
    NextToken(&cursor, &expected);
    CheckText(name.data, exports->epoch_to_local(input.data, format.data), &expected);
  } else {
    NextToken(&cursor, &expected);
    CheckText(name.data, exports->local_to_epoch(input.data), &expected);
  }
}

/* ------------------------------------------------------------------ */
/* The case file.                                                      */

static char g_cases[1 << 20];

/* Runs the cases of the given zone, or those without a zone when zone is
 * empty. */
static void RunCases(const struct Exports *exports, const char *sandbox, const char *text,
                     const char *zone) {
  static struct Case current;
  struct Bytes word;
  struct Bytes argument;
  const char *line = text;
  int line_number = 0;
  int in_case = 0;
  int case_number = 0;

  while (*line != '\0') {
    const char *cursor = line;
    const char *end = strchr(line, '\n');
    ++line_number;
    line = end != NULL ? end + 1 : line + strlen(line);
    if (!NextToken(&cursor, &word)) continue;

    if (strcmp(word.data, "case") == 0) {
      memset(&current, 0, sizeof current);
      NextToken(&cursor, &argument);
      CopyWord(current.name, sizeof current.name, &argument);
      current.line = line_number;
      current.has_target = 1;
      snprintf(current.call, sizeof current.call, "GetDataStatus");
      in_case = 1;
    } else if (strcmp(word.data, "epoch-to-local") == 0 || strcmp(word.data, "local-to-epoch") == 0) {
      /* They expect the zone of TZ=JST-9. */
      if (zone[0] == '\0') RunTimeConversion(exports, word.data, cursor);
    } else if (!in_case) {
      Fail("cases", "line %d: \"%s\" outside a case", line_number, word.data);
    } else if (strcmp(word.data, "ini") == 0 && current.ini_count < kMaxIni) {
      NextToken(&cursor, &current.ini[current.ini_count++]);
    } else if (strcmp(word.data, "target") == 0 || strcmp(word.data, "target-repeat") == 0) {
      long times = 1;
      if (word.data[6] == '-') {
        NextToken(&cursor, &argument);
        times = strtol(argument.data, NULL, 10);
      }
      NextToken(&cursor, &argument);
      AppendBytes(&current.target, &argument, times);
    } else if (strcmp(word.data, "target-name") == 0) {
      NextToken(&cursor, &argument);
      CopyWord(current.target_name, sizeof current.target_name, &argument);
    } else if (strcmp(word.data, "target-dir") == 0) {
      current.target_is_directory = 1;
    } else if (strcmp(word.data, "no-target") == 0) {
      current.has_target = 0;
    } else if (strcmp(word.data, "target-mtime") == 0) {
      NextToken(&cursor, &argument);
      current.target_mtime = strtoll(argument.data, NULL, 10);
      current.has_mtime = 1;
    } else if (strcmp(word.data, "temporary") == 0) {
      NextToken(&cursor, &current.temporary);
      current.has_temporary = 1;
    } else if (strcmp(word.data, "status-missing") == 0) {
      current.status_missing = 1;
    } else if (strcmp(word.data, "status-name") == 0) {
      NextToken(&cursor, &argument);
      CopyWord(current.status_name, sizeof current.status_name, &argument);
    } else if (strcmp(word.data, "relative") == 0) {
      current.relative = 1;
    } else if (strcmp(word.data, "needs-codepage") == 0) {
      NextToken(&cursor, &argument);
      current.needed_code_page = atoi(argument.data);
    } else if (strcmp(word.data, "zone") == 0) {
      NextToken(&cursor, &argument);
      CopyWord(current.zone, sizeof current.zone, &argument);
    } else if (strcmp(word.data, "call") == 0) {
      NextToken(&cursor, &argument);
      CopyWord(current.call, sizeof current.call, &argument);
    } else if (strcmp(word.data, "rc") == 0) {
      NextToken(&cursor, &argument);
      current.expected_rc = atoi(argument.data);
    } else if ((strcmp(word.data, "expect") == 0 || strcmp(word.data, "expect-absent") == 0) &&
               current.expectation_count < kMaxExpect) {
      struct Expectation *e = &current.expectations[current.expectation_count++];
      NextToken(&cursor, &argument);
      CopyWord(e->key, sizeof e->key, &argument);
      e->absent = word.data[6] == '-';
      if (!e->absent) NextToken(&cursor, &e->value);
    } else if (strcmp(word.data, "end") == 0) {
      if (strcmp(current.zone, zone) == 0) RunStatusCase(exports, sandbox, ++case_number, &current);
      in_case = 0;
    } else {
      Fail("cases", "line %d: unknown directive \"%s\"", line_number, word.data);
    }
  }
}

/* ------------------------------------------------------------------ */
/* Checks that are code rather than data.                              */

static int LoadExports(Library library, struct Exports *exports) {
  return FindExport(library, "GetFileStatus", &exports->get_file_status,
                    sizeof exports->get_file_status) &&
         FindExport(library, "GetDataStatus", &exports->get_data_status,
                    sizeof exports->get_data_status) &&
         FindExport(library, "GetStatus", &exports->get_status, sizeof exports->get_status) &&
         FindExport(library, "AdjustEpochDateTimeToLocal", &exports->epoch_to_local,
                    sizeof exports->epoch_to_local) &&
         FindExport(library, "AdjustLocalDateTimeToEpoch", &exports->local_to_epoch,
                    sizeof exports->local_to_epoch);
}

static void CheckNullArguments(const struct Exports *exports, const char *sandbox) {
  char status_path[kPathSize];
  const char *epoch;
  JoinPath(status_path, sandbox, "null.ini");
  WriteBytes(status_path, "", 0);
  if (exports->get_file_status(NULL, status_path) == -1 &&
      exports->get_file_status(status_path, NULL) == -1 &&
      exports->get_data_status(NULL, status_path) == -1 &&
      exports->get_data_status(status_path, NULL) == -1 &&
      exports->get_status(NULL, NULL) == -1) {
    Pass("null paths are refused");
  } else {
    Fail("null paths are refused", "a status export did not return -1");
  }
  RemoveFile(status_path);
  epoch = exports->local_to_epoch(NULL);
  if (epoch != NULL && strcmp(epoch, "-1") == 0) {
    Pass("null date-time gives -1");
  } else {
    Fail("null date-time gives -1", "got %s", epoch != NULL ? epoch : "a null pointer");
  }
  epoch = exports->epoch_to_local(NULL, "%Y");
  if (epoch != NULL && exports->epoch_to_local("0", NULL) != NULL) {
    Pass("null time arguments return a buffer");
  } else {
    Fail("null time arguments return a buffer", "got a null pointer");
  }
}

static void CheckOverlongPaths(const struct Exports *exports, const char *sandbox) {
  char status_path[kPathSize];
  char long_path[600];
  memset(long_path, 'a', sizeof long_path - 1);
  long_path[sizeof long_path - 1] = '\0';
  JoinPath(status_path, sandbox, "long.ini");
  WriteBytes(status_path, "", 0);
  if (exports->get_data_status(long_path, status_path) == -1 &&
      exports->get_file_status(long_path, status_path) == -1 &&
      exports->get_data_status(status_path, long_path) == -1) {
    Pass("over-long paths are refused");
  } else {
    Fail("over-long paths are refused", "a status export did not return -1");
  }
  RemoveFile(status_path);
}

/* The result buffer of each time export stays valid across calls of the
 * other one. */
static void CheckResultBuffers(const struct Exports *exports) {
  char kept[64];
  const char *local = exports->epoch_to_local("1196394844", "%Y%m%d%H%M%S");
  const char *epoch;
  snprintf(kept, sizeof kept, "%s", local);
  epoch = exports->local_to_epoch("20000101000000");
  if (strcmp(local, kept) == 0 && epoch != local) {
    Pass("each time export keeps its own result buffer");
  } else {
    Fail("each time export keeps its own result buffer", "\"%s\" became \"%s\"", kept, local);
  }
}

/* A change of TZ after the library was loaded has no effect. The file
 * times of GetFileStatus follow the platform's own local time, which may
 * see the change, so this runs after the status cases. */
static void CheckTzKeptFromLoad(const struct Exports *exports) {
  const char *local;
  SetTz("PST8PDT");
  local = exports->epoch_to_local("1196394844", "%H:%M %Z");
  if (strcmp(local, "12:54 JST") == 0) {
    Pass("TZ as it was at load");
  } else {
    Fail("TZ as it was at load", "got \"%s\", expected \"12:54 JST\"", local);
  }
  SetTz("JST-9");
}

#ifdef _WIN32
/* With TZ absent from the environment at load, the time conversions follow
 * the system's time zone; the system's own conversion is the reference. */
static void CheckSystemTimeZone(const char *library_path) {
  static const long long kEpochs[] = {0, 1196394844, 1183320000, 1175421600, 2147483647};
  Library library;
  struct Exports exports;
  TIME_ZONE_INFORMATION zone;
  size_t i;
  SetTz(NULL);
  library = OpenLibrary(library_path);
  if (library == NULL || !LoadExports(library, &exports)) {
    Fail("system time zone", "cannot load %s again", library_path);
    return;
  }
  if (GetTimeZoneInformation(&zone) == TIME_ZONE_ID_INVALID) {
    Skip("system time zone", "the system time zone cannot be read");
    CloseLibrary(library);
    return;
  }
  for (i = 0; i < sizeof kEpochs / sizeof kEpochs[0]; ++i) {
    char name[96];
    char epoch_text[32];
    char wanted[64];
    const char *got;
    unsigned long long ticks = (unsigned long long)(kEpochs[i] + 11644473600LL) * 10000000ULL;
    FILETIME file_time;
    SYSTEMTIME utc, local;
    file_time.dwLowDateTime = (DWORD)(ticks & 0xFFFFFFFFULL);
    file_time.dwHighDateTime = (DWORD)(ticks >> 32);
    FileTimeToSystemTime(&file_time, &utc);
    SystemTimeToTzSpecificLocalTime(NULL, &utc, &local);
    snprintf(name, sizeof name, "system time zone: local time of %lld", kEpochs[i]);
    snprintf(epoch_text, sizeof epoch_text, "%lld", kEpochs[i]);
    snprintf(wanted, sizeof wanted, "%04u%02u%02u%02u%02u%02u", local.wYear, local.wMonth,
             local.wDay, local.wHour, local.wMinute, local.wSecond);
    got = exports.epoch_to_local(epoch_text, "%Y%m%d%H%M%S");
    if (strcmp(got, wanted) == 0) {
      Pass(name);
    } else {
      Fail(name, "got \"%s\", the system gives \"%s\"", got, wanted);
    }
  }
  {
    /* Local standard time read back: the system's bias is the offset. */
    char wanted[32];
    long long standard_bias = zone.StandardDate.wMonth != 0 ? zone.StandardBias : 0;
    const char *got = exports.local_to_epoch("20070115120000");
    snprintf(wanted, sizeof wanted, "%lld",
             1168862400LL + (zone.Bias + standard_bias) * 60LL);
    if (strcmp(got, wanted) == 0) {
      Pass("system time zone: epoch of a local standard time");
    } else {
      Fail("system time zone: epoch of a local standard time", "got %s, expected %s", got, wanted);
    }
  }
  CloseLibrary(library);
}
#endif

int main(int argc, char **argv) {
  const char *library_path;
  const char *label;
  const char *zone;
  char sandbox[kPathSize];
  Library library;
  struct Exports exports;

  if (argc < 3) {
    fprintf(stderr, "usage: %s LIBRARY CASES [LABEL [ZONE]]\n", argv[0]);
    return 2;
  }
  library_path = argv[1];
  label = argc > 3 ? argv[3] : "host";
  zone = argc > 4 ? argv[4] : "";
  setvbuf(stdout, NULL, _IONBF, 0);

  /* The time cases expect the zone of TZ=JST-9, which the library keeps
   * from the moment it is loaded. A zone pass sets its own zone, which on
   * POSIX is also the zone of the file times. */
  SetTz(zone[0] != '\0' ? zone : "JST-9");
  library = OpenLibrary(library_path);
  if (library == NULL || !LoadExports(library, &exports)) {
    Fail("load", "cannot load %s or find its five exports", library_path);
    printf("%s: %d passed, %d failed, %d skipped\n", label, g_passed, g_failed, g_skipped);
    return 1;
  }
  Pass("load: five exports found by their undecorated names");
  if (ReadBytes(argv[2], g_cases, sizeof g_cases) == 0) {
    Fail("cases", "cannot read %s", argv[2]);
  }

  if (!MakeSandbox(sandbox, sizeof sandbox) || !ChangeDirectory(sandbox)) {
    Fail("sandbox", "cannot create a temporary folder");
    return 1;
  }
  RunCases(&exports, sandbox, g_cases, zone);
  if (zone[0] == '\0') {
    CheckNullArguments(&exports, sandbox);
    CheckOverlongPaths(&exports, sandbox);
    CheckResultBuffers(&exports);
    CheckTzKeptFromLoad(&exports);
  }
  CloseLibrary(library);
#ifdef _WIN32
  if (zone[0] == '\0') CheckSystemTimeZone(library_path);
#endif
  ChangeDirectory("..");
  RemoveDirectory_(sandbox);

  printf("%s: %d passed, %d failed, %d skipped\n", label, g_passed, g_failed, g_skipped);
  return g_failed == 0 ? 0 : 1;
}
