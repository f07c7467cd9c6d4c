#include "platform/material/SurfaceShader.h"

#include <fstream>
#include <regex>
#include <sstream>
#include <stdexcept>

namespace gloam::platform {

SurfaceShader SurfaceShader::load(const std::filesystem::path& libraryFile, const std::string& functionName)
{
    std::ifstream in(libraryFile, std::ios::binary);
    std::error_code ignored;
    if (!in || std::filesystem::is_directory(libraryFile, ignored)) {
        throw std::runtime_error("shader library " + libraryFile.string() + " cannot be read");
    }
    std::ostringstream text;
    text << in.rdbuf();
    if (in.bad()) {
        throw std::runtime_error("shader library " + libraryFile.string() + " cannot be read");
    }
    auto source = std::make_shared<const std::string>(text.str());
    // A definition is the name followed by an opening parenthesis, as a word.
    const std::regex definition("\\b" + functionName + "\\s*\\(");
    if (functionName.empty() || !std::regex_search(*source, definition)) {
        throw std::runtime_error("shader library " + libraryFile.string() + " has no function \"" + functionName +
                                 "\"");
    }
    return SurfaceShader{functionName, libraryFile, std::move(source)};
}

} // namespace gloam::platform
