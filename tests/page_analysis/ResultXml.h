// Reads a result text back with the program's own XML library: whether it is
// well-formed, its root, how many elements of each name it holds, and the
// texts of the elements tests look at.
#pragma once

#include <map>
#include <string>
#include <vector>

struct ResultXml {
    bool wellFormed = false;
    std::string root;
    std::map<std::string, int> counts;
    std::vector<std::string> alts;        // every <Alt>, in order
    std::vector<std::string> firstAlts;   // the first <Alt> of each <Word>
    std::vector<std::string> styles;      // every <Style>
    std::vector<std::string> shapeNames;  // every <Shape>'s <Name>

    int count(const std::string& name) const {
        const auto it = counts.find(name);
        return it == counts.end() ? 0 : it->second;
    }
};

ResultXml readResult(const char* text);
