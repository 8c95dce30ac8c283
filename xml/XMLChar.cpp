#include "xml/XMLChar.h"

XString xmlTrim(const XString& text) {
    size_t first = 0, last = text.size();
    while (first < last && xmlIsWhite(static_cast<unsigned>(text[first]))) ++first;
    while (last > first && xmlIsWhite(static_cast<unsigned>(text[last - 1]))) --last;
    return text.substr(first, last - first);
}
