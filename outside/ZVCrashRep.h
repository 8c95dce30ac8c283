// ZVCrashRep: the product family's crash reporter, as the program sees it.
// Both functions are exported by their plain names (__cdecl) and imported by name.
#pragma once

#include <windows.h>

#define ZVCRASHREP_CALL __cdecl

#ifdef __cplusplus
extern "C" {
#endif

// Where reports should be mailed ("SMTP:" followed by an address) and option
// bits; kept and written into every report.
void ZVCRASHREP_CALL ZvCrashRepMailOptions(const WCHAR* mailOptions, int flags);

// An unhandled-exception filter: writes a crash report beside the program
// ("<program>.crash.txt") and answers EXCEPTION_EXECUTE_HANDLER, so the
// process ends. It allocates nothing, so a damaged heap does not stop it.
LONG ZVCRASHREP_CALL ZvCrashRepExceptionFilter(EXCEPTION_POINTERS* exception);

#ifdef __cplusplus
}
#endif
