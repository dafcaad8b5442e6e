// Stand-in for the host runtime's library: it takes the driver's reports and keeps them for tests and
// tools to read. The Windows build (TARNEL.DLL) exports the report call as err; the Linux one
// (libtarnel.so) as TarnelErr.
#ifndef DYX_TARNEL_H
#define DYX_TARNEL_H

#if defined(_WIN32)
#define TARNEL_API
#else
#define TARNEL_API __attribute__((visibility("default")))
#endif

extern "C" {

// Formats and keeps one report (the last 16 are kept); if the environment names a file in TARNEL_LOG,
// also appends "level|format|text" as a line to it. Returns 0.
TARNEL_API int TarnelErr(int level, const char* format, ...);

// Number of reports taken since load or the last TarnelReset.
TARNEL_API int TarnelMessageCount(void);
// The formatted text, level and format of report index (0 = first kept); null/-1 when not kept.
TARNEL_API const char* TarnelMessageText(int index);
TARNEL_API int TarnelMessageLevel(int index);
TARNEL_API const char* TarnelMessageFormat(int index);
TARNEL_API void TarnelReset(void);
}

#endif
