// The few platform services the portable layers of the XML library use: files
// for loading and saving, the debugger output, code-page conversion and time
// zones. On Windows they sit on the file class and the path helpers; the host
// build (sanitizer tests, fuzzing) has a POSIX implementation.
#pragma once

#include <cstddef>
#include <memory>

#include "xml/XMLChar.h"
#include "xml/XMLStream.h"

// Opens an existing file for reading, shared for reading, as a stream. On
// failure `errorText` holds the system's message.
bool xmlOpenFileStream(const xchar* path, std::unique_ptr<IXMLStream>& stream, XString& errorText);

// Puts a file with exactly these bytes in place of `path`: the bytes go to a new
// file in the same folder, which replaces the old file only once it is
// complete. On failure the old file is untouched and no new file is left.
bool xmlReplaceFile(const xchar* path, const void* bytes, size_t size);

// The attributes of the path can be read and, with filesOnly, it is no directory.
bool fileExists(const xchar* path, bool filesOnly);
