// The word-list file of the platform recognizer's user dictionary: a text file
// whose first line is the stamp "WinRec wordlist Version 1.0", then one word a
// line (CR LF on disk, the process's default code page).
#pragma once

#include <string>
#include <vector>

// Loads the words of `path` into `words`. A missing file with `mayBeMissing`
// is an empty list and true; a file that exists but cannot be opened (held by
// another program, reading denied) fails like any other. On any failure
// `words` is empty and the result false.
bool LoadWinRecDictFromFile(const std::wstring& path, std::vector<std::wstring>& words,
                            bool mayBeMissing);

// Writes `words` (empty words are skipped) to `path`. The new file takes the
// old one's place only once it is complete: a save that fails leaves the old
// file as it was. With a non-empty `backupExtension` a copy of the old file is
// kept as path+extension. A word the code page cannot hold fails the save
// rather than being written as "?".
bool SaveWinRecDictToFile(const std::vector<std::wstring>& words, const std::wstring& path,
                          const wchar_t* backupExtension);
