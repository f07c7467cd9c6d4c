#include "engine/common/PropTarget.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <cmath>
#include <fstream>
#include <limits>
#include <sstream>

namespace gloam {

namespace {

using Json = nlohmann::json;

[[noreturn]] void reject(std::size_t element, const std::string& what)
{
    throw PropTarget::DecodingError("target " + std::to_string(element) + " " + what);
}

std::string requireString(const Json& object, const char* key, std::size_t element)
{
    const auto found = object.find(key);
    if (found == object.end()) {
        reject(element, std::string("has no \"") + key + "\"");
    }
    if (!found->is_string()) {
        reject(element, std::string("has a \"") + key + "\" that is not a string");
    }
    return found->get<std::string>();
}

std::vector<float> requireVector(const Json& object, const char* key, std::size_t element)
{
    const auto found = object.find(key);
    if (found == object.end()) {
        reject(element, std::string("has no \"") + key + "\"");
    }
    if (!found->is_array()) {
        reject(element, std::string("has a \"") + key + "\" that is not a list of numbers");
    }
    std::vector<float> numbers;
    numbers.reserve(found->size());
    for (const Json& value : *found) {
        if (!value.is_number()) {
            reject(element, std::string("has a \"") + key + "\" that is not a list of numbers");
        }
        const double number = value.get<double>();
        if (!std::isfinite(number) || std::abs(number) > static_cast<double>(std::numeric_limits<float>::max())) {
            reject(element, std::string("has a number in \"") + key + "\" that does not fit a 32-bit float");
        }
        numbers.push_back(static_cast<float>(number));
    }
    if (numbers.size() < 3) {
        reject(element, std::string("has a \"") + key + "\" with fewer than three numbers");
    }
    return numbers;
}

} // namespace

std::vector<PropTarget> PropTarget::decodeList(std::string_view json)
{
    Json document;
    try {
        document = Json::parse(json.begin(), json.end());
    } catch (const Json::exception& error) {
        // Syntax errors, and numbers too large for a double (1e400).
        throw DecodingError(std::string("is not valid JSON: ") + error.what());
    }
    if (!document.is_array()) {
        throw DecodingError("is not a list of targets");
    }
    std::vector<PropTarget> targets;
    targets.reserve(document.size());
    for (std::size_t element = 0; element < document.size(); ++element) {
        const Json& object = document[element];
        if (!object.is_object()) {
            reject(element, "is not an object");
        }
        PropTarget target;
        target.id = requireString(object, "id", element);
        target.kind = requireString(object, "kind", element);
        target.center = requireVector(object, "center", element);
        target.size = requireVector(object, "size", element);
        if (std::any_of(target.size.begin(), target.size.begin() + 3, [](float extent) { return extent < 0.0f; })) {
            reject(element, "has a negative number in \"size\"");
        }
        targets.push_back(std::move(target));
    }
    return targets;
}

std::vector<PropTarget> PropTarget::loadList(const std::filesystem::path& file)
{
    std::error_code ignored;
    std::ifstream input(file, std::ios::binary);
    if (!input || std::filesystem::is_directory(file, ignored)) {
        throw DecodingError(file.filename().string() + " cannot be read: no such file in " +
                            file.parent_path().string());
    }
    std::stringstream bytes;
    bytes << input.rdbuf();
    if (input.bad()) {
        throw DecodingError(file.filename().string() + " cannot be read from " + file.parent_path().string());
    }
    try {
        return decodeList(bytes.str());
    } catch (const DecodingError& error) {
        throw DecodingError(file.filename().string() + " " + error.what());
    }
}

} // namespace gloam
