// libFuzzer target: answer lists made of arbitrary bytes (texts of any
// characters, any values, unset ones included) through word shapes, every
// feature set, both rescalings and both merges.
#include <cstdint>
#include <cstring>
#include <string>

#include "AnswerList.h"
#include "AnswerMerger.h"
#include "ListRescaling.h"
#include "WordShape.h"

namespace {

class Bytes {
  public:
    Bytes(const uint8_t* data, size_t size) : data_(data), size_(size) {}
    bool empty() const { return at_ >= size_; }
    uint8_t byte() { return at_ < size_ ? data_[at_++] : 0; }
    int32_t value() {
        const uint8_t kind = byte();
        if (kind < 16) return static_cast<int32_t>(0x80000000u);  // unset
        if (kind < 32)
            return static_cast<int32_t>(byte() << 24 | byte() << 16 | byte() << 8 | byte());
        return static_cast<int32_t>(byte()) - 60;
    }
    std::string text() {
        std::string t;
        for (size_t n = byte() % 24; n > 0 && !empty(); --n) t += static_cast<char>(byte());
        return t;
    }

  private:
    const uint8_t* data_;
    size_t size_;
    size_t at_ = 0;
};

void fill(Bytes& in, AnswerList* list, tessel::AnswerItemImpl& item) {
    for (size_t n = in.byte() % 24; n > 0 && !in.empty(); --n) {
        const std::string text = in.text();
        tessel::rawWordShape(text.c_str(), static_cast<int32_t>(text.size()) - 1);
        item.reset();
        item.setText(text.c_str());
        for (int32_t k = 0; k < TSL_VALUE_COUNT; ++k)
            if (in.byte() & 1) item.setValue(in.value(), k);
        list->add(&item);
    }
    list->setListValue(in.value());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    Bytes in(data, size);
    tessel::AnswerMergerImpl merger;
    merger.weight = in.byte() / 32.0;
    merger.delta = in.byte() / 64.0;
    merger.alpha = in.byte() / 64.0;
    merger.rescaleTpcList = in.byte() & 1;
    merger.rescaleHmmList = in.byte() & 1;
    merger.vocStatQual = in.byte() / 16.0;
    merger.lexStatQual = in.byte() / 16.0;
    merger.nonVocWeight = in.value();
    tessel::OwnedList rec1 = tessel::makeOwnedList(), rec2 = tessel::makeOwnedList(),
                      out = tessel::makeOwnedList();
    if (!rec1 || !rec2 || !out) return 0;
    tessel::AnswerItemImpl item;
    fill(in, rec1.get(), item);
    fill(in, rec2.get(), item);

    int32_t features[tessel::kMaxChannelFeatures];
    for (int32_t kind = 0; kind < tessel::kFeatureSetKinds; ++kind) {
        tessel::ConfidenceChannel& channel = merger.channels[kind % tessel::kChannelCount];
        channel.recognizerConfigByName(tessel::kFeatureSets[kind].name);
        channel.extractFeatures(rec1.get(), features);
        channel.scoreList(rec2.get());
    }
    tessel::rescaleTpc(rec2.get(), out.get());
    tessel::rescaleHmm(merger, rec2.get(), out.get());
    merger.merge(rec1.get(), rec2.get(), out.get());
    merger.mergeWithConfidence(rec1.get(), rec2.get(), out.get());
    int32_t all[tessel::kFeatureScratch];
    merger.computeFeatures(all, rec1.get(), rec2.get(), out.get());
    return 0;
}
