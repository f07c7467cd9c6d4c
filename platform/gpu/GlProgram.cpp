#include "platform/gpu/GlProgram.h"

#include "platform/gpu/GpuError.h"

#include <epoxy/gl.h>

#include <utility>

namespace gloam::gpu {

namespace {

const char* stageName(unsigned type)
{
    switch (type) {
    case GL_VERTEX_SHADER:
        return "vertex";
    case GL_FRAGMENT_SHADER:
        return "fragment";
    case GL_COMPUTE_SHADER:
        return "compute";
    default:
        return "shader";
    }
}

std::string shaderLog(GLuint shader)
{
    GLint length = 0;
    glGetShaderiv(shader, GL_INFO_LOG_LENGTH, &length);
    std::string log(static_cast<size_t>(length > 0 ? length : 1), '\0');
    glGetShaderInfoLog(shader, length, nullptr, log.data());
    return log.c_str();
}

} // namespace

GlProgram::GlProgram(const std::string& label, const std::vector<Stage>& stages)
{
    std::vector<GLuint> shaders;
    auto cleanup = [&] {
        for (GLuint s : shaders)
            glDeleteShader(s);
    };
    for (const Stage& stage : stages) {
        GLuint shader = glCreateShader(stage.type);
        shaders.push_back(shader);
        const char* text = stage.source.c_str();
        glShaderSource(shader, 1, &text, nullptr);
        glCompileShader(shader);
        GLint ok = GL_FALSE;
        glGetShaderiv(shader, GL_COMPILE_STATUS, &ok);
        if (!ok) {
            std::string log = shaderLog(shader);
            cleanup();
            throw GpuError(GpuError::libraryDomain, GpuError::compileFailed,
                           "The " + std::string(stageName(stage.type)) + " stage of “" + label +
                               "” does not compile: " + log);
        }
    }
    id_ = glCreateProgram();
    for (GLuint s : shaders)
        glAttachShader(id_, s);
    glLinkProgram(id_);
    // A shader still attached lives on with the program, compiled code and
    // all (megabytes each on a software renderer); the linked program needs
    // none of them.
    for (GLuint s : shaders)
        glDetachShader(id_, s);
    cleanup();
    GLint ok = GL_FALSE;
    glGetProgramiv(id_, GL_LINK_STATUS, &ok);
    if (!ok) {
        GLint length = 0;
        glGetProgramiv(id_, GL_INFO_LOG_LENGTH, &length);
        std::string log(static_cast<size_t>(length > 0 ? length : 1), '\0');
        glGetProgramInfoLog(id_, length, nullptr, log.data());
        glDeleteProgram(id_);
        id_ = 0;
        throw GpuError(GpuError::libraryDomain, GpuError::compileFailed,
                       "“" + label + "” does not link: " + std::string(log.c_str()));
    }
    glObjectLabel(GL_PROGRAM, id_, static_cast<GLsizei>(label.size()), label.c_str());
}

GlProgram::~GlProgram()
{
    if (id_ != 0)
        glDeleteProgram(id_);
}

GlProgram::GlProgram(GlProgram&& other) noexcept
    : id_(std::exchange(other.id_, 0))
{}

GlProgram& GlProgram::operator=(GlProgram&& other) noexcept
{
    if (this != &other) {
        if (id_ != 0)
            glDeleteProgram(id_);
        id_ = std::exchange(other.id_, 0);
    }
    return *this;
}

int GlProgram::uniform(const char* name) const
{
    return glGetUniformLocation(id_, name);
}

} // namespace gloam::gpu
