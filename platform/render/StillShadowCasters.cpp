#include "platform/render/StillShadowCasters.h"

#include <algorithm>

namespace gloam::render {

void StillShadowCasters::forget()
{
    hasKept_ = false;
    keptKeys_.clear();
}

StillShadowCasters::Plan StillShadowCasters::plan(std::uint64_t lightKey, const std::vector<std::uint64_t>& casterKeys)
{
    std::unordered_map<std::uint64_t, int> ages;
    ages.reserve(casterKeys.size());
    for (const std::uint64_t key : casterKeys) {
        if (key == 0)
            continue;
        const auto before = ages_.find(key);
        ages[key] = before == ages_.end() ? 1 : before->second + 1;
    }
    ages_ = std::move(ages);

    auto isKept = [this](std::uint64_t key) {
        return key != 0 && std::binary_search(keptKeys_.begin(), keptKeys_.end(), key);
    };
    bool valid = hasKept_ && lightKey == keptLightKey_;
    // Every kept caster is still there, unmoved.
    for (std::size_t i = 0; valid && i < keptKeys_.size(); ++i)
        valid = ages_.count(keptKeys_[i]) != 0;
    // A caster that has come to rest joins the kept ones.
    for (const auto& [key, age] : ages_) {
        if (!valid)
            break;
        if (age >= 2 && !isKept(key))
            valid = false;
    }

    Plan result;
    if (!valid) {
        keptKeys_.clear();
        for (const auto& [key, age] : ages_) {
            if (age >= 2)
                keptKeys_.push_back(key);
        }
        std::sort(keptKeys_.begin(), keptKeys_.end());
        keptLightKey_ = lightKey;
        hasKept_ = true;
        result.redrawKept = true;
    }
    result.kept.reserve(casterKeys.size());
    for (const std::uint64_t key : casterKeys) {
        const bool kept = isKept(key);
        result.kept.push_back(kept);
        result.anyKept = result.anyKept || kept;
    }
    return result;
}

} // namespace gloam::render
