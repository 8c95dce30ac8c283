#include "StudyProbabilities.h"

#include <algorithm>
#include <cstring>

#include "TextFile.h"

namespace tessel {

namespace {

constexpr size_t kStudyTextMax = 99;
// A "wrd+" recognizer's list holds the other's answer when it scores at most
// this far below its own top answer.
constexpr int64_t kInListGap = 224;

enum SubType {
    kSubWord = 1,
    kSubDigits = 2,
    kSubCode = 3,
    kSubDigitsCommas = 4,
    kSubCensus = 5,
    kSubSignature = 9,
    kSubWordNoCase = 10,
};

double clamp01(double p) {
    if (!(p >= 0.0)) return 0.0;  // also a value that is not a number
    return p > 1.0 ? 1.0 : p;
}

void removeChars(char* s, const char* drop) {
    char* w = s;
    for (const char* r = s; *r; ++r)
        if (!std::strchr(drop, *r)) *w++ = *r;
    *w = '\0';
}

bool allDigits(const char* s) {
    for (; *s; ++s)
        if (!isAsciiDigit(*s)) return false;
    return true;
}

struct Top {
    char text[kStudyTextMax + 1] = "";
    double value = 0.0;
};

}  // namespace

void normaliseStudyText(const char* text, int32_t subType, char* out) {
    size_t n = 0;
    for (; text && text[n] && n < kStudyTextMax; ++n) out[n] = text[n];
    out[n] = '\0';
    switch (subType) {
        case kSubDigits:
            removeChars(out, ",");
            break;
        case kSubDigitsCommas:
            removeChars(out, ".,");
            break;
        case kSubCensus:
            removeChars(out, ".'_");
            for (char* at = std::strstr(out, "@/"); at; at = std::strstr(at + 1, "@/")) *at = '1';
            toUpperAscii(out);
            break;
        case kSubWordNoCase:
            toUpperAscii(out);
            break;
        case kSubSignature:
            toLowerAscii(out);
            break;
        default:
            break;
    }
}

bool studyTextAccepted(const char* t, int32_t subType) {
    switch (subType) {
        case kSubWord:
        case kSubCensus:
            return std::strcmp(t, "*") != 0 && std::strcmp(t, "-----") != 0;
        case kSubSignature:
            for (const char* word : {"copy", "genuine", "forgery", "random"})
                if (std::strcmp(t, word) == 0) return true;
            return false;
        case kSubWordNoCase:
            return std::strcmp(t, "*") != 0;
        default:
            break;
    }
    if (!allDigits(t)) return false;
    const size_t n = std::strlen(t);
    const bool leadingZero = t[0] == '0';
    switch (subType) {
        case kSubDigitsCommas:
            return leadingZero ? n == 3 : n >= 3 && n <= 7;
        case kSubDigits:
            return n <= 5 && (!leadingZero || n == 1);
        case kSubCode:
            return n == 2;
        default:
            return true;
    }
}

double confidenceToProbability(const double* L, const double* P, int count, double x) {
    int upper;
    if (x < L[0]) {
        upper = 1;
    } else if (x > L[count - 1]) {
        upper = count - 1;
    } else {
        upper = count - 1;
        for (int j = 1; j < count; ++j) {
            if (x < L[j]) {
                upper = j;
                break;
            }
        }
    }
    const double b = L[upper - 1], c = L[upper], d = P[upper - 1], e = P[upper];
    if (b != c) return d + (e - d) * (x - b) / (c - b);
    return 0.5 * (d + e);
}

namespace {

// The interval (0..9) of a value among the eleven borders of a row.
int intervalOf(const double* borders, double x) {
    int f = 0;
    while (f < 9 && x >= borders[f + 1]) ++f;
    return f;
}

// The direction of the neighbouring interval that the value leans towards.
int neighbour(int f, double x, double middle, bool full) {
    if (full) return f == 0 || (f != 9 && x > middle) ? 1 : -1;
    if (f == 0 || f == 9) return 0;
    return x > middle ? 1 : -1;
}

// How far the value lies from its interval's middle towards the neighbour's.
double weightTowards(const double* borders, int f, int u, double x, double middle) {
    const double span = 0.5 * (borders[f + u] + borders[f + u + 1]) - middle;
    // Borders that repeat give no distance to interpolate over.
    return span != 0.0 ? (x - middle) / span : 0.0;
}

}  // namespace

double pairProbability(const StudyPairBlock& block, int pairCase, double x, double y) {
    const int set = pairCase == 0 ? 0 : pairCase <= 2 ? 1 : 2;
    const double* B1 = block.borders[set];
    const double* B2 = block.borders[set + 3];
    const int f = intervalOf(B1, x), g = intervalOf(B2, y);
    const double t = 0.5 * (B1[f] + B1[f + 1]);
    const double m = 0.5 * (B2[g] + B2[g + 1]);
    const bool full = block.fullInterpolation != 0;
    const int u = neighbour(f, x, t, full), v = neighbour(g, y, m, full);
    const double C = full || u != 0 ? weightTowards(B1, f, u, x, t) : 0.0;
    const double D = v != 0 ? weightTowards(B2, g, v, y, m) : 0.0;
    const auto& T = block.tables[pairCase];
    const double p00 = T[f][g], p01 = T[f][g + v], p10 = T[f + u][g], p11 = T[f + u][g + v];
    return clamp01(p00 + C * (p10 - p00) + D * (p01 - p00) + C * D * (p11 + p00 - p10 - p01));
}

void pairStudy(const StudyPairBlock& block, const char* firstText, double firstValue,
               double* firstOut, const char* secondText, double secondValue, double* secondOut,
               bool inList) {
    const bool hasFirst = *firstText != '\0', hasSecond = *secondText != '\0';
    double p1 = 0.0, p2 = 0.0;
    if (hasFirst && hasSecond && std::strcmp(firstText, secondText) == 0) {
        p1 = firstOut ? pairProbability(block, kPairEqual, firstValue, secondValue) : 0.0;
        p2 = secondOut ? pairProbability(block, kPairEqual, firstValue, secondValue) : 0.0;
    } else if (hasFirst && hasSecond) {
        const int a = inList ? kPairInListFirstRight : kPairDifferentFirstRight;
        const int b = inList ? kPairInListSecondRight : kPairDifferentSecondRight;
        if (firstOut) p1 = pairProbability(block, a, firstValue, secondValue);
        if (secondOut) p2 = pairProbability(block, b, firstValue, secondValue);
    } else if (hasFirst) {
        if (firstOut)
            p1 = pairProbability(block, kPairDifferentFirstRight, firstValue, secondValue);
    } else if (hasSecond) {
        if (secondOut)
            p2 = pairProbability(block, kPairDifferentSecondRight, firstValue, secondValue);
    }
    if (firstOut) *firstOut = p1;
    if (secondOut) *secondOut = p2;
}

int64_t rankGapInList(AnswerList* list, int32_t subType, const char* text) {
    if (!list || !text) return -1;
    char wanted[kStudyTextMax + 1], answer[kStudyTextMax + 1];
    normaliseStudyText(text, subType, wanted);
    for (int32_t i = 0; i < list->count(); ++i) {
        normaliseStudyText(list->textAt(i), subType, answer);
        if (std::strcmp(answer, wanted) == 0)
            return static_cast<int64_t>(list->valueAt(0, 0)) - list->valueAt(i, 0);
    }
    return -1;
}

void studyProbabilities(const MergeStudy& study, AnswerList* const lists[3], double out[3]) {
    if (study.writeMode == 1 || study.writeMode == 3) return;
    const int32_t mode = study.mergeMode;
    Top top[3];
    int32_t subType[3];
    for (int i = 0; i < 3; ++i) {
        subType[i] = study.resultsCodes[i] & 15;
        AnswerList* list = lists[i];
        if (!(mode & (1 << i)) || !list || list->count() == 0) continue;
        normaliseStudyText(list->textAt(0), subType[i], top[i].text);
        top[i].value = list->listValue();
        if (!studyTextAccepted(top[i].text, subType[i])) {
            top[i].text[0] = '\0';
            top[i].value = 0.0;
        }
    }

    // inList[a][b]: the "wrd+" recognizer of the pair (a, b) holds the other's answer.
    bool inList[3][3] = {};
    const int w = study.wordListResults;
    if (w >= 0 && w < 3 && lists[w] && lists[w]->count() > 0) {
        for (int other = 0; other < 3; ++other) {
            if (other == w || !(mode & (1 << w)) || !(mode & (1 << other))) continue;
            const int64_t gap = rankGapInList(lists[w], subType[w], top[other].text);
            inList[w][other] = inList[other][w] = gap >= 0 && gap <= kInListGap;
        }
    }

    const StudyPairBlock* blocks = study.pairs;
    auto pair = [&](int block, int a, double aValue, double* aOut, int b, double* bOut) {
        pairStudy(blocks[block], top[a].text, aValue, aOut, top[b].text, top[b].value, bOut,
                  inList[a][b]);
    };
    switch (mode) {
        case 1:
        case 2:
        case 4: {
            const int k = mode == 1 ? 0 : mode == 2 ? 1 : 2;
            const StudySingleTable& single = study.singles[k];
            out[k] = top[k].text[0] ? clamp01(confidenceToProbability(
                                          single.levels, single.probabilities, 10, top[k].value))
                                    : 0.0;
            break;
        }
        case 3:
        case 11:
        case 19:
        case 5:
        case 13:
        case 21:
        case 6:
        case 14:
        case 22: {
            const int a = (mode & 1) ? 0 : 1;
            const int b = (mode & 4) ? 2 : 1;
            pair(0, a, top[a].value, &out[a], b, &out[b]);
            break;
        }
        case 71:
        case 79:
        case 87:
        case 135:
        case 143:
        case 151:
        case 199:
        case 207:
        case 215: {
            const int combine = mode / 64;  // 1: "12+3", 2: "13+2", 3: "23+1"
            const int X = combine == 3 ? 1 : 0;
            const int Y = combine == 1 ? 1 : 2;
            const int Z = 3 - X - Y;
            double z1 = 0.0, z2 = 0.0;
            pair(0, X, top[X].value, &out[X], Y, &out[Y]);
            pair(1, X, out[X], &out[X], Z, &z1);
            pair(2, Y, out[Y], &out[Y], Z, &z2);
            out[Z] = 0.5 * (z1 + z2);
            break;
        }
        case 327:
        case 335:
        case 343: {
            double a1 = 0.0, a2 = 0.0, b1 = 0.0, b3 = 0.0, c2 = 0.0, c3 = 0.0;
            pair(0, 0, top[0].value, &a1, 1, &a2);
            pair(1, 0, top[0].value, &b1, 2, &b3);
            pair(2, 1, top[1].value, &c2, 2, &c3);
            out[0] = 0.5 * (a1 + b1);
            out[1] = 0.5 * (a2 + c2);
            out[2] = 0.5 * (b3 + c3);
            break;
        }
        default:
            break;
    }
}

}  // namespace tessel
