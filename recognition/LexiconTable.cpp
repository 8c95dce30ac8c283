#include "recognition/LexiconTable.h"

#include <windows.h>

std::wstring LexiconTable::fieldTypeOf(const std::wstring& name) {
    const LexiconEntry* entry = find(name);
    return entry ? entry->fieldType : L"";
}

const LexiconEntry* LexiconTable::find(const std::wstring& name) {
    for (const LexiconEntry& entry : entries()) {
        if (CompareStringW(LOCALE_INVARIANT, NORM_IGNORECASE, entry.name, -1, name.c_str(), -1) ==
            CSTR_EQUAL)
            return &entry;
    }
    return nullptr;
}

const std::vector<LexiconEntry>& LexiconTable::entries() {
    static const std::vector<LexiconEntry> table = {
        {L"age", L"NUMBER", 2, false},
        {L"alpha", L"DEFAULT", 2, false},
        {L"alphanumeric", L"DEFAULT", 2, false},
        {L"amount", L"NUMBER", 2, false},
        {L"city", L"DEFAULT", 2, false},
        {L"company", L"DEFAULT", 2, false},
        {L"csz", L"DEFAULT", 2, false},
        {L"currency", L"CURRENCY", 2, true},
        {L"date", L"DATE", 2, true},
        {L"datealpha", L"DATE", 2, false},
        {L"datenumeric", L"DATE", 2, false},
        {L"datenumeric_eu", L"DATE", 2, false},
        {L"day", L"DATE", 2, false},
        {L"default", L"DEFAULT", 1, true},
        {L"driverlicense", L"DEFAULT", 2, false},
        {L"e-mail", L"EMAIL", 3, true},
        {L"empty", L"WORDLIST", 2, true},
        {L"filename", L"FILENAME", 2, true},
        {L"firstname", L"DEFAULT", 2, false},
        {L"fullname", L"DEFAULT", 2, false},
        {L"lastname", L"DEFAULT", 2, false},
        {L"middleinitial", L"DEFAULT", 3, false},
        {L"month", L"DEFAULT", 2, false},
        {L"numeric", L"NUMBER", 2, true},
        {L"percent", L"PERCENT", 2, true},
        {L"phone", L"TELEPHONE", 2, true},
        {L"singlesym", L"ONECHAR", 2, true},
        {L"ssn", L"NUMBER", 3, false},
        {L"state", L"DEFAULT", 2, false},
        {L"streetaddress", L"DEFAULT", 2, false},
        {L"time", L"TIME", 2, true},
        {L"www", L"WEB", 2, true},
        {L"year", L"NUMBER", 3, false},
        {L"zip", L"POSTALCODE", 3, true},
    };
    return table;
}
