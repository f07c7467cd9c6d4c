#include "platform/gpu/ShaderLibrary.h"

#include "platform/gpu/GpuError.h"

#include <fstream>
#include <sstream>

namespace gloam::gpu {

ShaderLibrary ShaderLibrary::load(const std::filesystem::path& file)
{
    std::ifstream in(file, std::ios::binary);
    std::ostringstream text;
    std::error_code ignored;
    const bool folder = std::filesystem::is_directory(file, ignored);
    if (in && !folder)
        text << in.rdbuf();
    if (!in || in.bad() || folder) {
        throw GpuError(GpuError::libraryDomain, GpuError::unreadableLibrary,
                       "The shader library “" + file.filename().string() + "” could not be read.");
    }
    return fromSource(file.filename().string(), text.str());
}

ShaderLibrary ShaderLibrary::fromSource(std::string name, std::string source)
{
    ShaderLibrary library;
    library.name_ = std::move(name);
    library.source_ = std::move(source);
    std::istringstream lines(library.source_);
    std::string line;
    while (std::getline(lines, line)) {
        std::istringstream words(line);
        std::string hash, pragma, kind, function;
        words >> hash;
        if (hash == "#pragma") {
            words >> kind >> function;
        } else if (hash == "#") {
            words >> pragma >> kind >> function;
            if (pragma != "pragma")
                continue;
        } else {
            continue;
        }
        if (kind == "kernel" && !function.empty())
            library.kernels_.insert(function);
        if (kind == "surface" && !function.empty())
            library.surfaces_.insert(function);
    }
    return library;
}

std::string ShaderLibrary::kernelSource(const std::string& function) const
{
    if (!hasKernel(function)) {
        throw GpuError(GpuError::deviceDomain, GpuError::missingFunction,
                       "The shader library “" + name_ + "” has no kernel “" + function + "”.");
    }
    std::string text = "#version 450 core\n"
                       "layout(local_size_x = 8, local_size_y = 8, local_size_z = 1) in;\n"
                       "#define GLOAM_KERNEL_" +
                       function +
                       " 1\n"
                       "uniform uvec3 gloam_gridSize;\n"
                       "#line 1\n" +
                       source_ +
                       "\n"
                       "void main() {\n"
                       "    if (any(greaterThanEqual(gl_GlobalInvocationID, gloam_gridSize))) return;\n"
                       "    " +
                       function +
                       "();\n"
                       "}\n";
    return text;
}

std::string ShaderLibrary::surfaceSource(const std::string& function) const
{
    if (!hasSurface(function)) {
        throw GpuError(GpuError::deviceDomain, GpuError::missingFunction,
                       "The shader library “" + name_ + "” has no surface function “" + function + "”.");
    }
    return "#define GLOAM_SURFACE_" + function + " 1\n#define " + function + " gloamSurface\n#line 1\n" + source_ +
           "\n";
}

} // namespace gloam::gpu
