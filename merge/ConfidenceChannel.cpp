#include "ConfidenceChannel.h"

#include <cstring>

namespace tessel {

const FeatureSet kFeatureSets[kFeatureSetKinds] = {
    {"None", 0, 0},
    {"Six", 1, 6},
    {"Eleven", 2, 11},
    {"List5", 3, 16},
    {"Twelve", 4, 12},
    {"Fourteen", 5, 14},
    {"Fifteen", 6, 15},
    {"VSConfNormVoc", 7, 16},
    {"VSConfNormNoVoc", 8, 11},
    {"TPC2NoVoc", 9, 2},
    {"TPC3SpecNoVoc", 10, 3},
    {"ThreeNoVoc", 11, 3},
    {"FourSpecNoVoc", 12, 4},
    {"HMMVoc", 13, 11},
    {"SixAltSpec", 14, 6},
    {"VsHmmVoc", 15, 9},
    {"TPCVoc", 16, 8},
    {"VSConfLex", 17, 14},
};

int ConfidenceChannel::recognizerConfigByName(const char* name) {
    if (!name) return 0;
    for (const FeatureSet& set : kFeatureSets) {
        if (std::strcmp(set.name, name) == 0) {
            kind_ = set.kind;
            count_ = set.count;
            return 1;
        }
    }
    return 0;
}

int ConfidenceChannel::loadChannelNet(const char* path) {
    if (!path) return 0;
    return readConfNet(net_, path) ? 1 : 0;
}

bool ConfidenceChannel::netFitsFeatures() const {
    if (kind_ == 0) return true;
    return net_.loaded() && net_.dim == count_ && net_.outputs >= 2;
}

void ConfidenceChannel::scoreList(AnswerList* list) {
    if (!list) return;
    if (list->count() == 0) {
        list->setListValue(0);
        return;
    }
    if (kind_ == 0) return;
    // extractFeatures has set the list value to 0 on failure.
    extractFeatures(list, nullptr);
}

int32_t ConfidenceChannel::extractFeatures(AnswerList* list, int32_t* out) {
    if (!list) return 0;
    if (list->count() == 0 || kind_ != 0) list->setListValue(0);
    return 0;
}

}  // namespace tessel
