// COM on the calling thread with the Tablet PC stand-ins registered and
// their recognizer back at its start, for the life of the object.
#pragma once

#include <windows.h>

#include <gtest/gtest.h>

#include <memory>

#include "family/tabletpc/TabletStandIns.h"

class StandInScope {
  public:
    StandInScope() {
        com_ = SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED));
        EXPECT_TRUE(com_) << "COM on the test thread";
        registration_ = std::make_unique<tabletpc::StandInRegistration>();
        EXPECT_TRUE(registration_->ok()) << "the stand-ins are registered";
        tabletpc::resetRecognizer();
    }
    ~StandInScope() {
        registration_.reset();
        if (com_) CoUninitialize();
    }
    StandInScope(const StandInScope&) = delete;
    StandInScope& operator=(const StandInScope&) = delete;

  private:
    bool com_ = false;
    std::unique_ptr<tabletpc::StandInRegistration> registration_;
};
