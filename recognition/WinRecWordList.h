// The word-list file of the platform recognizer's user dictionary: a text file
// whose first line is the stamp "WinRec wordlist Version 1.0", then one word a
// line (CR LF on disk, the process's default code page).
#pragma once

#include <string>
#include <vector>

// Loads the words of `path` into `words`. A missing file with `mayBeMissing`
// is an empty list and true. On any failure `words` is empty and the result false.
bool LoadWinRecDictFromFile(const std::wstring& path, std::vector<std::wstring>& words,
                            bool mayBeMissing);

// Writes `words` (empty words are skipped) to `path`. With a non-empty
// `backupExtension` the old file is kept as path+extension while writing and
// put back when the save fails. A word the code page cannot hold fails the
// save rather than being written as "?".
bool SaveWinRecDictToFile(const std::vector<std::wstring>& words, const std::wstring& path,
                          const wchar_t* backupExtension);
