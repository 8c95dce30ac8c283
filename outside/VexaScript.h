// VexaScript: the handwriting recognizer of the product family, behind its
// flat PSO_ interface. The program loads "VexaScript.dll" from each engine
// folder and the page analysis from its own folder; both bind the functions
// below by name with GetProcAddress.
//
// Calling convention: every function, and every callback the library calls,
// is __cdecl (PSO_CALL). The DLL exports the undecorated names below and
// nothing else. All integers are 32-bit; the library is 32-bit on Windows.
//
// Handles: a recognition context (PSO_HRC) and a user dictionary
// (PSO_HUSERDICT) are opaque, non-null when valid. Every call checks its
// handles against the live ones: a null, deleted or foreign handle is
// answered with the failure value and never touches memory. One context is
// used by one thread at a time; different contexts may be used on different
// threads. Dictionary handles belong to the context that made them and die
// with it.
//
// Results: functions that answer a status return PSO_OK (0) or one of the
// codes below; functions that answer a count return it (0 or more) or the
// negated code. PSO_GetExtraAnswerData answers -1 for every failure, and
// PSO_AddUserDictToRecContext answers a null handle. The library never frees
// memory that its caller allocated and never hands out memory that the caller
// must free: every buffer is the caller's. Its size is stated, or known
// before: the dictionary bytes end at a NUL the caller puts after them, and a
// dump buffer holds what the call without a buffer answered.
//
// Ink: an array of PSO_POINT. A point whose y is -1 (0xFFFF) closes a stroke
// whatever its x (the program sends (30000, 0xFFFF), the page analysis
// (0, 0xFFFF)); a point with y = -2 (0xFFFE, the finish marker) also closes
// the stroke; a point with y = -3 (0xFFFD, the live-ink marker) is skipped.
// Every other point is a pen position, any 16-bit signed x and y. The last
// stroke of a call is closed at the end of the call (a stroke never spans two
// calls), so a list without separators is one stroke. Recognition adapts to
// the writing's own size: the unit (quarter pixels, page units) does not
// matter, only that x and y share it.
//
// Text: 8-bit text is in code page 1252 (Western); the "W" call gives the
// same text as UTF-16. A word is at most PSO_MAX_WORD_CHARS characters.
//
// Who calls what: the program drives sessions with Start, AddInk (one stroke
// a call, the program's separator), End, then reads blocks with
// GetWordFromAnswerBlock; it checks words and asks for variants through
// GetExtraAnswerData (1003, 1004) and keeps user dictionaries with the
// PSO_UserDict_ and dump calls. The page analysis starts one session per text
// line (flags 3), adds strokes ending in (0, -1), ends the ink with AddInk
// (null, 0), and reads blocks with the W call, the confidence, the baseline
// and GetExtraAnswerData (1001, 1, 2, 3). Both load a lexicon with
// PSO_AddLexGeneratorToRecContext.
#ifndef SCRIBIX_VEXASCRIPT_H
#define SCRIBIX_VEXASCRIPT_H

#include <stddef.h>
#include <stdint.h>

#if defined(_WIN32)
#define PSO_CALL __cdecl
typedef wchar_t PSO_WCHAR;
#else
#define PSO_CALL
typedef char16_t PSO_WCHAR;
#endif

#ifdef __cplusplus
extern "C" {
#endif

// ---- Result codes ---------------------------------------------------------

#define PSO_OK 0
#define PSO_ERR_FAILED 1         // the operation failed (bad data, nothing to do, no memory)
#define PSO_ERR_NOT_SUPPORTED 2  // unknown kind or request
#define PSO_ERR_NO_CONTEXT 3     // the context handle is null or not a live context
#define PSO_ERR_CANCELLED 6      // the progress callback asked to stop
#define PSO_ERR_BAD_ARG 7        // a null buffer, a bad size, an index out of range, ...

// ---- Limits ---------------------------------------------------------------

#define PSO_MAX_WORD_CHARS 79          // characters of a word; text buffers hold 80 with the NUL
#define PSO_TEXT_BUFFER 80             // bytes (8-bit) or units (UTF-16) of a word's text buffer
#define PSO_MAX_ALTERNATIVES 10        // alternatives of one answer block
#define PSO_INFO_BUFFER 64             // PSO_GetRecognizerInfo needs at least this many bytes
#define PSO_MAX_SESSION_STROKES 2048   // strokes of one session; more ink is refused
#define PSO_MAX_SESSION_POINTS 262144  // points of one session; more ink is refused

// ---- Types ----------------------------------------------------------------

typedef struct PSO_RecContext* PSO_HRC;
typedef struct PSO_UserDict* PSO_HUSERDICT;

// One ink point (16-bit x and y, see "Ink" above).
typedef struct PSO_POINT {
    int16_t x;
    int16_t y;
} PSO_POINT;

// The start record of PSO_StartRecognitionSession.
typedef struct PSO_SESSION_START {
    uint32_t reserved;  // 0
    uint32_t flags;     // PSO_SF_* below
} PSO_SESSION_START;

// Session flags (the start record, also kind 1 of PSO_SetExtraSessionParameters).
#define PSO_SF_WORD_SEGMENTATION \
    0x1                      // split the writing into words at gaps; without it
                             // the whole writing is one word
#define PSO_SF_ONE_LINE 0x2  // the ink is one text line: no line finding
#define PSO_SF_SEPARATE_LETTERS \
    0x4  // letters are written apart: a letter never shares
         // a cluster of overlapping strokes with another
#define PSO_SF_SOFT_BREAKS_ONLY \
    0x8  // only clear gaps split words; a doubtful gap joins
         // (without it the lexicon decides a doubtful gap)
#define PSO_SF_MULTI_LINE_WORDS \
    0x10                           // a word may go on at the start of the next line:
                                   // the two pieces join when only joined they make a
                                   // lexicon word
#define PSO_SF_NUMBERS_ONLY 0x100  // read digits and number signs only
#define PSO_SF_LEXICON_ONLY \
    0x200                           // every word must come from the lexicon or a user
                                    // dictionary (a word that does not gets weight 1)
#define PSO_SF_CAPITALS_ONLY 0x400  // read no small letters
#define PSO_SF_SMALL_ONLY 0x800     // read no capitals
#define PSO_SF_GATE_OFF \
    0x40000                       // no gate: every character form is matched in full
                                  // (slower; the gate is a quick pre-selection)
#define PSO_SF_GATE_WIDE 0x80000  // the gate keeps more candidates (special lexicons)
#define PSO_SF_BOXED \
    0x100000  // writing into a row of letter boxes: the guide
              // (kind 4) gives the writing line

// Kinds of PSO_SetExtraSessionParameters.
#define PSO_EXTRA_FLAGS 1      // value: more session flags (PSO_SF_*), added to the start's
#define PSO_EXTRA_PROGRESS 3   // value: a PSO_PROGRESS_CALLBACK (0 = none)
#define PSO_EXTRA_GUIDE 4      // value: pointer to a PSO_GUIDE, copied at once
#define PSO_EXTRA_USER_DATA 5  // value: the user data given to the progress callback

// The guide of a boxed session: the row of boxes in ink units. The writing
// line: capital line = top, baseline = top + height - sixth.
typedef struct PSO_GUIDE {
    int32_t size;  // 24
    int32_t left;  // of the first box
    int32_t top;
    int32_t width;   // of the first box
    int32_t height;  // of the row
    int32_t sixth;   // room under the baseline (0 or less: a fifth of the height)
} PSO_GUIDE;

// Progress record handed to the callback during a recognition (same layout
// as the page analysis's own progress record).
typedef struct PSO_PROGRESS {
    int32_t size;       // sizeof(PSO_PROGRESS): 16 on 32-bit Windows
    int32_t done;       // strokes recognized so far
    int32_t total;      // strokes of the session
    intptr_t userData;  // kind 5 of PSO_SetExtraSessionParameters
} PSO_PROGRESS;

// Called between words; a non-zero answer cancels the recognition
// (PSO_ERR_CANCELLED, no answers).
typedef int32_t(PSO_CALL* PSO_PROGRESS_CALLBACK)(PSO_PROGRESS* progress);

#ifdef __cplusplus
// The records the page analysis and the program hand the recognizer: points
// of two 16-bit values, a start record of two 32-bit values, a progress record
// of 16 bytes in the 32-bit build.
static_assert(sizeof(PSO_POINT) == 4 && offsetof(PSO_POINT, y) == 2, "PSO_POINT layout");
static_assert(sizeof(PSO_SESSION_START) == 8 && offsetof(PSO_SESSION_START, flags) == 4,
              "PSO_SESSION_START layout");
static_assert(offsetof(PSO_PROGRESS, done) == 4 && offsetof(PSO_PROGRESS, total) == 8 &&
                  offsetof(PSO_PROGRESS, userData) == (sizeof(void*) == 4 ? 12 : 16) &&
                  sizeof(PSO_PROGRESS) == (sizeof(void*) == 4 ? 16 : 24),
              "PSO_PROGRESS layout");
#endif

// Called once per word of a user dictionary; answer non-zero to go on, 0 to stop.
typedef int32_t(PSO_CALL* PSO_ENUMWORDS_CALLBACK)(const char* word, void* param);

// Requests of PSO_GetExtraAnswerData.
#define PSO_EXTRA_ALT_VALUES 1001      // buffer: 2 int32 {source, shape score}; returns 2
#define PSO_EXTRA_PART_COUNT 1         // returns the number of parts of the first alternative
#define PSO_EXTRA_PART_STROKE_COUNT 2  // index = part: returns its number of strokes
#define PSO_EXTRA_PART_STROKES \
    3  // index = part: buffer gets its stroke numbers (int32
       // each, as many as request 2 answers); returns that count
#define PSO_EXTRA_CHECK_WORD \
    1003  // block, alternative, index ignored; buffer: 80 bytes
          // holding a word; its first int32 becomes non-zero when
          // the lexicon or a user dictionary holds the word; returns 0
#define PSO_EXTRA_WORD_VARIANTS \
    1004  // index = room in records; buffer: a word, then
          // overwritten by records of PSO_VARIANT_RECORD bytes:
          // 80 bytes of NUL-terminated text and an int32 flag;
          // returns the number of records written

#define PSO_VARIANT_RECORD 84

// Sources of an alternative (first value of request 1001; flag of request 1004).
#define PSO_SOURCE_FREE 0       // read letter by letter, no dictionary
#define PSO_SOURCE_LEXICON 1    // a word of the lexicon
#define PSO_SOURCE_USER_DICT 2  // a word of a user dictionary
#define PSO_SOURCE_NUMBER 3     // a number

// One character of a block's first alternative (PSO_GetAnsBlockLowLevelInfo).
typedef struct PSO_CHAR_INFO {
    int32_t code;                      // the 8-bit character
    int32_t score;                     // 0 (poor) to 100 (the form fits exactly)
    int32_t strokeCount;               // strokes of the character, at most 8 listed
    int32_t strokes[8];                // their numbers in the session
    int32_t left, top, right, bottom;  // box of its ink
} PSO_CHAR_INFO;

// ---- Functions ------------------------------------------------------------

// kind 1: "VexaScript <version>"; kind 2: the description the program shows
// ("VexaScript(R) Handwriting Recognizer <version>", always shorter than
// PSO_INFO_BUFFER); kind 3: the characters the recognizer reads. buffer: at
// least PSO_INFO_BUFFER bytes for kinds 1 and 2, 512 for kind 3; gets a
// NUL-terminated text. PSO_OK, PSO_ERR_BAD_ARG (null buffer),
// PSO_ERR_NOT_SUPPORTED (other kinds).
int32_t PSO_CALL PSO_GetRecognizerInfo(int32_t kind, char* buffer);

// A new context: no lexicon (every word is read letter by letter until one is
// added), no user dictionary, no session. Null when memory runs out.
PSO_HRC PSO_CALL PSO_CreateRecognitionContext(void);

// Deletes the context with its session, answers and user dictionaries.
// PSO_OK or PSO_ERR_NO_CONTEXT (a second delete is harmless).
int32_t PSO_CALL PSO_DeleteRecognitionContext(PSO_HRC context);

// Starts a session: drops the ink and the answers of the previous one and
// takes the flags; kind 1, 3, 4, 5 parameters start empty. PSO_OK,
// PSO_ERR_NO_CONTEXT, PSO_ERR_BAD_ARG (null record).
int32_t PSO_CALL PSO_StartRecognitionSession(PSO_HRC context, const PSO_SESSION_START* start);

// Recognizes the ink unless that was done already (see PSO_AddInkToRecSession)
// and closes the session; the answers stay readable until the next start.
// PSO_OK (also for a session without ink: no answer blocks), PSO_ERR_FAILED
// (no session was started), PSO_ERR_CANCELLED, PSO_ERR_NO_CONTEXT.
int32_t PSO_CALL PSO_EndRecognitionSession(PSO_HRC context);

// Adds strokes to the open session. points: `count` PSO_POINTs (see "Ink").
// reserved: 0. strokesAdded: null, or receives the number of strokes taken.
// source: 0 from the program, 1 from the page analysis; not interpreted.
// With points null and count 0 the ink is complete and is recognized now.
// PSO_OK; PSO_ERR_FAILED when the list holds no pen position (only markers),
// when the session would exceed its limits (nothing of the call is taken), or
// when no session is open; PSO_ERR_BAD_ARG for a negative count, a count with
// null points or points with count 0; PSO_ERR_CANCELLED; PSO_ERR_NO_CONTEXT.
int32_t PSO_CALL PSO_AddInkToRecSession(PSO_HRC context, const PSO_POINT* points, int32_t count,
                                        int32_t reserved, int32_t* strokesAdded, int32_t source);

// kind 1 (PSO_EXTRA_FLAGS), 3 (PSO_EXTRA_PROGRESS), 4 (PSO_EXTRA_GUIDE),
// 5 (PSO_EXTRA_USER_DATA); each holds until the next session start. PSO_OK,
// PSO_ERR_NO_CONTEXT, PSO_ERR_BAD_ARG (a null guide or a guide whose size is
// not 24 or whose width or height is not positive), PSO_ERR_NOT_SUPPORTED.
int32_t PSO_CALL PSO_SetExtraSessionParameters(PSO_HRC context, int32_t kind, intptr_t value);

// Number of answer blocks (words) of the last recognition, in reading order
// (lines from the first written, words from left to right). 0 before a
// recognition; -PSO_ERR_NO_CONTEXT.
int32_t PSO_CALL PSO_GetNumAnswerBlocks(PSO_HRC context);

// Number of alternatives of a block (1 to PSO_MAX_ALTERNATIVES, best first).
// -PSO_ERR_BAD_ARG for a block out of range; -PSO_ERR_NO_CONTEXT.
int32_t PSO_CALL PSO_GetNumWordsInAnswerBlock(PSO_HRC context, int32_t block);

// One alternative as 8-bit text. text: PSO_TEXT_BUFFER bytes, gets the
// NUL-terminated word. weight: null or receives 1 to 100 (100 best; 1 marks a
// weak block: nothing readable, or no lexicon word where one is required).
// strokes, strokeCount, room: null, null, any; or an int32 array of `room`
// entries and a count that receive the numbers (0-based, in the order they
// were added) of the block's strokes, ascending; when the block has more
// strokes than `room`, the first `room` are given. PSO_OK, PSO_ERR_BAD_ARG
// (null text, block or alternative out of range, strokes without a count
// pointer, negative room), PSO_ERR_NO_CONTEXT.
int32_t PSO_CALL PSO_GetWordFromAnswerBlock(PSO_HRC context, int32_t block, int32_t alternative,
                                            char* text, int32_t* weight, int32_t* strokes,
                                            int32_t* strokeCount, int32_t room);

// The same as UTF-16: text holds PSO_TEXT_BUFFER units.
int32_t PSO_CALL PSO_GetWordFromAnswerBlockW(PSO_HRC context, int32_t block, int32_t alternative,
                                             PSO_WCHAR* text, int32_t* weight, int32_t* strokes,
                                             int32_t* strokeCount, int32_t room);

// The block's confidence, 0 to 100: how sure the first alternative is (its
// fit and its lead over the second). PSO_OK, PSO_ERR_BAD_ARG (null out, block
// out of range), PSO_ERR_NO_CONTEXT.
int32_t PSO_CALL PSO_GetAnswerConfidence(PSO_HRC context, int32_t block, int32_t* confidence);

// Requests PSO_EXTRA_* above. Answers the count described there, or -1 for
// every failure (no context, null buffer, block, alternative or index out of
// range, a word of 80 bytes or more, room below 1, unknown request).
int32_t PSO_CALL PSO_GetExtraAnswerData(PSO_HRC context, int32_t block, int32_t alternative,
                                        int32_t request, int32_t index, void* buffer);

// The session's strokes as they were added. PSO_GetNumStrokes: their number.
// PSO_GetStrokeLen: points of one stroke. PSO_GetStroke: copies them into
// `room` points (buffer null: only the count) and answers their number.
// Negative codes for no context, an index out of range or too little room.
int32_t PSO_CALL PSO_GetNumStrokes(PSO_HRC context);
int32_t PSO_CALL PSO_GetStrokeLen(PSO_HRC context, int32_t stroke);
int32_t PSO_CALL PSO_GetStroke(PSO_HRC context, int32_t stroke, PSO_POINT* buffer, int32_t room);

// The writing line of a block's first alternative in ink coordinates:
// points[0] top line left, points[1] baseline left, points[2] top line right,
// points[3] baseline right (top line at the block's letter height: x-height
// for small letters, capital height for capitals and digits). A word of dots
// only gives four equal points. reserved: 0. PSO_OK, PSO_ERR_BAD_ARG,
// PSO_ERR_NO_CONTEXT.
int32_t PSO_CALL PSO_GetRecWordBaseline(PSO_HRC context, int32_t block, int32_t reserved,
                                        PSO_POINT points[4]);

// The line of a block (0-based, in writing order) and the block's place in
// it. Either out pointer may be null. PSO_OK, PSO_ERR_BAD_ARG, PSO_ERR_NO_CONTEXT.
int32_t PSO_CALL PSO_GetAnswerLineInfo(PSO_HRC context, int32_t block, int32_t* line,
                                       int32_t* wordInLine);

// The characters of a block's first alternative: fills min(room, n) records
// (info null: none) and answers n. Negative codes as above.
int32_t PSO_CALL PSO_GetAnsBlockLowLevelInfo(PSO_HRC context, int32_t block, PSO_CHAR_INFO* info,
                                             int32_t room);

// Gives the context a lexicon: the bytes of a ".ban" file (format in
// family/lexicon/BanFormat.h), copied at once; it replaces the previous one.
// PSO_OK; PSO_ERR_FAILED for bytes that are not a valid lexicon (the previous
// one stays); PSO_ERR_BAD_ARG (null bytes, length below 1); PSO_ERR_NO_CONTEXT.
int32_t PSO_CALL PSO_AddLexGeneratorToRecContext(PSO_HRC context, const void* bytes,
                                                 int32_t length);

// Adds a user dictionary made from bytes: a dump of
// PSO_DumpUserDictToMemoryBuffer (it begins with the 18 bytes
// "Nubo dict v.1.01" and two blanks; those 18 bytes alone are an empty
// dictionary) or an old plain text list (words separated by line breaks,
// printable 8-bit text only). The bytes end at the first NUL byte, which the
// caller puts after them; the library reads nothing past it. bytes null: a
// new, empty dictionary. Null handle for a dump that is cut short or damaged,
// text with control bytes, a word that is too long, or no context.
PSO_HUSERDICT PSO_CALL PSO_AddUserDictToRecContext(PSO_HRC context, const void* bytes);

// With buffer null: the size in bytes of the dictionary's dump (0 for an
// empty dictionary: nothing to save). With a buffer, which must hold that many
// bytes: writes the dump and answers its size; the caller changes nothing in
// the dictionary between the two calls. A dump holds no NUL byte. Negative for
// no context or no such dictionary: a caller must never take a negative
// answer for "empty".
int32_t PSO_CALL PSO_DumpUserDictToMemoryBuffer(PSO_HRC context, PSO_HUSERDICT dictionary,
                                                void* buffer);

// What the dictionary offers (PSO_UDF_* bits) and, when wordCount is not
// null, its number of words. Negative codes as above.
#define PSO_UDF_ADD 0x1
#define PSO_UDF_CLEAR 0x2
#define PSO_UDF_ENUM 0x4
#define PSO_UDF_DUMP 0x8
int32_t PSO_CALL PSO_UserDict_Features(PSO_HRC context, PSO_HUSERDICT dictionary,
                                       int32_t* wordCount);

// Adds a word (1 to PSO_MAX_WORD_CHARS bytes, no control bytes, no leading or
// trailing blank). PSO_OK (also when the word is there already),
// PSO_ERR_BAD_ARG, PSO_ERR_NO_CONTEXT.
int32_t PSO_CALL PSO_UserDict_AddWord(PSO_HRC context, PSO_HUSERDICT dictionary, const char* word);

// Removes every word. PSO_OK, PSO_ERR_BAD_ARG, PSO_ERR_NO_CONTEXT.
int32_t PSO_CALL PSO_UserDict_Clear(PSO_HRC context, PSO_HUSERDICT dictionary);

// Drops the dictionary from the context and frees it; its handle dies. A
// context holds at most 64 dictionaries, so a caller that reloads a file
// drops the old copy first. PSO_OK, PSO_ERR_BAD_ARG (no such dictionary),
// PSO_ERR_NO_CONTEXT. Not every copy of the library has it: the program binds
// it by name and, without it, empties the old copy instead.
int32_t PSO_CALL PSO_RemoveUserDictFromRecContext(PSO_HRC context, PSO_HUSERDICT dictionary);

// Calls back once per word, in byte order, until the callback answers 0; the
// dictionary may change meanwhile (the walk is over a copy). PSO_OK when the
// walk ended (every word or a stop), PSO_ERR_BAD_ARG (null callback, no such
// dictionary), PSO_ERR_NO_CONTEXT.
int32_t PSO_CALL PSO_UserDict_EnumWords(PSO_HRC context, PSO_HUSERDICT dictionary,
                                        PSO_ENUMWORDS_CALLBACK callback, void* param);

#ifdef __cplusplus
}
#endif

#endif
