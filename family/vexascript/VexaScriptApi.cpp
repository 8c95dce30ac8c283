// The exported PSO_ functions: handle checks, argument checks, and the
// conversions of the flat interface. Nothing thrown inside leaves a call: an
// exception (only lack of memory can raise one) becomes the failure value.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <memory>

#include "BanFormat.h"
#include "CharForms.h"
#include "HandleRegistry.h"
#include "RecContext.h"
#include "VexaScript.h"

using vexa::AnswerBlock;
using vexa::RecContext;
using vexa::UserDict;

namespace {

const char kVersion[] = "1.0.0";

vexa::HandleRegistry<RecContext>& contexts() {
    static vexa::HandleRegistry<RecContext> registry;
    return registry;
}

RecContext* find(PSO_HRC handle) { return contexts().find(handle); }

const AnswerBlock* blockOf(RecContext* c, int32_t block) {
    if (block < 0 || static_cast<size_t>(block) >= c->answers().size()) return nullptr;
    return &c->answers()[block];
}

UserDict* dictOf(RecContext* c, PSO_HUSERDICT handle) {
    UserDict* d = reinterpret_cast<UserDict*>(handle);
    return c->ownsDict(d) ? d : nullptr;
}

// A NUL-terminated word of at most PSO_MAX_WORD_CHARS bytes, read without
// looking past the 80 bytes of a word buffer.
bool readWord(const void* buffer, std::string& word) {
    const char* p = static_cast<const char*>(buffer);
    for (size_t i = 0; i < PSO_TEXT_BUFFER; ++i) {
        if (p[i] == 0) {
            word.assign(p, i);
            return true;
        }
    }
    return false;
}

// Code page 1252 to UTF-16 (every code point of the code page is in the BMP).
PSO_WCHAR toUtf16(unsigned char c) { return static_cast<PSO_WCHAR>(ban::cp1252ToUnicode(c)); }

int16_t toInt16(float v) {
    if (!(v == v)) return 0;
    return static_cast<int16_t>(std::clamp(std::lround(v), -32768L, 32767L));
}

template <class Char, class Convert>
int32_t wordFromBlock(PSO_HRC context, int32_t block, int32_t alternative, Char* text,
                      int32_t* weight, int32_t* strokes, int32_t* strokeCount, int32_t room,
                      Convert convert) {
    RecContext* c = find(context);
    if (!c) return PSO_ERR_NO_CONTEXT;
    const AnswerBlock* b = blockOf(c, block);
    if (!text || !b || alternative < 0 || static_cast<size_t>(alternative) >= b->alts.size() ||
        room < 0 || (strokes && !strokeCount))
        return PSO_ERR_BAD_ARG;
    const std::string& word = b->alts[alternative].text;
    const size_t n = std::min<size_t>(word.size(), PSO_MAX_WORD_CHARS);
    for (size_t i = 0; i < n; ++i) text[i] = convert(static_cast<unsigned char>(word[i]));
    text[n] = 0;
    if (weight) *weight = b->alts[alternative].weight;
    if (strokeCount) {
        const size_t total = b->strokes.size();
        const size_t given = strokes ? std::min<size_t>(total, static_cast<size_t>(room)) : total;
        if (strokes) std::copy(b->strokes.begin(), b->strokes.begin() + given, strokes);
        *strokeCount = static_cast<int32_t>(given);
    }
    return PSO_OK;
}

}  // namespace

extern "C" {

int32_t PSO_CALL PSO_GetRecognizerInfo(int32_t kind, char* buffer) {
    if (!buffer) return PSO_ERR_BAD_ARG;
    std::string text;
    switch (kind) {
        case 1:
            text = std::string("VexaScript ") + kVersion;
            break;
        case 2:
            text = std::string("VexaScript(R) Handwriting Recognizer ") + kVersion;
            break;
        case 3:
            try {
                text = vexa::recognizableCharacters();
            } catch (...) {
                return PSO_ERR_FAILED;
            }
            break;
        default:
            return PSO_ERR_NOT_SUPPORTED;
    }
    std::memcpy(buffer, text.c_str(), text.size() + 1);
    return PSO_OK;
}

PSO_HRC PSO_CALL PSO_CreateRecognitionContext(void) {
    try {
        return reinterpret_cast<PSO_HRC>(contexts().add(std::make_unique<RecContext>()));
    } catch (...) {
        return nullptr;
    }
}

int32_t PSO_CALL PSO_DeleteRecognitionContext(PSO_HRC context) {
    return contexts().remove(context) ? PSO_OK : PSO_ERR_NO_CONTEXT;
}

int32_t PSO_CALL PSO_StartRecognitionSession(PSO_HRC context, const PSO_SESSION_START* start) {
    RecContext* c = find(context);
    if (!c) return PSO_ERR_NO_CONTEXT;
    if (!start) return PSO_ERR_BAD_ARG;
    return c->start(start->flags);
}

int32_t PSO_CALL PSO_EndRecognitionSession(PSO_HRC context) {
    RecContext* c = find(context);
    if (!c) return PSO_ERR_NO_CONTEXT;
    try {
        return c->end();
    } catch (...) {
        return PSO_ERR_FAILED;
    }
}

int32_t PSO_CALL PSO_AddInkToRecSession(PSO_HRC context, const PSO_POINT* points, int32_t count,
                                        int32_t reserved, int32_t* strokesAdded, int32_t source) {
    if (strokesAdded) *strokesAdded = 0;
    RecContext* c = find(context);
    if (!c) return PSO_ERR_NO_CONTEXT;
    try {
        if (!points && count == 0) return c->recognizeNow();
        if (count <= 0 || !points) return PSO_ERR_BAD_ARG;
        return c->addInk(points, count, strokesAdded);
    } catch (...) {
        return PSO_ERR_FAILED;
    }
}

int32_t PSO_CALL PSO_SetExtraSessionParameters(PSO_HRC context, int32_t kind, intptr_t value) {
    RecContext* c = find(context);
    if (!c) return PSO_ERR_NO_CONTEXT;
    return c->setExtra(kind, value);
}

int32_t PSO_CALL PSO_GetNumAnswerBlocks(PSO_HRC context) {
    RecContext* c = find(context);
    if (!c) return -PSO_ERR_NO_CONTEXT;
    return static_cast<int32_t>(c->answers().size());
}

int32_t PSO_CALL PSO_GetNumWordsInAnswerBlock(PSO_HRC context, int32_t block) {
    RecContext* c = find(context);
    if (!c) return -PSO_ERR_NO_CONTEXT;
    const AnswerBlock* b = blockOf(c, block);
    if (!b) return -PSO_ERR_BAD_ARG;
    return static_cast<int32_t>(b->alts.size());
}

int32_t PSO_CALL PSO_GetWordFromAnswerBlock(PSO_HRC context, int32_t block, int32_t alternative,
                                            char* text, int32_t* weight, int32_t* strokes,
                                            int32_t* strokeCount, int32_t room) {
    return wordFromBlock(context, block, alternative, text, weight, strokes, strokeCount, room,
                         [](unsigned char ch) { return static_cast<char>(ch); });
}

int32_t PSO_CALL PSO_GetWordFromAnswerBlockW(PSO_HRC context, int32_t block, int32_t alternative,
                                             PSO_WCHAR* text, int32_t* weight, int32_t* strokes,
                                             int32_t* strokeCount, int32_t room) {
    return wordFromBlock(context, block, alternative, text, weight, strokes, strokeCount, room,
                         toUtf16);
}

int32_t PSO_CALL PSO_GetAnswerConfidence(PSO_HRC context, int32_t block, int32_t* confidence) {
    RecContext* c = find(context);
    if (!c) return PSO_ERR_NO_CONTEXT;
    const AnswerBlock* b = blockOf(c, block);
    if (!b || !confidence) return PSO_ERR_BAD_ARG;
    *confidence = b->confidence;
    return PSO_OK;
}

int32_t PSO_CALL PSO_GetExtraAnswerData(PSO_HRC context, int32_t block, int32_t alternative,
                                        int32_t request, int32_t index, void* buffer) {
    RecContext* c = find(context);
    if (!c) return -1;
    try {
        std::string word;
        switch (request) {
            case PSO_EXTRA_CHECK_WORD: {
                if (!buffer || !readWord(buffer, word)) return -1;
                const int32_t known = c->knows(word) ? 1 : 0;
                std::memcpy(buffer, &known, sizeof known);
                return 0;
            }
            case PSO_EXTRA_WORD_VARIANTS: {
                if (!buffer || index < 1 || !readWord(buffer, word) || word.empty()) return -1;
                const auto found = c->variants(word, static_cast<size_t>(index));
                char* out = static_cast<char*>(buffer);
                for (size_t i = 0; i < found.size(); ++i) {
                    char record[PSO_VARIANT_RECORD] = {};
                    std::memcpy(record, found[i].first.data(),
                                std::min<size_t>(found[i].first.size(), PSO_MAX_WORD_CHARS));
                    const int32_t flag = found[i].second;
                    std::memcpy(record + PSO_TEXT_BUFFER, &flag, sizeof flag);
                    std::memcpy(out + i * PSO_VARIANT_RECORD, record, sizeof record);
                }
                return static_cast<int32_t>(found.size());
            }
            default:
                break;
        }
        const AnswerBlock* b = blockOf(c, block);
        if (!b) return -1;
        switch (request) {
            case PSO_EXTRA_ALT_VALUES: {
                if (!buffer || alternative < 0 ||
                    static_cast<size_t>(alternative) >= b->alts.size())
                    return -1;
                const int32_t values[2] = {b->alts[alternative].source,
                                           b->alts[alternative].shapeScore};
                std::memcpy(buffer, values, sizeof values);
                return 2;
            }
            case PSO_EXTRA_PART_COUNT:
                return static_cast<int32_t>(b->parts.size());
            case PSO_EXTRA_PART_STROKE_COUNT:
                if (index < 0 || static_cast<size_t>(index) >= b->parts.size()) return -1;
                return static_cast<int32_t>(b->parts[index].size());
            case PSO_EXTRA_PART_STROKES: {
                if (!buffer || index < 0 || static_cast<size_t>(index) >= b->parts.size())
                    return -1;
                const std::vector<int>& part = b->parts[index];
                for (size_t i = 0; i < part.size(); ++i) {
                    const int32_t v = part[i];
                    std::memcpy(static_cast<char*>(buffer) + i * sizeof v, &v, sizeof v);
                }
                return static_cast<int32_t>(part.size());
            }
            default:
                return -1;
        }
    } catch (...) {
        return -1;
    }
}

int32_t PSO_CALL PSO_GetNumStrokes(PSO_HRC context) {
    RecContext* c = find(context);
    if (!c) return -PSO_ERR_NO_CONTEXT;
    return static_cast<int32_t>(c->strokes().size());
}

int32_t PSO_CALL PSO_GetStrokeLen(PSO_HRC context, int32_t stroke) {
    RecContext* c = find(context);
    if (!c) return -PSO_ERR_NO_CONTEXT;
    if (stroke < 0 || static_cast<size_t>(stroke) >= c->strokes().size()) return -PSO_ERR_BAD_ARG;
    return static_cast<int32_t>(c->strokes()[stroke].size());
}

int32_t PSO_CALL PSO_GetStroke(PSO_HRC context, int32_t stroke, PSO_POINT* buffer, int32_t room) {
    RecContext* c = find(context);
    if (!c) return -PSO_ERR_NO_CONTEXT;
    if (stroke < 0 || static_cast<size_t>(stroke) >= c->strokes().size()) return -PSO_ERR_BAD_ARG;
    const std::vector<PSO_POINT>& s = c->strokes()[stroke];
    const int32_t n = static_cast<int32_t>(s.size());
    if (!buffer) return n;
    if (room < n) return -PSO_ERR_BAD_ARG;
    std::copy(s.begin(), s.end(), buffer);
    return n;
}

int32_t PSO_CALL PSO_GetRecWordBaseline(PSO_HRC context, int32_t block, int32_t reserved,
                                        PSO_POINT points[4]) {
    RecContext* c = find(context);
    if (!c) return PSO_ERR_NO_CONTEXT;
    const AnswerBlock* b = blockOf(c, block);
    if (!b || !points) return PSO_ERR_BAD_ARG;
    for (int i = 0; i < 4; ++i) points[i] = PSO_POINT{toInt16(b->line[i].x), toInt16(b->line[i].y)};
    return PSO_OK;
}

int32_t PSO_CALL PSO_GetAnswerLineInfo(PSO_HRC context, int32_t block, int32_t* line,
                                       int32_t* wordInLine) {
    RecContext* c = find(context);
    if (!c) return PSO_ERR_NO_CONTEXT;
    const AnswerBlock* b = blockOf(c, block);
    if (!b) return PSO_ERR_BAD_ARG;
    if (line) *line = b->lineIndex;
    if (wordInLine) *wordInLine = b->wordInLine;
    return PSO_OK;
}

int32_t PSO_CALL PSO_GetAnsBlockLowLevelInfo(PSO_HRC context, int32_t block, PSO_CHAR_INFO* info,
                                             int32_t room) {
    RecContext* c = find(context);
    if (!c) return -PSO_ERR_NO_CONTEXT;
    const AnswerBlock* b = blockOf(c, block);
    if (!b || room < 0) return -PSO_ERR_BAD_ARG;
    const size_t n = b->chars.size();
    if (info) {
        for (size_t i = 0; i < n && i < static_cast<size_t>(room); ++i) {
            const vexa::CharInfo& ci = b->chars[i];
            PSO_CHAR_INFO out{};
            out.code = ci.ch;
            out.score = ci.score;
            out.strokeCount = static_cast<int32_t>(ci.strokes.size());
            for (size_t k = 0; k < ci.strokes.size() && k < 8; ++k) out.strokes[k] = ci.strokes[k];
            out.left = toInt16(ci.box.l);
            out.top = toInt16(ci.box.t);
            out.right = toInt16(ci.box.r);
            out.bottom = toInt16(ci.box.b);
            info[i] = out;
        }
    }
    return static_cast<int32_t>(n);
}

int32_t PSO_CALL PSO_AddLexGeneratorToRecContext(PSO_HRC context, const void* bytes,
                                                 int32_t length) {
    RecContext* c = find(context);
    if (!c) return PSO_ERR_NO_CONTEXT;
    if (!bytes || length < 1) return PSO_ERR_BAD_ARG;
    try {
        return c->setLexicon(bytes, static_cast<size_t>(length)) ? PSO_OK : PSO_ERR_FAILED;
    } catch (...) {
        return PSO_ERR_FAILED;
    }
}

PSO_HUSERDICT PSO_CALL PSO_AddUserDictToRecContext(PSO_HRC context, const void* bytes) {
    RecContext* c = find(context);
    if (!c) return nullptr;
    try {
        // The bytes end at the first NUL: nothing past it is read.
        const size_t length = bytes ? std::strlen(static_cast<const char*>(bytes)) : 0;
        return reinterpret_cast<PSO_HUSERDICT>(c->addUserDict(bytes, length));
    } catch (...) {
        return nullptr;
    }
}

int32_t PSO_CALL PSO_DumpUserDictToMemoryBuffer(PSO_HRC context, PSO_HUSERDICT dictionary,
                                                void* buffer) {
    RecContext* c = find(context);
    if (!c) return -PSO_ERR_NO_CONTEXT;
    const UserDict* d = dictOf(c, dictionary);
    if (!d) return -PSO_ERR_BAD_ARG;
    try {
        const std::vector<uint8_t> dump = d->dump();
        const int32_t size = static_cast<int32_t>(dump.size());
        // The buffer holds what the call without one answered.
        if (buffer && size) std::memcpy(buffer, dump.data(), dump.size());
        return size;
    } catch (...) {
        return -PSO_ERR_FAILED;
    }
}

int32_t PSO_CALL PSO_UserDict_Features(PSO_HRC context, PSO_HUSERDICT dictionary,
                                       int32_t* wordCount) {
    RecContext* c = find(context);
    if (!c) return -PSO_ERR_NO_CONTEXT;
    const UserDict* d = dictOf(c, dictionary);
    if (!d) return -PSO_ERR_BAD_ARG;
    if (wordCount) *wordCount = static_cast<int32_t>(d->words().size());
    return PSO_UDF_ADD | PSO_UDF_CLEAR | PSO_UDF_ENUM | PSO_UDF_DUMP;
}

int32_t PSO_CALL PSO_UserDict_AddWord(PSO_HRC context, PSO_HUSERDICT dictionary, const char* word) {
    RecContext* c = find(context);
    if (!c) return PSO_ERR_NO_CONTEXT;
    UserDict* d = dictOf(c, dictionary);
    std::string text;
    if (!d || !word || !readWord(word, text)) return PSO_ERR_BAD_ARG;
    try {
        return d->add(text) ? PSO_OK : PSO_ERR_BAD_ARG;
    } catch (...) {
        return PSO_ERR_FAILED;
    }
}

int32_t PSO_CALL PSO_UserDict_Clear(PSO_HRC context, PSO_HUSERDICT dictionary) {
    RecContext* c = find(context);
    if (!c) return PSO_ERR_NO_CONTEXT;
    UserDict* d = dictOf(c, dictionary);
    if (!d) return PSO_ERR_BAD_ARG;
    d->clear();
    return PSO_OK;
}

int32_t PSO_CALL PSO_RemoveUserDictFromRecContext(PSO_HRC context, PSO_HUSERDICT dictionary) {
    RecContext* c = find(context);
    if (!c) return PSO_ERR_NO_CONTEXT;
    return c->removeUserDict(dictOf(c, dictionary)) ? PSO_OK : PSO_ERR_BAD_ARG;
}

int32_t PSO_CALL PSO_UserDict_EnumWords(PSO_HRC context, PSO_HUSERDICT dictionary,
                                        PSO_ENUMWORDS_CALLBACK callback, void* param) {
    RecContext* c = find(context);
    if (!c) return PSO_ERR_NO_CONTEXT;
    const UserDict* d = dictOf(c, dictionary);
    if (!d || !callback) return PSO_ERR_BAD_ARG;
    std::vector<std::string> words;
    try {
        words.assign(d->words().begin(), d->words().end());
    } catch (...) {
        return PSO_ERR_FAILED;
    }
    for (const std::string& w : words)
        if (callback(w.c_str(), param) == 0) break;
    return PSO_OK;
}

}  // extern "C"
