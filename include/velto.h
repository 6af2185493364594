/*
 * velto: character, line and page counts of Japanese text.
 *
 * A host names a target file and a status file. The status file is an INI
 * profile whose section [GetStatus] carries the settings (LineLength,
 * PageLength, NoTop_NoHang, NoTop_Hang, NoEnd, CharSet, Temporary, DebugLog)
 * and receives the results (Name, TimeStamp, Size, CRLF, NoCRLF,
 * NoCRLF_NoBLANK, LineCount, PageCount, ModCount). The status file must exist
 * before a status function is called; an empty file is enough.
 *
 * All strings are zero-terminated 8-bit strings; paths are in the system's
 * 8-bit code page. No function throws, prints or keeps state between calls,
 * apart from the two result buffers of the time functions.
 */
#ifndef VELTO_H
#define VELTO_H

/* VELTO_API marks an exported function; VELTO_CALL is its calling
 * convention (__stdcall on 32-bit Windows, the platform default elsewhere). */
#if defined(_WIN32)
#  if defined(VELTO_BUILDING)
#    define VELTO_API __declspec(dllexport)
#  else
#    define VELTO_API __declspec(dllimport)
#  endif
#  if defined(_M_IX86) || defined(__i386__)
#    define VELTO_CALL __stdcall
#  else
#    define VELTO_CALL
#  endif
#else
#  define VELTO_API __attribute__((visibility("default")))
#  define VELTO_CALL
#endif

#ifdef __cplusplus
extern "C" {
#endif

/*
 * GetFileStatus(target, status)
 * Writes the target's file name (without directory) to Name and its local
 * last-write time "YYYY/MM/DD hh:mm:ss" to TimeStamp. Both keys are cleared
 * first, so a failed call leaves them empty.
 * Returns 0 when the status file exists and was written and the target was
 * found; -1 otherwise (also for null or over-long paths).
 */
VELTO_API int VELTO_CALL GetFileStatus(const char *target, const char *status);

/*
 * GetDataStatus(target, status)
 * Measures the target (or the Temporary file, when it exists) with the
 * settings of the status file and writes Size, CRLF, NoCRLF, NoCRLF_NoBLANK,
 * LineCount, PageCount and ModCount. The seven keys are set to 0 before the
 * measurement starts.
 * Returns 0 when the measurement completed and its results were written;
 * -1 otherwise.
 */
VELTO_API int VELTO_CALL GetDataStatus(const char *target, const char *status);

/*
 * GetStatus(target, status)
 * GetFileStatus, then, only when it succeeded, GetDataStatus.
 * Returns 0 when both succeeded; -1 otherwise.
 */
VELTO_API int VELTO_CALL GetStatus(const char *target, const char *status);

/*
 * AdjustEpochDateTimeToLocal(epoch, format)
 * Reads decimal epoch seconds, converts them to local time (TZ as it stood
 * when the library was loaded, else the system time zone) and lays the time
 * out by a strftime-like format (%a %A %b %B %c %d %H %I %j %m %M %p %S %U
 * %w %W %x %X %y %Y %Z %z %%, with the "#" flag). Returns a library-owned
 * buffer of at most 254 bytes of text, valid until the next call of this
 * function; empty for a negative epoch value or a null argument.
 */
VELTO_API const char *VELTO_CALL AdjustEpochDateTimeToLocal(const char *epoch,
                                                             const char *format);

/*
 * AdjustLocalDateTimeToEpoch(datetime)
 * Reads a compact local date-time "YYYYMMDDhhmmss" (local standard time) and
 * returns a library-owned buffer holding the epoch seconds in decimal, or
 * "-1" when the date-time has no epoch value. The buffer stays valid until
 * the next call of this function.
 */
VELTO_API const char *VELTO_CALL AdjustLocalDateTimeToEpoch(const char *datetime);

#ifdef __cplusplus
}
#endif

#endif /* VELTO_H */
