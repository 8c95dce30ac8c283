// A user dictionary loaded into a profile's recognition context: the engine's
// handle under its key, the lower-cased full path of its file.
#pragma once

#include <string>

#include "outside/VexaScript.h"

// An object known by a name.
class CNamed {
  public:
    explicit CNamed(std::wstring name) : name_(std::move(name)) {}
    virtual ~CNamed() = default;

    const std::wstring& name() const { return name_; }

  private:
    std::wstring name_;
};

class UserDict : public CNamed {
  public:
    UserDict(std::wstring key, PSO_HUSERDICT handle) : CNamed(std::move(key)), handle_(handle) {}

    // Valid only as long as the context that made it.
    PSO_HUSERDICT handle() const { return handle_; }

  private:
    PSO_HUSERDICT handle_;
};
