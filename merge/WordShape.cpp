#include "WordShape.h"

#include <cstring>

#include "TextFile.h"

namespace tessel {

const char* const kWordShapeNames[kWordShapeClasses] = {
    "error",
    "alphas only",
    "alpha numeric with one dash inside",
    "alphas only with 's at end",
    "alphas-numeric with several dashes inside",
    "digits only",
    "negative number",
    "alpha-numeric",
    "full phone (ddd)ddd-dddd",
    "7-digit phone",
    "area code",
    "alphas with one special character inside",
    "date dd/dd/dd",
    "amount",
    "the only special character",
    "positive number",
    "digits beginning with minus",
    "alphas with one ' inside",
    "alphas with one - inside",
    "full phone ddd-ddd-dddd",
    "date or fraction dd/dd",
    "d) or a)",
    "time",
    "e-mail address",
    "percents",
    "alphas and points",
    "digits and one - not at end",
    "alphas in \"\"",
    "alphas only with s at end",
    "date dd-dd-dd",
    "alphas with one / inside",
    "digits with one / inside",
    "alphas and digits with / inside",
    "alphas beginning with \"",
    "alphas ending by \"",
    "digits and dashes inside",
    "special characters only",
    "alpha numeric with one special inside",
    "alphas beginning with -",
    "digits beginning with slash",
    "social security number",
    "alphas ending by slash",
    "digits ending by / or -",
    "alphas followed by punctuation in \"\"",
    "alphas beginning with /",
    "",
    "anything in other brackets or quotes",
    "digits only beginning with #",
    "digits and specials beginning with #",
    "alphas followed by ...",
    "alphas followed by .,",
    "anything in () followed by punctuation",
    "alphas followed by .",
    "alphas followed by ,",
    "alphas followed by !",
    "alphas followed by ?",
    "alphas followed by :",
    "alphas followed by ;",
    "alphas followed by -",
    "alphas followed by '",
    "alphas only in ()",
    "digits only in ()",
    "digits and specials in ()",
    "other expression in ()",
    "alphas beginning with (",
    "digits beginning with (",
    "alphas ending by )",
    "digits ending by )",
    "alphas ending by single other brace",
    "anything ending by single other brace",
    "something ending by ).",
    "something ending by ),",
    "alphas beginning with single other brace",
    "anything begins with single other brace",
    "something ending by two specials",
    "other expression ending by )",
    "other expression beginning with (",
    "alphas's followed by punctuation",
    "alphas with one ' inside followed by punctuation",
    "alphas with one - inside followed by punctuation",
    "digits followed by punctuation",
    "alpha-numeric followed by punctuation",
    "alphas followed by ) and punctuation",
    "alphas beginning with ( ending by punctuation",
    "alphas beginning with \" ending by punctuation",
    "digits and specials followed by punctuation",
    "other cases followed by punctuation",
    "digits and specials without alphas",
    "alpha-punctuation word followed by punctuation",
    "formatted number",
    "anything in any braces",
    "anything ending by ) and punctuation",
    "specific alpha-numeric cases",
    "alpha-punctuation word",
    "alphas followed by punctuation",
    "alphas in any braces",
    "",
    "",
    "seldom character",
    "not classified",
};

namespace {

constexpr const char* kKeptPunctuation = "-();!\"$,@?#'. :";
constexpr const char* kSpecials = "/+-();:!\"$%&,@?<>{}~#*^'.=\\|_[]";
constexpr const char* kFinalMarks = ";!,?'.:-";

bool in(const char* set, char c) { return c != '\0' && std::strchr(set, c) != nullptr; }

// The shape string of a text and what it is made of.
struct Shape {
    char s[512];
    int n = 0;
    int letters = 0, digits = 0, kept = 0, hyphens = 0, stops = 0, specials = 0, others = 0;
    char lastMark = 0;  // the last punctuation or special other than a full stop
    char lastChar = 0;  // the text's own last character that is not a blank

    char first() const { return s[0]; }
    char last() const { return s[n - 1]; }
    bool is(const char* pattern) const { return std::strcmp(s, pattern) == 0; }
    bool anyOf(const char* const* patterns, size_t count) const {
        for (size_t i = 0; i < count; ++i)
            if (is(patterns[i])) return true;
        return false;
    }
    int count(char c) const {
        int k = 0;
        for (int i = 0; i < n; ++i) k += s[i] == c;
        return k;
    }
    bool alnumAt(int i) const { return s[i] == 'A' || s[i] == 'D'; }
};

// Characters beyond the buffer are left out of the shape (answers are short;
// a text this long is "not classified" whatever its end).
void buildShape(const char* text, int length, Shape& shape) {
    for (int i = 0; i < length && shape.n < static_cast<int>(sizeof shape.s) - 1; ++i) {
        const char c = text[i];
        if (c == ' ') continue;
        char out;
        if (isAsciiLetter(c)) {
            out = 'A';
            ++shape.letters;
        } else if (isAsciiDigit(c)) {
            out = 'D';
            ++shape.digits;
        } else if (in(kKeptPunctuation, c)) {
            out = c;
            ++shape.kept;
            if (c == '-') ++shape.hyphens;
            if (c == '.') ++shape.stops;
            if (c != '.') shape.lastMark = c;
        } else if (in(kSpecials, c)) {
            out = c;
            ++shape.specials;
            shape.lastMark = c;
        } else {
            out = '_';
            ++shape.others;
        }
        shape.s[shape.n++] = out;
        shape.lastChar = c;
    }
    shape.s[shape.n] = '\0';
}

#define PATTERNS(...)                                  \
    [&] {                                              \
        static const char* const p[] = {__VA_ARGS__};  \
        return shape.anyOf(p, sizeof p / sizeof p[0]); \
    }()

bool endsWithDaySuffix(const char* text, int length) {
    if (length < 2) return false;
    const char a = text[length - 2], b = text[length - 1];
    return (a == 'p' && b == 'm') || (a == 'P' && b == 'M') || (a == 'a' && b == 'm') ||
           (a == 'A' && b == 'M');
}

int finalMarkClass(char c) {
    switch (c) {
        case '.':
            return 52;
        case ',':
            return 53;
        case '!':
            return 54;
        case '?':
            return 55;
        case ':':
            return 56;
        case ';':
            return 57;
        case '-':
            return 58;
        default:
            return 59;  // '\''
    }
}

// One character (not first, not last) of the shape string is `c`, and it is
// the only character that is not a letter.
bool oneInside(const Shape& shape, char c) {
    return shape.n >= 3 && shape.first() != c && shape.last() != c && shape.count(c) == 1;
}

// The tests after the templates, over the whole shape string and the text
// itself (whose character i is read with spaces counted).
int32_t lateClass(const Shape& shape, const char* text) {
    const int n = shape.n;
    const int L = shape.letters, D = shape.digits;
    const char first = shape.first(), last = shape.last();
    if (n >= 5 && first == '"' && last == '"' && L == n - 3 && in(kFinalMarks, shape.s[n - 2]))
        return 43;
    if (n >= 3 && ((first == '{' && last == '}') || (first == '<' && last == '>') ||
                   (first == '"' && last == '"') || (first == '\'' && last == '\'') ||
                   (first == '[' && last == ']')))
        return 46;
    if (n >= 2 && first == '#') {
        if (D == n - 1) return 47;
        if (L == 1) return 48;
    }
    if (n >= 4 && shape.s[n - 1] == '.' && shape.s[n - 2] == '.' && shape.s[n - 3] == '.' &&
        L == n - 3)
        return 49;
    if (n >= 3 && last == ',' && shape.s[n - 2] == '.' && L == n - 2) return 50;
    if (n >= 5 && first == '(' && shape.s[n - 2] == ')' && in(kFinalMarks, last)) return 51;
    if (first == '(' && last == ')') {
        if (L >= 1 && L == n - 2) return 60;
        if (D >= 1 && D == n - 2) return 61;
        if (D >= 1 && L == 0) return 62;
        return 63;
    }
    if (first == '(' && L >= 1 && L == n - 1) return 64;
    if (first == '(' && D >= 1 && D == n - 1) return 65;
    if (last == ')') {
        if (L >= 1 && L == n - 1) return 66;
        if (D >= 1 && D == n - 1) return 67;
        return 75;
    }
    const char textLast = text[n - 1];
    if (in("\")]}>", textLast)) return L >= 1 && L == n - 1 ? 68 : 69;

    auto leadingBrace = [&]() -> int32_t {
        if (!in("(\"{<[", text[0])) return 0;
        if (text[0] == '(') return 76;
        return L == n - 1 ? 72 : 73;
    };
    if (n > 1 && in(kFinalMarks, textLast)) {
        if (L == n - 2 && n >= 5 && shape.s[n - 3] == '\'' &&
            (text[n - 2] == 's' || text[n - 2] == 'S'))
            return 77;
        if (L == n - 2 && n >= 3) {
            // The shape without its final mark holds the mark inside it.
            auto insideBeforeMark = [&](char c) {
                for (int i = 1; i < n - 2; ++i)
                    if (shape.s[i] == c) return true;
                return false;
            };
            if (insideBeforeMark('\'')) return 78;
            if (insideBeforeMark('-')) return 79;
        }
        if (D == n - 1) return 80;
        if (L + D == n - 1) return 81;
        if (L == n - 2 && n >= 5 && first == '(') return 83;
        if (L == n - 2 && n >= 5 && first == '"') return 84;
        if (n >= 4) {
            if (text[n - 2] == ')') {
                if (L == n - 2) return 82;
                if (textLast == '.') return 70;
                if (textLast == ',') return 71;
            }
            if (!shape.alnumAt(n - 1) && !shape.alnumAt(n - 2)) return 74;
        }
        if (D >= 1 && L == 0) return 85;
        if (const int32_t c = leadingBrace()) return c;
        return 86;
    }
    if (n > 1) {
        if (const int32_t c = leadingBrace()) return c;
    }
    if (D >= 1 && L == 0) return 87;
    if (D == 0 && first == 'A' && last == 'A') return 11;
    if (shape.specials > 0 || shape.others > 0) return 98;
    return 99;
}

}  // namespace

int32_t rawWordShape(const char* text, int32_t lastIndex) {
    if (!text || lastIndex < 0) return 0;
    const int length = lastIndex + 1;
    Shape shape;
    buildShape(text, length, shape);
    const int n = shape.n;
    if (n == 0) return 0;
    const int L = shape.letters, D = shape.digits;
    const char first = shape.first(), last = shape.last();

    const bool plural = shape.lastChar == 's' || shape.lastChar == 'S';
    if (L == n) return plural ? 28 : 1;
    if (n >= 2 && L == n - 1 && in(kFinalMarks, last)) return finalMarkClass(last);
    if (n >= 4 && L == n - 1 && shape.s[n - 2] == '\'' && plural) return 3;
    if (D == n) return 5;
    if (n >= 2 && first == '-' && D == n - 1) return 16;
    if (n >= 4 && first == '-' && shape.stops == 1 && D == n - 2 && shape.s[1] != '.' &&
        last != '.')
        return 6;
    if (endsWithDaySuffix(text, length) &&
        PATTERNS("DAA", "D:DDAA", "DD:DDAA", "D.DDAA", "DD.DDAA"))
        return 22;
    if (PATTERNS("D:DD", "DD:DD")) return 22;
    if (L + D == n) return 7;
    if (shape.is("(DDD)DDD-DDDD")) return 8;
    if (shape.is("DDD-DDDD")) return 9;
    if (shape.is("(DDD)")) return 10;
    if (PATTERNS("DD/DD/DD", "D/DD/DD", "D/D/DD", "DD/D/DD", "DD/DD/DDDD", "D/DD/DDDD", "D/D/DDDD",
                 "DD/D/DDDD"))
        return 12;
    if (PATTERNS("DD-DD-DD", "D-DD-DD", "D-D-DD", "DD-D-DD", "DD-DD-DDDD", "D-DD-DDDD", "D-D-DDDD",
                 "DD-D-DDDD"))
        return 29;
    if (PATTERNS("$D.DD", "$DD.DD", "$DDD.DD", "$D,DDD.DD", "$DD,DDD.DD", "$D.D", "$DD.D", "$DDD.D",
                 "$D,DDD.D", "$DD,DDD.D", "$DDD,DDD.DD", "$DDD,DDD.D", "$DDD,DDD", "$D", "$DD",
                 "$DDD", "$D,DDD", "$DD,DDD"))
        return 13;
    if (n == 1 && shape.kept + shape.specials == 1) return 14;
    if (PATTERNS("D,DDD.DD", "DD,DDD.DD", "D,DDD.D", "DD,DDD.D", "D,DDD", "DD,DDD", "DDD,DDD",
                 "D,DDD,DDD", "DD,DDD,DDD"))
        return 15;
    if (n >= 3 && shape.stops == 1 && D == n - 1 && first != '.' && last != '.') return 15;
    if (L == n - 1) {
        if (oneInside(shape, '\'')) return 17;
        if (oneInside(shape, '-')) return 18;
    }
    if (shape.is("DDD-DDD-DDDD")) return 19;
    if (shape.is("DDD-DD-DDDD")) return 40;
    if (PATTERNS("DD/DD", "D/DD", "D/D", "DD/D")) return 20;
    if (shape.is("A)") || shape.is("D)")) return 21;

    if (L + D + shape.stops == n - 1 && shape.lastMark == '@') return 23;
    if (last == '%') {
        if (D == n - 1) return 24;
        if (n >= 4 && shape.stops == 1 && D == n - 2 && first != '.' && shape.s[n - 2] != '.')
            return 24;
    }
    if (L >= 1 && L + shape.stops == n && first != '.' &&
        (n < 3 || !(shape.s[n - 1] == '.' && shape.s[n - 2] == '.' && shape.s[n - 3] == '.')))
        return 25;
    if (D == n - 1 && shape.lastMark == '-' && last == 'D') return 26;
    if (L + D == n - 1 && shape.hyphens == 1 && shape.alnumAt(0) && shape.alnumAt(n - 1)) return 2;
    if (n >= 3 && first == '"' && last == '"' && L == n - 2) return 27;
    if (L == n - 1 && oneInside(shape, '/')) return 30;
    if (D == n - 1 && oneInside(shape, '/')) return 31;
    if (L + D == n - 1 && oneInside(shape, '/')) return 32;
    if (L == n - 1 && first == '"') return 33;
    if (L == n - 1 && last == '"') return 34;
    if (D >= 1 && D + shape.hyphens == n && first != '-' && last != '-') return 35;
    if (L >= 1 && L + D + shape.hyphens == n && first != '-' && last != '-') return 4;
    if (L == 0 && D == 0) return 36;
    if (L + D == n - 1 && shape.kept == 1 && shape.alnumAt(0) && shape.alnumAt(n - 1)) return 37;
    if (L == n - 1 && first == '-') return 38;
    if (L == n - 1 && first == '/') return 44;
    if (D == n - 1 && first == '/') return 39;
    if (L == n - 1 && last == '/') return 41;
    if (D == n - 1 && (last == '-' || last == '/')) return 42;
    return lateClass(shape, text);
}

#undef PATTERNS

int32_t wordShapeClass(const char* text) {
    if (!text) return 0;
    const int32_t raw = rawWordShape(text, static_cast<int32_t>(std::strlen(text)) - 1);
    // A plural is an ordinary word to the features; a text of marks alone is
    // no answer at all, and a seldom character tells nothing a class would.
    switch (raw) {
        case 28:
            return 1;
        case 36:
            return 0;
        case 98:
            return 99;
        default:
            return raw;
    }
}

namespace {

// Front cut, back cut, data kind, weight, lex statistic, statistics A and B.
const WordShapeTraits kTraits[kWordShapeClasses] = {
    {0, 0, 1, 7, 0.0, 0.0, 0.0},              // 0 error
    {0, 0, 2, 0, 79.68313, 83.234, 77.869},   // 1 alphas only
    {0, 0, 1, 7, 76.5625, 61.572, 51.792},    // 2 alpha numeric with one dash
    {0, 2, 2, 2, 82.997118, 45.118, 41.735},  // 3 alphas with 's
    {0, 0, 1, 7, 0.0, 0.0, 0.0},              // 4 several dashes
    {0, 0, 4, 0, 86.960116, 66.161, 59.289},  // 5 digits only
    {0, 0, 4, 1, 71.2, 58.4, 52.0},           // 6 negative number
    {0, 0, 1, 5, 48.3, 40.6, 36.1},           // 7 alpha-numeric
    {0, 0, 4, 1, 88.1, 70.2, 64.8},           // 8 full phone
    {0, 0, 4, 1, 84.5, 67.9, 61.3},           // 9 7-digit phone
    {0, 0, 4, 1, 80.0, 62.5, 57.5},           // 10 area code
    {0, 0, 2, 4, 41.7, 35.2, 30.9},           // 11
    {0, 0, 4, 1, 85.6, 68.8, 62.0},           // 12 date dd/dd/dd
    {0, 0, 4, 1, 83.3, 66.7, 60.1},           // 13 amount
    {0, 0, 2, 6, 22.4, 18.0, 15.2},           // 14 the only special
    {0, 0, 4, 1, 81.9, 64.0, 58.3},           // 15 positive number
    {1, 0, 3, 1, 74.0, 57.1, 50.6},           // 16 digits after minus
    {0, 0, 2, 2, 72.5, 60.8, 54.4},           // 17 one ' inside
    {0, 0, 2, 2, 70.1, 58.9, 52.7},           // 18 one - inside
    {0, 0, 4, 1, 87.4, 69.5, 63.9},           // 19 full phone
    {0, 0, 3, 2, 76.8, 59.6, 53.2},           // 20 date or fraction
    {0, 1, 1, 5, 44.0, 36.3, 31.0},           // 21 d) or a)
    {0, 0, 4, 1, 82.2, 65.4, 59.8},           // 22 time
    {0, 0, 2, 3, 68.7, 55.0, 49.1},           // 23 e-mail
    {0, 1, 3, 1, 79.3, 62.1, 56.0},           // 24 percents
    {0, 0, 2, 4, 52.6, 43.8, 38.2},           // 25 alphas and points
    {0, 0, 3, 3, 60.4, 48.7, 43.0},           // 26 digits and one -
    {1, 1, 2, 3, 66.0, 52.9, 47.5},           // 27 alphas in ""
    {0, 0, 2, 0, 78.9, 80.5, 75.2},           // 28 alphas with s at end
    {0, 0, 4, 1, 84.9, 67.3, 61.1},           // 29 date dd-dd-dd
    {0, 0, 2, 4, 50.3, 41.4, 36.8},           // 30 one / inside
    {0, 0, 3, 3, 61.8, 49.9, 44.2},           // 31 digits with one /
    {0, 0, 1, 5, 39.5, 32.0, 27.6},           // 32 alphas and digits with /
    {1, 0, 2, 3, 64.2, 51.6, 46.0},           // 33 beginning with "
    {0, 1, 2, 3, 63.7, 51.0, 45.4},           // 34 ending by "
    {0, 0, 3, 3, 58.8, 47.2, 41.9},           // 35 digits and dashes
    {0, 0, 1, 7, 0.0, 0.0, 0.0},              // 36 specials only
    {0, 0, 1, 5, 36.9, 30.1, 25.8},           // 37 one special inside
    {1, 0, 2, 3, 55.1, 45.0, 39.7},           // 38 beginning with -
    {1, 0, 3, 3, 53.0, 42.9, 37.9},           // 39 digits after /
    {0, 0, 4, 1, 86.2, 69.0, 62.7},           // 40 social security number
    {0, 1, 2, 3, 54.5, 44.1, 39.0},           // 41 ending by /
    {0, 1, 3, 3, 56.7, 45.9, 40.6},           // 42 digits ending by / or -
    {1, 2, 2, 3, 62.3, 50.2, 44.8},           // 43
    {1, 0, 2, 3, 51.8, 42.2, 37.3},           // 44 beginning with /
    {0, 0, 1, 7, 0.0, 0.0, 0.0},              // 45
    {1, 1, 1, 5, 45.6, 37.0, 32.4},           // 46 other brackets
    {1, 0, 3, 2, 73.4, 57.8, 51.9},           // 47 # and digits
    {1, 0, 1, 4, 49.0, 39.8, 34.9},           // 48 # digits and specials
    {0, 3, 2, 2, 75.5, 61.0, 55.3},           // 49 followed by ...
    {0, 2, 2, 2, 69.9, 56.3, 50.4},           // 50 followed by .,
    {1, 2, 1, 5, 40.8, 33.4, 28.9},           // 51
    {0, 1, 2, 1, 81.4, 73.5, 68.0},           // 52 followed by .
    {0, 1, 2, 1, 80.7, 72.9, 67.1},           // 53 followed by ,
    {0, 1, 2, 2, 77.1, 66.0, 60.2},           // 54 followed by !
    {0, 1, 2, 2, 76.4, 65.2, 59.5},           // 55 followed by ?
    {0, 1, 2, 2, 74.8, 63.7, 57.9},           // 56 followed by :
    {0, 1, 2, 2, 72.0, 61.3, 55.6},           // 57 followed by ;
    {0, 1, 2, 3, 65.3, 54.1, 48.4},           // 58 followed by -
    {0, 1, 2, 3, 63.0, 52.0, 46.6},           // 59 followed by '
    {1, 1, 2, 2, 71.6, 59.0, 53.5},           // 60 alphas in ()
    {1, 1, 3, 2, 73.9, 58.2, 52.6},           // 61 digits in ()
    {1, 1, 1, 4, 57.2, 46.4, 41.1},           // 62
    {1, 1, 1, 5, 42.9, 34.7, 30.2},           // 63
    {1, 0, 2, 3, 67.4, 54.6, 49.0},           // 64 beginning with (
    {1, 0, 3, 3, 66.6, 53.3, 47.8},           // 65
    {0, 1, 2, 3, 67.0, 54.0, 48.6},           // 66 ending by )
    {0, 1, 3, 3, 65.8, 52.7, 47.1},           // 67
    {0, 1, 2, 3, 61.1, 49.4, 44.0},           // 68
    {0, 1, 1, 5, 38.2, 31.1, 26.7},           // 69
    {0, 2, 1, 4, 47.5, 38.6, 33.8},           // 70 ending by ).
    {0, 2, 1, 4, 46.8, 38.0, 33.1},           // 71 ending by ),
    {1, 0, 2, 3, 59.9, 48.1, 42.7},           // 72
    {1, 0, 1, 5, 37.4, 30.5, 26.2},           // 73
    {0, 2, 1, 5, 35.0, 28.4, 24.5},           // 74 two specials at the end
    {0, 1, 1, 5, 34.3, 27.9, 23.8},           // 75
    {1, 0, 1, 5, 33.6, 27.2, 23.1},           // 76
    {0, 3, 2, 2, 74.4, 60.3, 54.8},           // 77 's followed by punctuation
    {0, 1, 2, 2, 70.9, 57.4, 51.8},           // 78
    {0, 1, 2, 3, 68.2, 55.7, 50.0},           // 79
    {0, 1, 3, 2, 77.7, 61.7, 55.9},           // 80 digits followed by punctuation
    {0, 1, 1, 4, 45.0, 36.6, 31.7},           // 81
    {0, 2, 2, 3, 58.1, 47.7, 42.3},           // 82
    {1, 1, 2, 3, 60.7, 48.9, 43.5},           // 83
    {1, 1, 2, 3, 59.4, 47.9, 42.5},           // 84
    {0, 1, 3, 3, 62.9, 50.6, 45.2},           // 85
    {0, 1, 1, 5, 31.9, 26.0, 22.3},           // 86 other cases with punctuation
    {0, 0, 3, 3, 57.9, 46.9, 41.5},           // 87 digits and specials
    {0, 1, 1, 5, 30.5, 25.1, 21.4},           // 88
    {0, 0, 4, 1, 80.3, 63.1, 57.0},           // 89 formatted number
    {1, 1, 1, 5, 36.2, 29.3, 25.0},           // 90
    {0, 2, 1, 5, 33.0, 26.8, 22.9},           // 91
    {0, 0, 1, 5, 40.1, 32.6, 28.3},           // 92
    {0, 0, 2, 4, 43.4, 35.5, 31.3},           // 93
    {0, 1, 2, 2, 73.1, 62.6, 56.9},           // 94 alphas followed by punctuation
    {1, 1, 2, 3, 56.0, 45.5, 40.3},           // 95
    {0, 0, 1, 7, 0.0, 0.0, 0.0},              // 96
    {0, 0, 1, 7, 0.0, 0.0, 0.0},              // 97
    {0, 0, 1, 6, 12.5, 10.2, 8.8},            // 98 seldom character
    {0, 0, 1, 6, 18.3, 14.9, 12.7},           // 99 not classified
};

}  // namespace

const WordShapeTraits& wordShapeTraits(int32_t shapeClass) {
    if (shapeClass < 0 || shapeClass >= kWordShapeClasses) shapeClass = kWordShapeClasses - 1;
    return kTraits[shapeClass];
}

}  // namespace tessel
