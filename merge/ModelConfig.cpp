// The merge model configuration: a scrambled text file of "key = value" lines
// ("Rec1 Conf Net = rec1.net", "Rec1/Rec2 weight = 0.7 ; comment"). File names
// in it are taken relative to the configuration's own folder.
#include <cstring>
#include <new>

#include "AnswerMerger.h"
#include "TextFile.h"

namespace tessel {

namespace {

enum class Field {
    Rec1Features,
    Rec2Features,
    CrossFeatures,
    Rec1Net,
    Rec2Net,
    CrossNet,
    Weight,
    Delta,
    Alpha,
    OutMaxWeight,
    OutAddDist,
    VocStatQual,
    LexStatQual,
    NonVocWeight,
    MergeStudyFile,
    DistanceStudyFile,
    Vocabulary,
    RescaleTpc,
    RescaleHmm,
    Ignored,
};

struct ConfigKey {
    const char* key;
    Field field;
};

// Tested in this order; the first key that begins the line decides.
const ConfigKey kConfigKeys[] = {
    {"Rec1 Conf Features = ", Field::Rec1Features},
    {"Rec2 Conf Features = ", Field::Rec2Features},
    {"Cross Conf Features = ", Field::CrossFeatures},
    {"Rec1 Conf Net = ", Field::Rec1Net},
    {"Rec2 Conf Net = ", Field::Rec2Net},
    {"Cross Conf Net = ", Field::CrossNet},
    {"Rec1/Rec2 weight = ", Field::Weight},
    {"Rec1/Rec2 delta = ", Field::Delta},
    {"Rec1-Rec2 alpha = ", Field::Alpha},
    {"Out max weight = ", Field::OutMaxWeight},
    {"Out add dist = ", Field::OutAddDist},
    {"Voc Stat Qual = ", Field::VocStatQual},
    {"Lex Stat Qual = ", Field::LexStatQual},
    {"Non Voc Weight = ", Field::NonVocWeight},
    {"Merge Sqr = ", Field::MergeStudyFile},
    {"Conf->Dist Sqr = ", Field::DistanceStudyFile},
    {"Voc = ", Field::Vocabulary},
    {"Rescale Tpc List = ", Field::RescaleTpc},
    {"Rescale Hmm List = ", Field::RescaleHmm},
    {"Out Dir = ", Field::Ignored},
    {"Out Dir =", Field::Ignored},
};

class ConfigLoader {
  public:
    ConfigLoader(AnswerMergerImpl& merger, const char* configPath) : m_(merger) {
        char name[kMaxPathChars + 1], extension[kMaxPathChars + 1];
        folderKnown_ = splitPath(configPath, drive_, directory_, name, extension);
    }

    bool apply(Field field, char* value) {
        switch (field) {
            case Field::Rec1Features:
                return channel(kRec1Channel).recognizerConfigByName(value) != 0;
            case Field::Rec2Features:
                return channel(kRec2Channel).recognizerConfigByName(value) != 0;
            case Field::CrossFeatures:
                return channel(kCrossChannel).recognizerConfigByName(value) != 0;
            case Field::Rec1Net:
                return loadNet(kRec1Channel, value);
            case Field::Rec2Net:
                return loadNet(kRec2Channel, value);
            case Field::CrossNet:
                return loadNet(kCrossChannel, value);
            case Field::Weight:
                return parseDouble(value, &m_.weight);
            case Field::Delta:
                return parseDouble(value, &m_.delta);
            case Field::Alpha:
                return parseDouble(value, &m_.alpha);
            case Field::OutMaxWeight:
                return parseDouble(value, &m_.outMaxWeight);
            case Field::OutAddDist:
                return parseDouble(value, &m_.outAddDist);
            case Field::VocStatQual:
                return parseDouble(value, &m_.vocStatQual);
            case Field::LexStatQual:
                return parseDouble(value, &m_.lexStatQual);
            case Field::NonVocWeight:
                return parseInt32(value, &m_.nonVocWeight);
            case Field::MergeStudyFile:
                return loadStudy(&m_.mergeStudy, value);
            case Field::DistanceStudyFile:
                return loadStudy(&m_.distanceStudy, value);
            case Field::Vocabulary:
                return loadVocabulary(value);
            case Field::RescaleTpc:
                return parseYesNo(value, &m_.rescaleTpcList);
            case Field::RescaleHmm:
                return parseYesNo(value, &m_.rescaleHmmList);
            case Field::Ignored:
                return true;
        }
        return false;
    }

  private:
    ConfidenceChannel& channel(ChannelIndex i) { return m_.channels[i]; }

    // Only the value's name and extension count; the folder is the configuration's.
    bool resolve(const char* value, char* path) {
        char name[kMaxPathChars + 1], extension[kMaxPathChars + 1];
        if (!folderKnown_ || !splitPath(value, nullptr, nullptr, name, extension)) return false;
        return makePath(path, drive_, directory_, name, extension);
    }

    bool loadNet(ChannelIndex i, const char* value) {
        char path[kMaxPathChars + 1];
        return resolve(value, path) && channel(i).loadChannelNet(path) != 0;
    }

    bool loadStudy(MergeStudy** slot, const char* value) {
        char path[kMaxPathChars + 1];
        if (!resolve(value, path)) return false;
        char reference[kMaxPathChars + 3];
        reference[0] = '"';
        std::strcpy(reference + 1, path);
        std::strcat(reference, "\"");
        MergeStudy* study = readMergeStudyFile(reference);
        if (!study) return false;
        releaseMergeStudy(*slot);
        *slot = study;
        return true;
    }

    bool loadVocabulary(const char* value) {
        // A lexicon generator gives the levels instead.
        if (m_.lexgen.userData) return true;
        char path[kMaxPathChars + 1];
        return resolve(value, path) && readWordLevelList(m_.vocabulary, path);
    }

    static bool parseYesNo(char* value, int32_t* flag) {
        toLowerAscii(value);
        if (std::strcmp(value, "yes") == 0) {
            *flag = 1;
        } else if (std::strcmp(value, "no") == 0) {
            *flag = 0;
        } else {
            return false;
        }
        return true;
    }

    AnswerMergerImpl& m_;
    char drive_[kMaxPathChars + 1];
    char directory_[kMaxPathChars + 1];
    bool folderKnown_;
};

const ConfigKey* findKey(const char* line) {
    for (const ConfigKey& key : kConfigKeys)
        if (std::strncmp(line, key.key, std::strlen(key.key)) == 0) return &key;
    return nullptr;
}

}  // namespace

int loadMergerModel(AnswerMergerImpl& merger, const char* configPath) {
    if (!configPath) return 0;
    merger.resetModelValues();
    ConfigLoader loader(merger, configPath);
    TrackedFile file(openTracked(configPath, 1, 0));
    if (!file.get()) return 0;
    char line[kConfigLineChars + 1];
    while (readScrambledLine(line, sizeof line, file.get())) {
        if (char* comment = std::strchr(line, ';')) *comment = '\0';
        normaliseBlanks(line);
        if (!*line) continue;
        const ConfigKey* key = findKey(line);
        if (!key || !loader.apply(key->field, line + std::strlen(key->key))) return 0;
    }
    // A net that does not fit its channel's features still loads: the channel
    // then answers "no confidence" when it scores (see netFitsFeatures).
    if (std::ferror(file.get())) return 0;
    return 1;
}

}  // namespace tessel
