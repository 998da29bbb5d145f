/* irun.dll: the RTF-to-HTML converter behind the plug-in's converter calls.
 *
 * Four __stdcall functions, exported undecorated. Every count and result is a 32-bit
 * signed integer. A session is an opaque 32-bit value from EXBufferOpenSession, valid
 * until EXBufferCloseSession; a value the library did not hand out (or has closed) is
 * refused. Several sessions may be open at once, from any threads. No call throws.
 *
 * The document is pure ASCII (everything else as numeric character references), so
 * decoding it with any ANSI code page loses nothing. It carries the marker comment of
 * irun_marker.h, a "<body" start tag and a "</body>" end tag; "<", ">", "&" and double
 * quotes of the text are character references. Pictures become image references named
 * "_img_<n>.<ext>"; their data is not written anywhere. */
#ifndef IRUN_IRUN_H
#define IRUN_IRUN_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

#if defined(_WIN32) && !defined(IRUN_CALL)
#define IRUN_CALL __stdcall
#elif !defined(IRUN_CALL)
#define IRUN_CALL
#endif

typedef int32_t IrunSession;

/* The plug-in's constants, and what they mean here. */
#define IRUN_BASE_FONT_PIXELS 16    /* text of this size (12 pt at 96 dpi) gets no font-size */
#define IRUN_FLAGS_DEFAULT 0        /* no switches; IRUN_FLAG_OMIT_FONT_FACES drops families */
#define IRUN_FLAG_OMIT_FONT_FACES 1
#define IRUN_SCREEN_DPI 96          /* dots per inch that turn twips into pixels */
/* The colour text is the page background, six hexadecimal digits RRGGBB ("FFFFFF" is
 * white); it becomes the body's bgcolor. Any other text writes no background. */

/* Results. */
#define IRUN_OK 0
#define IRUN_ERROR_SESSION 1     /* not a session of this library, or closed */
#define IRUN_ERROR_ARGUMENT 2    /* a null address or a negative length */
#define IRUN_ERROR_MEMORY 3      /* the document does not fit in memory or in 32 bits */

/* Opens a session. Returns 0 when no more sessions can be open (1024 at once). */
IrunSession IRUN_CALL EXBufferOpenSession(void);

/* Converts rtfLength bytes at rtf (a zero byte among them ends nothing; length rules).
 * On IRUN_OK the session holds the document: *bodySize is its size in bytes and
 * *objectCount the number of pictures it refers to. baseFontPixels, backgroundColor,
 * flags and dotsPerInch are described above; out-of-range numbers fall back to 16 and
 * 96, and a null backgroundColor means none. A failed call leaves the counts at 0. */
int32_t IRUN_CALL EXBufferConvert(IrunSession session, const char* rtf, int32_t rtfLength,
                                  int32_t* bodySize, int32_t* objectCount,
                                  int32_t baseFontPixels, const char* backgroundColor,
                                  int32_t flags, int32_t dotsPerInch);

/* Copies exactly bodySize bytes of the session's last document to body (no terminator
 * is written; the caller's buffer of bodySize + 1 zero bytes supplies it). */
int32_t IRUN_CALL EXBufferGetBody(IrunSession session, char* body);

/* Ends the session and frees its document. IRUN_ERROR_SESSION for an unknown value. */
int32_t IRUN_CALL EXBufferCloseSession(IrunSession session);

typedef IrunSession(IRUN_CALL* EXBufferOpenSessionProc)(void);
typedef int32_t(IRUN_CALL* EXBufferConvertProc)(IrunSession, const char*, int32_t, int32_t*,
                                                int32_t*, int32_t, const char*, int32_t,
                                                int32_t);
typedef int32_t(IRUN_CALL* EXBufferGetBodyProc)(IrunSession, char*);
typedef int32_t(IRUN_CALL* EXBufferCloseSessionProc)(IrunSession);

#ifdef __cplusplus
}
#endif

#endif /* IRUN_IRUN_H */
