#include "forge/world/PropTargetsFile.h"

#include <cmath>
#include <fstream>
#include <stdexcept>

#include <nlohmann/json.hpp>

namespace gloam::forge {

namespace {

// Millimetre precision keeps the file small and stable.
double rounded(float v)
{
    return std::round(static_cast<double>(v) * 1000.0) / 1000.0;
}

} // namespace

std::string propTargetsJson(const std::vector<PropTargetRecord>& targets)
{
    nlohmann::ordered_json list = nlohmann::ordered_json::array();
    for (const PropTargetRecord& t : targets) {
        nlohmann::ordered_json o;
        o["id"] = t.id;
        o["kind"] = t.kind;
        o["center"] = {rounded(t.centre.x), rounded(t.centre.y), rounded(t.centre.z)};
        o["size"] = {rounded(t.size.x), rounded(t.size.y), rounded(t.size.z)};
        list.push_back(o);
    }
    return list.dump(2) + "\n";
}

void writePropTargets(const std::filesystem::path& path, const std::vector<PropTargetRecord>& targets)
{
    std::ofstream file(path, std::ios::trunc);
    file << propTargetsJson(targets);
    if (!file) {
        throw std::runtime_error("cannot write " + path.string());
    }
}

} // namespace gloam::forge
