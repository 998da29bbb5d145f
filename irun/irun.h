/* irun.dll: the RTF-to-HTML converter behind the plug-in's converter calls.
 *
 * Four __stdcall functions, exported undecorated, three more that hand out the
 * pictures of the last document (a caller that finds them missing, in an older
 * library, keeps pictures as references), and two that take the RTF and hand out the
 * document in pieces (an older library lacks them too). Every count and result is a 32-bit
 * signed integer. A session is an opaque 32-bit value from EXBufferOpenSession, valid
 * until EXBufferCloseSession; a value the library did not hand out (or has closed) is
 * refused. Several sessions may be open at once, from any threads. No call throws.
 *
 * The document is pure ASCII (everything else as numeric character references), so
 * decoding it with any ANSI code page loses nothing. It carries the marker comment of
 * irun_marker.h, a "<body" start tag and a "</body>" end tag; "<", ">", "&" and double
 * quotes of the text are character references. Pictures become image references named
 * "_img_<n>.<ext>"; their data is not in the document but offered by the picture calls
 * below, each picture under the name its reference uses. */
#ifndef IRUN_IRUN_H
#define IRUN_IRUN_H

#include <stddef.h>
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
 * is written; the caller's buffer of bodySize + 1 zero bytes supplies it).
 * IRUN_ERROR_ARGUMENT once EXBufferReadBody has begun to read that document, whose
 * start is then given back. */
int32_t IRUN_CALL EXBufferGetBody(IrunSession session, char* body);

/* ---- reading and handing out in pieces --------------------------------------------
 *
 * A large page need never be in memory whole: the RTF comes to the converter piece by
 * piece, and the document leaves it piece by piece. The converter keeps a window of
 * about 64 KB of the RTF, and gives back the memory of the document as it is read. */

/* Gives the next piece of the RTF to EXBufferConvertPieces: sets *piece to its first byte
 * and returns its length in bytes; 0 (or less) ends the RTF. The piece stays valid until
 * the next call, so the caller may let go of each piece once the next one is asked for. */
typedef int32_t(IRUN_CALL* IrunReadRtfProc)(void* context, const char** piece);

/* As EXBufferConvert, but reads the RTF piece by piece through read(context, ...). The
 * document and pictures are exactly those EXBufferConvert gives for the pieces joined,
 * however the RTF is split. IRUN_ERROR_ARGUMENT for a null read, bodySize or
 * objectCount (read is then never called). read is called on the caller's thread,
 * before this call returns, and may stop being called before it has ended the RTF
 * when the document's group is closed. */
int32_t IRUN_CALL EXBufferConvertPieces(IrunSession session, IrunReadRtfProc read, void* context,
                                        int32_t* bodySize, int32_t* objectCount,
                                        int32_t baseFontPixels, const char* backgroundColor,
                                        int32_t flags, int32_t dotsPerInch);

/* Copies up to bufferSize bytes of the session's document, from where the previous call
 * ended, to buffer, and sets *copied to their number (0 once all is read). Memory of what
 * has been read is given back as reading goes on. IRUN_ERROR_ARGUMENT (and *copied 0
 * where copied is given) for a null buffer or copied or a bufferSize below 1. A new
 * conversion or closing the session starts reading anew. */
int32_t IRUN_CALL EXBufferReadBody(IrunSession session, char* buffer, int32_t bufferSize,
                                   int32_t* copied);

/* Ends the session and frees its document. IRUN_ERROR_SESSION for an unknown value. */
int32_t IRUN_CALL EXBufferCloseSession(IrunSession session);

/* ---- pictures ---------------------------------------------------------------------
 *
 * After EXBufferConvert, the session holds the pictures whose data is whole and of its
 * type, in the order of their references (a picture with cut-off or broken data keeps
 * its reference but has no entry here). They stay until the next conversion or until
 * the session is closed. */

/* Picture formats, as the RTF names them. */
#define IRUN_PICTURE_OTHER 0   /* none of the names below: bytes as they are */
#define IRUN_PICTURE_PNG 1     /* \pngblip: a PNG file */
#define IRUN_PICTURE_JPEG 2    /* \jpegblip: a JPEG file */
#define IRUN_PICTURE_EMF 3     /* \emfblip: an enhanced metafile */
#define IRUN_PICTURE_WMF 4     /* \wmetafile: a Windows metafile, no placeable header */
#define IRUN_PICTURE_DIB 5     /* \dibitmap: BITMAPINFO and bits, no file header */
#define IRUN_PICTURE_BITMAP 6  /* \wbitmap: the bits of a device-dependent bitmap */

/* One picture. The same layout in 32 and 64 bits: 32-bit fields, the name, three more. */
typedef struct IrunPictureInfo {
  int32_t size;         /* set by the caller: sizeof(IrunPictureInfo) */
  int32_t format;       /* IRUN_PICTURE_... */
  int32_t byteCount;    /* bytes that EXBufferCopyPicture copies */
  int32_t pixelWidth;   /* \picw, \pich: pixels; for metafiles in the units the RTF gives */
  int32_t pixelHeight;
  int32_t goalWidth;    /* \picwgoal, \pichgoal: twips; 0 when the RTF gives none */
  int32_t goalHeight;
  int32_t scaleX;       /* \picscalex, \picscaley: percent */
  int32_t scaleY;
  int32_t mappingMode;  /* \wmetafile<N>: the metafile's mapping mode; 0 for other formats */
  char name[32];        /* "_img_<n>.<ext>" as the <img> refers to it, zero-terminated */
  int32_t bitsPerPixel; /* \wbmbitspixel, \wbmplanes, \wbmwidthbytes of a \wbitmap: bits a */
  int32_t planes;       /* pixel, colour planes and bytes a row; 0 where the RTF gives none */
  int32_t widthBytes;
} IrunPictureInfo;

#ifdef __cplusplus
static_assert(offsetof(IrunPictureInfo, format) == 4, "IrunPictureInfo layout");
static_assert(offsetof(IrunPictureInfo, mappingMode) == 36, "IrunPictureInfo layout");
static_assert(offsetof(IrunPictureInfo, name) == 40, "IrunPictureInfo layout");
static_assert(offsetof(IrunPictureInfo, bitsPerPixel) == 72, "IrunPictureInfo layout");
static_assert(sizeof(IrunPictureInfo) == 84, "IrunPictureInfo layout");
#endif

/* *count is the number of pictures of the session's last document (0 before any). */
int32_t IRUN_CALL EXBufferGetPictureCount(IrunSession session, int32_t* count);

/* Fills *info for picture index (0 to count - 1). IRUN_ERROR_ARGUMENT for a null info,
 * an info->size below sizeof(IrunPictureInfo) or an index out of range. */
int32_t IRUN_CALL EXBufferGetPictureInfo(IrunSession session, int32_t index,
                                         IrunPictureInfo* info);

/* Copies the byteCount bytes of picture index to buffer. IRUN_ERROR_ARGUMENT for a null
 * buffer, a bufferSize below byteCount or an index out of range; nothing is copied then. */
int32_t IRUN_CALL EXBufferCopyPicture(IrunSession session, int32_t index, void* buffer,
                                      int32_t bufferSize);

typedef IrunSession(IRUN_CALL* EXBufferOpenSessionProc)(void);
typedef int32_t(IRUN_CALL* EXBufferConvertProc)(IrunSession, const char*, int32_t, int32_t*,
                                                int32_t*, int32_t, const char*, int32_t,
                                                int32_t);
typedef int32_t(IRUN_CALL* EXBufferGetBodyProc)(IrunSession, char*);
typedef int32_t(IRUN_CALL* EXBufferCloseSessionProc)(IrunSession);
typedef int32_t(IRUN_CALL* EXBufferGetPictureCountProc)(IrunSession, int32_t*);
typedef int32_t(IRUN_CALL* EXBufferGetPictureInfoProc)(IrunSession, int32_t, IrunPictureInfo*);
typedef int32_t(IRUN_CALL* EXBufferCopyPictureProc)(IrunSession, int32_t, void*, int32_t);
typedef int32_t(IRUN_CALL* EXBufferConvertPiecesProc)(IrunSession, IrunReadRtfProc, void*,
                                                      int32_t*, int32_t*, int32_t, const char*,
                                                      int32_t, int32_t);
typedef int32_t(IRUN_CALL* EXBufferReadBodyProc)(IrunSession, char*, int32_t, int32_t*);

#ifdef __cplusplus
}
#endif

#endif /* IRUN_IRUN_H */
